#pragma once

// The process and the file system, as the module sees them.

#include "platform/error.h"
#include "platform/platform_global.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace kzt {

// Full path of the host executable as it was started (program argument 0, made absolute,
// a link not resolved to its target), unless the station or a test has set another with
// setHostExecutablePath.
KZT_PLATFORM_API std::string hostExecutablePath();
KZT_PLATFORM_API void setHostExecutablePath(const std::string& path); // "" restores the default
// The connection code a host program reads its store through: "212" for the programs
// named KRB.EXE or LXN.EXE (in any letter case), "" for every other.
KZT_PLATFORM_API std::string connectionCodeOf(const std::string& hostExePath);

KZT_PLATFORM_API std::string extractFileName(const std::string& path); // after the last '/'
KZT_PLATFORM_API std::string extractFileDir(const std::string& path);  // before the last '/'
KZT_PLATFORM_API bool fileExists(const std::string& path);             // a regular file
// The file `name` in `dir`: its exact name when that exists, else the one regular file
// whose name differs from it only in ASCII letter case, as names are on the platform the
// module comes from; "" when there is none. Two such files raise Error naming both, as
// either could be meant.
KZT_PLATFORM_API std::string findFileIgnoringCase(const std::string& dir, const std::string& name);
// The short (8.3) form of a path; Linux has none, so the path itself.
KZT_PLATFORM_API std::string shortPathName(const std::string& path);
// dir + "/" + name, without doubling a '/' already at the end of dir; an empty dir (a
// path without a folder) gives the name alone, relative to the working directory.
KZT_PLATFORM_API std::string joinPath(const std::string& dir, const std::string& name);

// The whole file, refused without reading it whole when it holds more than `limit` bytes
// (a file that keeps growing, or a device that never ends, too). Raises Error: "Cannot
// open file '<path>': <reason>", "File '<path>' is larger than <limit> bytes" or "Cannot
// read file '<path>': <reason>".
KZT_PLATFORM_API std::string readFileUpTo(const std::string& path, std::size_t limit);
// Writes `content` beside `path` and renames it into place, so a failed save never leaves
// half a file, then syncs the folder so the new file survives a power cut. A symbolic link
// is followed: the file it names is replaced and the link stays. An existing file keeps its
// permissions; a new one gets mode 0644. Raises Error "Cannot save file '<path>':
// [<step>: ]<reason>".
KZT_PLATFORM_API void writeFileAtomically(const std::string& path, std::string_view content);

} // namespace kzt
