#include "platform/process.h"

#include "platform/text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <vector>

namespace kzt {

namespace {

std::mutex gHostMutex;
std::string gHostOverride;

std::string readSelfExe()
{
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            return {};
        if (static_cast<std::size_t>(length) < buffer.size())
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        buffer.resize(buffer.size() * 2); // the path may have been cut short
    }
}

// Program argument 0 as the process was started.
std::string argumentZero()
{
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string first;
    std::getline(in, first, '\0');
    return first;
}

bool sameFile(const std::string& path, const struct stat& self)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && info.st_dev == self.st_dev
           && info.st_ino == self.st_ino;
}

// The path the program was started as, links left unresolved: a host started through a
// link is known by the link's name and folder, as the till that made the link expects.
// Argument 0 is trusted only when it leads to this very program (directly or through
// PATH); otherwise its name is kept, in the program's own folder.
std::string startedAsPath()
{
    const std::string exe = readSelfExe();
    const std::string arg0 = argumentZero();
    struct stat self {};
    if (arg0.empty() || ::stat("/proc/self/exe", &self) != 0)
        return exe;
    std::vector<std::string> candidates;
    if (arg0.find('/') != std::string::npos) {
        candidates.push_back(arg0);
    } else if (const char* path = std::getenv("PATH")) {
        std::istringstream dirs(path);
        for (std::string dir; std::getline(dirs, dir, ':');)
            candidates.push_back(joinPath(dir, arg0));
    }
    for (const std::string& candidate : candidates) {
        std::error_code error;
        const std::filesystem::path full = std::filesystem::absolute(candidate, error);
        if (!error && sameFile(candidate, self))
            return full.lexically_normal().string();
    }
    return joinPath(extractFileDir(exe), extractFileName(arg0));
}

// Worked out as the library loads, before the program can change its working directory,
// on which a relative argument 0 depends.
const std::string gStartedAs = startedAsPath();

} // namespace

std::string hostExecutablePath()
{
    {
        const std::lock_guard<std::mutex> lock(gHostMutex);
        if (!gHostOverride.empty())
            return gHostOverride;
    }
    return gStartedAs;
}

void setHostExecutablePath(const std::string& path)
{
    const std::lock_guard<std::mutex> lock(gHostMutex);
    gHostOverride = path;
}

std::string connectionCodeOf(const std::string& hostExePath)
{
    const std::string name = upperAscii(extractFileName(hostExePath));
    return name == "KRB.EXE" || name == "LXN.EXE" ? "212" : "";
}

std::string extractFileName(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string extractFileDir(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    // A file at the root lives in "/", not in "".
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool fileExists(const std::string& path)
{
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string findFileIgnoringCase(const std::string& dir, const std::string& name)
{
    const std::string exact = joinPath(dir, name);
    if (fileExists(exact))
        return exact;
    const std::string wanted = upperAscii(name);
    std::vector<std::string> found;
    std::error_code error;
    for (std::filesystem::directory_iterator it(dir.empty() ? "." : dir, error), end;
         !error && it != end; it.increment(error)) {
        const std::string entry = it->path().filename().string();
        if (upperAscii(entry) == wanted && fileExists(joinPath(dir, entry)))
            found.push_back(joinPath(dir, entry));
    }
    if (found.size() > 1) {
        std::sort(found.begin(), found.end());
        throw Error(utf8ToCp1252("Both " + found[0] + " and " + found[1] + " could be " + name
                                 + "; remove or rename one of them"));
    }
    return found.empty() ? std::string() : found.front();
}

std::string shortPathName(const std::string& path)
{
    return path;
}

std::string joinPath(const std::string& dir, const std::string& name)
{
    // A host path without a folder ("KRB.EXE") lives in the working directory, not at the
    // root, as the host library's default store already assumes.
    if (dir.empty())
        return name;
    if (dir.back() == '/')
        return dir + name;
    return dir + "/" + name;
}

std::string readFileUpTo(const std::string& path, std::size_t limit)
{
    const auto tooLarge = [&] {
        throw Error("File '" + path + "' is larger than " + std::to_string(limit) + " bytes");
    };
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Error("Cannot open file '" + path + "': " + std::strerror(errno));
    struct stat info {};
    const bool sized = ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
    if (sized && static_cast<std::uintmax_t>(info.st_size) > limit)
        tooLarge();
    // At most `limit` bytes and one more are read: enough to know the file is too large.
    std::string content;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        content.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (content.size() > limit)
            tooLarge();
    }
    if (in.bad())
        throw Error("Cannot read file '" + path + "': " + std::strerror(errno));
    return content;
}

namespace {

// The file a save replaces: a symbolic link is followed to the file it names (the link
// itself stays), also when that file does not exist yet.
std::string saveTarget(const std::string& path)
{
    std::string target = path;
    for (int hops = 0; hops < 40; ++hops) {
        std::string link(PATH_MAX, '\0');
        const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
        if (n < 0)
            return target; // not a link (or missing): save here
        link.resize(static_cast<std::size_t>(n));
        target = link.starts_with('/') ? link : joinPath(extractFileDir(target), link);
    }
    errno = ELOOP;
    throw Error("Cannot save file '" + path + "': " + std::strerror(errno));
}

} // namespace

void writeFileAtomically(const std::string& path, std::string_view content)
{
    const auto fail = [&](const std::string& why) {
        throw Error("Cannot save file '" + path + "': " + why);
    };
    const std::string target = saveTarget(path);
    // A file being replaced keeps its permissions; a new one is readable by all.
    mode_t mode = 0644;
    if (struct stat existing{}; ::stat(target.c_str(), &existing) == 0)
        mode = existing.st_mode & 07777;
    std::string temp = target + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        fail(std::strerror(errno));
    const auto abandon = [&](const char* step) {
        const int error = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        fail(std::string(step) + ": " + std::strerror(error));
    };
    std::size_t written = 0;
    while (written < content.size()) {
        const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            abandon("write");
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fchmod(fd, mode) != 0)
        abandon("chmod");
    if (::fsync(fd) != 0)
        abandon("sync");
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        fail(std::string("close: ") + std::strerror(error));
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        fail(std::string("rename: ") + std::strerror(error));
    }
    // The rename is durable only once the folder is on disk too; without this a power cut
    // can bring the old file back. Some file systems cannot sync a folder (EINVAL).
    const std::string folder = extractFileDir(target);
    const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_DIRECTORY | O_RDONLY);
    if (dir < 0)
        fail(std::string("open folder: ") + std::strerror(errno));
    if (::fsync(dir) != 0 && errno != EINVAL) {
        const int error = errno;
        ::close(dir);
        fail(std::string("sync folder: ") + std::strerror(error));
    }
    ::close(dir);
}

} // namespace kzt
