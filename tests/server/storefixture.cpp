#include "tests/server/storefixture.h"

#include "host/settings.h"
#include "platform/db/database.h"
#include "platform/process.h"
#include "platform/text.h"
#include "station/app/samplestore.h"

#include <cstdio>
#include <cstdlib>

namespace kzt::test {

std::vector<std::string> storeBackends()
{
    return {"sqlite3", "external"};
}

void StoreTest::SetUp()
{
    if (external()) {
        const char* env = std::getenv("KZT_TEST_CONNECTION");
        if (!env || !*env)
            GTEST_SKIP() << "KZT_TEST_CONNECTION is not set";
        connection = env;
        // Loaded the way --init-sample loads a server: column types for its engine.
        kzt::Connection store("adcTeste");
        store.setConnectionString(utf8ToUtf16(connection));
        station::loadSampleStore(store, true);
        engine = store.engine();
        store.setConnected(false);
        resetStation();
        kzt::setHostExecutablePath(dir.file("host"));
        host::setConnectionString("", connection);
        host::setConnectionString("212", connection);
        return;
    }
    const std::string db = createStore(dir.path(), true);
    connection = sqliteConnection(db);
    useStation(dir.path(), db);
}

void StoreTest::TearDown()
{
    resetStation();
}

void StoreTest::run(const std::string& sql)
{
    kzt::Connection store("adcTeste");
    store.setConnectionString(utf8ToUtf16(connection));
    for (const auto& statement : splitStatements(sql))
        store.execute(statement);
}

std::vector<std::string> codesOf(const Variant& result)
{
    std::vector<std::string> codes;
    for (const auto& row : packetOf(result).rows)
        codes.push_back(std::get<std::string>(row.at(1)));
    return codes;
}

Packet packetOf(const Variant& result)
{
    if (!result.isPacket()) {
        ADD_FAILURE() << "expected a data packet, got " << Variant::typeName(result.type()) << ": "
                      << cp1252ToUtf8(result.isText() ? result.asText() : "");
        return {};
    }
    return parsePacket(result.packet());
}

std::vector<std::string> codeRange(int from, int to)
{
    std::vector<std::string> codes;
    for (int i = from; i <= to; ++i) {
        char code[8];
        std::snprintf(code, sizeof code, "%02d", i);
        codes.emplace_back(code);
    }
    return codes;
}

std::u16string w(const std::string& utf8)
{
    return utf8ToUtf16(utf8);
}

} // namespace kzt::test
