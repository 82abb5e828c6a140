#include "tests/support/tempdir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace kzt::test {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "kzt-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data()))
        throw std::runtime_error("cannot create a temporary directory from " + pattern + ": "
                                 + std::strerror(errno));
    mPath = buffer.data();
}

TempDir::~TempDir()
{
    // A test that leaves a file open must not turn its cleanup into a crash.
    std::error_code ignored;
    std::filesystem::remove_all(mPath, ignored);
}

} // namespace kzt::test
