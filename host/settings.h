#pragma once

// The host library's settings a host makes before the module's first call: the connection
// strings it hands out. The station sets them from its options, the C interface from
// kzt_configure or the environment.

#include "host/host_global.h"

#include <string>

namespace host {

// Connection strings the host library hands out (code "" and "212"), in UTF-8 as the
// command line gives them; the library hands them out in Windows-1252. Empty: the
// default, sqlite3://db=<host executable directory>/store.db.
KZT_HOST_API void setConnectionString(const std::string& code, const std::string& connection);

} // namespace host
