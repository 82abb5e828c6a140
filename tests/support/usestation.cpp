// useStation/resetStation live apart from the rest of store.h: they reach into the data
// unit, which only the test programs of the module link.

#include "tests/support/store.h"

#include "host/settings.h"
#include "platform/process.h"
#include "server/Srv_kzt00318.h"
#include "server/rdmobservacao.h"

namespace kzt::test {

namespace {

// What the module knows of the server's comings and goings goes with it.
void dropDataModule()
{
    Srv_kzt00318::releaseDataModule();
}

} // namespace

void useStation(const std::string& dir, const std::string& dbPath)
{
    const std::string connection = sqliteConnection(dbPath);
    kzt::setHostExecutablePath(dir + "/host");
    host::setConnectionString("", connection);
    host::setConnectionString("212", connection);
    dropDataModule();
}

void resetStation()
{
    kzt::setHostExecutablePath("");
    host::setConnectionString("", "");
    host::setConnectionString("212", "");
    dropDataModule();
}

} // namespace kzt::test
