#pragma once

// The touch message box: white box, orange border, the text in large bold type, a big
// rounded OK button, the schema identifier small in a corner. Modal; OK, Enter or Esc
// dismiss it.

#include "host/host_global.h"
#include "station/hostlib/presentation.h"

namespace host {

HOST_API void showMessageBox(const MessageBoxRequest& request);

} // namespace host
