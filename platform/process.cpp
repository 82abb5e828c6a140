#include "process.h"

#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
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
        buffer.resize(buffer.size() * 2);  // the path may have been cut short
    }
}

} // namespace

std::string hostExecutablePath()
{
    {
        const std::lock_guard<std::mutex> lock(gHostMutex);
        if (!gHostOverride.empty())
            return gHostOverride;
    }
    return readSelfExe();
}

void setHostExecutablePath(const std::string& path)
{
    const std::lock_guard<std::mutex> lock(gHostMutex);
    gHostOverride = path;
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

} // namespace kzt
