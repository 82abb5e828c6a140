#pragma once

// The process and the file system, as the module sees them.

#include "kzt_global.h"

#include <string>

namespace kzt {

// Full path of the host executable (program argument 0): /proc/self/exe unless the
// station or a test has set another with setHostExecutablePath.
KZT_PLATFORM_API std::string hostExecutablePath();
KZT_PLATFORM_API void setHostExecutablePath(const std::string& path);  // "" restores the default

KZT_PLATFORM_API std::string extractFileName(const std::string& path);  // after the last '/'
KZT_PLATFORM_API std::string extractFileDir(const std::string& path);   // before the last '/'
KZT_PLATFORM_API bool fileExists(const std::string& path);              // a regular file
// The short (8.3) form of a path; Linux has none, so the path itself.
KZT_PLATFORM_API std::string shortPathName(const std::string& path);
// dir + "/" + name, without doubling a '/' already at the end of dir; an empty dir (a
// path without a folder) gives the name alone, relative to the working directory.
KZT_PLATFORM_API std::string joinPath(const std::string& dir, const std::string& name);

} // namespace kzt
