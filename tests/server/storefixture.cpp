#include "tests/server/storefixture.h"

#include "platform/process.h"
#include "platform/text.h"
#include "station/hostlib/presentation.h"

#include <soci/soci.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kzt::test {

namespace {

std::string sampleFile(const std::string& name)
{
    std::ifstream in(std::string(KZT_SOURCE_DIR) + "/station/sample/" + name);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Splits a script on ';' outside quoted text, dropping "--" comments.
std::vector<std::string> statementsOf(const std::string& script)
{
    std::vector<std::string> statements;
    std::string current;
    bool quoted = false;
    for (std::size_t i = 0; i < script.size(); ++i) {
        const char c = script[i];
        if (!quoted && c == '-' && i + 1 < script.size() && script[i + 1] == '-') {
            while (i < script.size() && script[i] != '\n')
                ++i;
            continue;
        }
        if (c == '\'')
            quoted = !quoted;
        if (!quoted && c == ';') {
            statements.push_back(current);
            current.clear();
            continue;
        }
        current += c;
    }
    if (current.find_first_not_of(" \t\r\n") != std::string::npos)
        statements.push_back(current);
    return statements;
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to)
{
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

} // namespace

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
        std::string schema = sampleFile("schema.sql");
        if (connection.rfind("postgresql://", 0) == 0)
            schema = replaceAll(schema, "DATETIME", "TIMESTAMP");
        for (const char* table :
             {"GRUPOCOR", "OCORRENCIA", "PRODOCORRE", "LOJA", "VENDA", "PRODUTO", "PRECOPROD"})
            run(std::string("DROP TABLE IF EXISTS ") + table);
        run(schema);
        run(sampleFile("data.sql"));
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
    soci::session session(connection);
    for (const auto& statement : statementsOf(sql))
        session << statement;
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
        ADD_FAILURE() << "expected a data packet, got " << Variant::typeName(result.type())
                      << ": " << cp1252ToUtf8(result.isText() ? result.asText() : "");
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
