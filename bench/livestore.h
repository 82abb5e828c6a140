#pragma once

// The live PostgreSQL store the server benchmarks run against: the database that
// scripts/live-servers.sh starts (KZT_LIVE_BENCH), loaded with the sample store, and a
// station folder whose parameter file names branch 0001, store 01, till 001.

#include "platform/db/connection.h"
#include "platform/text.h"
#include "station/app/samplestore.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include <unistd.h>

namespace livebench {

// The server's connection string, or empty when no live server runs.
inline std::string serverConnection()
{
    const char* text = std::getenv("KZT_LIVE_BENCH");
    return text ? text : "";
}

inline const char* kNoServer =
    "no live server: run under scripts/live-servers.sh (KZT_LIVE_BENCH, KZT_LIVE_PG_LOG)";

// Drops and reloads the sample store's tables on the server, as --init-sample --force does.
inline void loadSampleStore(const std::string& connection)
{
    kzt::Connection store("adcAmostra");
    store.setConnectionString(kzt::utf8ToUtf16(connection));
    station::loadSampleStore(store, true);
}

// A station folder with the sample parameter file; removed on destruction.
class StationFolder {
public:
    StationFolder()
    {
        mDir = std::filesystem::temp_directory_path()
               / ("kzt-bench-live-" + std::to_string(::getpid()));
        std::filesystem::create_directories(mDir);
        station::writeParameterFile((mDir / "PARAMETROSQTR.CDS").string());
    }
    ~StationFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(mDir, ignored);
    }
    std::string hostExe() const { return (mDir / "host").string(); }
    std::string path() const { return mDir.string(); }

private:
    std::filesystem::path mDir;
};

} // namespace livebench
