#pragma once

// The touch message box: white box, orange border, the text in large bold type, a big
// rounded OK button, the schema identifier small in a corner. The box grows with a long
// text up to what an 800 x 600 screen holds; a text longer still scrolls inside it, by
// dragging or by the buttons beside it, so every line can be read. Modal; OK, Enter, Esc
// or the space bar dismiss it.

#include "host/host_global.h"
#include "platform/ui/form.h"
#include "station/hostlib/presentation.h"

namespace host {

class TouchTextView;

class KZT_HOST_API MessageBoxForm : public kzt::Form {
    Q_OBJECT
public:
    explicit MessageBoxForm(const MessageBoxRequest& request, QWidget* parent = nullptr);

    TouchTextView* textView() const { return mText; }

private:
    TouchTextView* mText = nullptr;
};

KZT_HOST_API void showMessageBox(const MessageBoxRequest& request);

} // namespace host
