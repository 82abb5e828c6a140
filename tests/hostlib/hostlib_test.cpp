#include "host/hostlib.h"

#include "platform/db/database.h"
#include "platform/process.h"
#include "platform/text.h"
#include "tests/support/fakepresentation.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

using kzt::Variant;
using kzt::test::FakePresentation;

std::string cp(const char* utf8)
{
    return kzt::utf8ToCp1252(utf8);
}

// The text of the error `call` raises, as UTF-8; fails the test when it raises none or
// raises something other than the host library's error.
std::string hostErrorOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const host::HostError& e) {
        return kzt::cp1252ToUtf8(e.what());
    } catch (const std::exception& e) {
        ADD_FAILURE() << "raised another error: " << e.what();
        return {};
    }
    ADD_FAILURE() << "raised nothing";
    return {};
}

TEST(TextRoutines, AjustaPadsOnTheLeftAndNeverCuts)
{
    struct Row {
        std::string text;
        int width;
        std::string expected;
    };
    const std::vector<Row> rows = {
        {"1", 2, "01"}, {"28", 2, "28"},          {"123", 2, "123"},
        {"", 2, "00"},  {"42", 10, "0000000042"}, {"9999999999", 10, "9999999999"},
        {"7", 0, "7"},  {"7", -4, "7"},           {"ab", 4, "00ab"},
    };
    FakePresentation fake;
    for (const auto& row : rows)
        EXPECT_EQ(host::Ajusta(row.text, row.width), row.expected) << row.text << "/" << row.width;
}

TEST(TextRoutines, EmptyStringCountsBlanksAsEmpty)
{
    struct Row {
        std::string text;
        bool empty;
    };
    const std::vector<Row> rows = {
        {"", true},       {" ", true},      {"   ", true},   {"\t\r\n ", true},
        {"a", false},     {"  x  ", false}, {"\xA0", false}, // non-breaking space is text
        {cp("ç"), false}, {"0", false},
    };
    FakePresentation fake;
    for (const auto& row : rows)
        EXPECT_EQ(host::EmptyString(row.text), row.empty) << '"' << row.text << '"';
}

TEST(TextRoutines, IifPicksByCondition)
{
    FakePresentation fake;
    const Variant text("SEM SAL");
    const Variant withSemicolon("SEM SAL;");
    EXPECT_EQ(host::iif(true, text, withSemicolon).asText(), "SEM SAL");
    EXPECT_EQ(host::iif(false, text, withSemicolon).asText(), "SEM SAL;");
    const Variant number = host::iif(false, Variant(), Variant(std::int64_t{7}));
    EXPECT_EQ(number.type(), Variant::Type::Integer);
    EXPECT_EQ(number.asInteger(), 7);
    EXPECT_TRUE(host::iif(true, Variant(), Variant(std::int64_t{7})).isEmpty());
}

const char* const kPacket =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    R"(<DATAPACKET Version="2.0"><METADATA><FIELDS>)"
    R"(<FIELD attrname="CDOCORR" fieldtype="string" WIDTH="2"/></FIELDS><PARAMS/></METADATA>)"
    R"(<ROWDATA><ROW CDOCORR="01"/></ROWDATA></DATAPACKET>)";

TEST(MensagemMetodo, ReturnsAPacketUntouchedAndRaisesForAnythingElse)
{
    FakePresentation fake;
    const Variant packet = Variant::fromPacket(kPacket);
    const Variant back =
        host::MensagemMetodo(packet, true, 0, "getOcorPed", "Cli_Kzt00318", "0001-01-10", "001");
    ASSERT_TRUE(back.isPacket());
    EXPECT_EQ(back.packet(), kPacket);

    struct Row {
        Variant value;
        std::string message;
    };
    const std::vector<Row> rows = {
        {Variant(cp("Erro no banco de dados: no such table: OCORRENCIA")),
         "Erro no banco de dados: no such table: OCORRENCIA"},
        {Variant(std::u16string(u"Conexão recusada")), "Conexão recusada"},
        {Variant(), "A rotina getOcorPed não retornou dados."},
        {Variant(std::string()), "A rotina getOcorPed não retornou dados."},
        {Variant(true), "A rotina getOcorPed retornou um valor inesperado (True)."},
        {Variant(std::int64_t{3}), "A rotina getOcorPed retornou um valor inesperado (3)."},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(hostErrorOf([&] {
                      host::MensagemMetodo(row.value, true, 0, "getOcorPed", "Cli_Kzt00318", "",
                                           "001");
                  }),
                  row.message);
    }
    // The caller's handler shows the text; the check itself shows nothing.
    EXPECT_TRUE(fake.messages.empty());
}

TEST(CheckResultServ, PassesTrueOrEmptyAndRaisesTheFailureText)
{
    FakePresentation fake;
    host::CheckResultServ(Variant(true), true, 0);
    host::CheckResultServ(Variant(), true, 0);

    struct Row {
        Variant value;
        std::string message;
    };
    const std::vector<Row> rows = {
        {Variant(false), "False"},
        {Variant("PRECNCAD"), "PRECNCAD"},
        {Variant("BLOQUEADO"), "BLOQUEADO"},
        {Variant(cp("Tabela de preço inválida")), "Tabela de preço inválida"},
        {Variant(std::string()), "A verificação falhou sem informar o motivo."},
        {Variant(std::int64_t{0}), "0"},
        {Variant("True"), "True"}, // only a boolean true passes, not its spelling
    };
    for (const auto& row : rows)
        EXPECT_EQ(hostErrorOf([&] { host::CheckResultServ(row.value, true, 0); }), row.message);
}

TEST(Mensagem, GoesThroughThePresentationAndIsTraced)
{
    FakePresentation fake;
    host::Mensagem(cp("Observação deve ser informada."), "", "N", "N", host::TTipoMsg::tmAtencao,
                   "", "001", 0, nullptr);
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_EQ(fake.messageTexts()[0], "Observação deve ser informada.");
    EXPECT_EQ(fake.messages[0].type, 3);
    EXPECT_EQ(fake.messages[0].schema, "001");
    EXPECT_EQ(fake.messages[0].title, "");

    ASSERT_FALSE(fake.traced.empty());
    EXPECT_EQ(fake.traced.back().first, "Mensagem");
    const std::vector<std::string> args = {
        cp("Observação deve ser informada."), "", "N", "N", "3", "", "001", "0", "nil"};
    EXPECT_EQ(fake.traced.back().second, args);
}

// However a message came to quote a connection string, the operator and the trace see no
// secret of it.
TEST(Mensagem, ShowsAndTracesNoSecret)
{
    FakePresentation fake;
    const std::string text = cp("Erro no banco de dados: Invalid connection string "
                                "\"postgresql://u:Pw1@h/d?password=Pw2\": não representa "
                                "odbc://DSN=x;PWD={Pw3}");
    host::Mensagem(text, "", "N", "N", host::TTipoMsg::tmAtencao, "", "001", 0, nullptr);
    const std::string masked = cp("Erro no banco de dados: Invalid connection string "
                                  "\"postgresql://u:***@h/d?password=***\": não representa "
                                  "odbc://DSN=x;PWD=***");
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_EQ(fake.messages[0].text, masked);
    ASSERT_FALSE(fake.traced.empty());
    EXPECT_EQ(fake.traced.back().second.at(0), masked);
}

TEST(Tracing, EveryRoutineReportsItsCall)
{
    FakePresentation fake;
    host::Ajusta("5", 2);
    host::EmptyString(" ");
    host::iif(true, Variant("a"), Variant("b"));
    host::Trad(nullptr);
    host::_GetStringConexQtr("212");
    host::SetADODBSession(nullptr);
    host::ADOExceptionMessage(std::runtime_error("x"), nullptr, "");
    try {
        host::CheckResultServ(Variant("PRECZERO"), true, 0);
    } catch (const host::HostError&) {}
    std::vector<std::string> calls;
    for (const auto& [call, args] : fake.traced)
        calls.push_back(call);
    const std::vector<std::string> expected = {"Ajusta",
                                               "EmptyString",
                                               "iif",
                                               "Trad",
                                               "_GetStringConexQtr",
                                               "SetADODBSession",
                                               "ADOExceptionMessage",
                                               "CheckResultServ"};
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(fake.traced[0].second, (std::vector<std::string>{"5", "2"}));
}

class ConnectionStrings : public ::testing::Test {
protected:
    void TearDown() override
    {
        host::setConnectionString("", "");
        host::setConnectionString("212", "");
        kzt::setHostExecutablePath("");
    }
    FakePresentation fake;
};

TEST_F(ConnectionStrings, DefaultsAndOverrides)
{
    struct Row {
        const char* what;
        std::string general; // set for ""
        std::string code212; // set for "212"
        std::string code;
        std::string expected;
    };
    const std::vector<Row> rows = {
        {"default beside the host", "", "", "", "sqlite3://db=/opt/loja/store.db"},
        {"default for 212 too", "", "", "212", "sqlite3://db=/opt/loja/store.db"},
        {"general set", "odbc://DSN=loja", "", "", "odbc://DSN=loja"},
        {"212 without its own takes the general", "odbc://DSN=loja", "", "212", "odbc://DSN=loja"},
        {"212 set", "odbc://DSN=loja", "sqlite3://db=/srv/krb.db", "212",
         "sqlite3://db=/srv/krb.db"},
        {"another code ignores 212's", "", "sqlite3://db=/srv/krb.db", "",
         "sqlite3://db=/opt/loja/store.db"},
        {"an unknown code is not 212", "", "sqlite3://db=/srv/krb.db", "21",
         "sqlite3://db=/opt/loja/store.db"},
    };
    kzt::setHostExecutablePath("/opt/loja/KRB.EXE");
    for (const auto& row : rows) {
        host::setConnectionString("", row.general);
        host::setConnectionString("212", row.code212);
        EXPECT_EQ(host::_GetStringConexQtr(row.code), row.expected) << row.what;
    }
}

TEST_F(ConnectionStrings, HostPathWithoutAFolderMeansTheWorkingDirectory)
{
    const std::string cwd = QDir::currentPath().toStdString();
    struct Row {
        std::string hostPath;
        std::string expected;
    };
    const std::vector<Row> rows = {
        {"KRB.EXE", "sqlite3://db=" + cwd + "/store.db"},
        {"bin/../KRB.EXE", "sqlite3://db=" + cwd + "/store.db"},
        {"/KRB.EXE", "sqlite3://db=/store.db"},
    };
    for (const auto& row : rows) {
        kzt::setHostExecutablePath(row.hostPath);
        EXPECT_EQ(host::_GetStringConexQtr(""), row.expected) << row.hostPath;
    }
}

TEST_F(ConnectionStrings, DefaultOpensTheStoreBesideTheHostEvenInAFolderWithBlanksAndAccents)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("Loja São Paulo"));
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile store(folder + QStringLiteral("/store.db"));
    ASSERT_TRUE(store.open(QIODevice::WriteOnly));
    store.close();
    kzt::setHostExecutablePath((folder + QStringLiteral("/KRB.EXE")).toStdString());

    kzt::Connection connection("adcObs");
    // As the module takes it: Windows-1252 text.
    connection.setConnectionString(kzt::cp1252ToUtf16(host::_GetStringConexQtr("212")));
    connection.setConnected(true);
    EXPECT_TRUE(connection.connected());
}

TEST(ADOExceptionMessage, GivesTheDriverTextWithoutTheStatement)
{
    FakePresentation fake;
    struct Row {
        std::function<std::string()> message;
        std::string expected;
    };
    const std::vector<Row> rows = {
        {[] {
             const kzt::DatabaseError e("no such table: LOJA", "SELECT * FROM LOJA",
                                        "P_CDFILIAL='0001'");
             return host::ADOExceptionMessage(e, nullptr, "");
         },
         "Erro no banco de dados: no such table: LOJA"},
        {[] {
             return host::ADOExceptionMessage(std::runtime_error("conexão perdida"), nullptr, "");
         },
         "Erro no banco de dados: conexão perdida"},
        {[] {
             return host::ADOExceptionMessage(kzt::Error(cp("tabela inválida")), nullptr,
                                              "getOcorPed");
         },
         "Erro no banco de dados (getOcorPed): tabela inválida"},
        {[] { return host::ADOExceptionMessage(std::runtime_error(""), nullptr, ""); },
         "Erro no banco de dados."},
    };
    for (const auto& row : rows)
        EXPECT_EQ(kzt::cp1252ToUtf8(row.message()), row.expected);
}

TEST(SetADODBSession, TurnsOnForeignKeysAndKeepsTheBusyTimeoutForSQLite)
{
    FakePresentation fake;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("store.db"));
    QFile empty(path); // an empty file is an empty SQLite database
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    kzt::Connection connection("adcObs");
    connection.setConnectionString(kzt::utf8ToUtf16("sqlite3://db=" + path.toStdString()));
    connection.setConnected(true);

    const auto pragma = [&connection](const std::string& name) {
        kzt::Query query("adqPragma", connection);
        query.setSql({"PRAGMA " + name});
        query.addColumn({name, kzt::FieldType::Integer, 0});
        query.open();
        return query.fieldAsInteger(name);
    };
    // SQLite's own default, so the check below means something; the wait for a writer
    // is the connection's query limit from the start, and is left as it is.
    EXPECT_EQ(pragma("foreign_keys"), 0);
    EXPECT_EQ(pragma("busy_timeout"), 15000);

    host::SetADODBSession(&connection);
    EXPECT_EQ(pragma("foreign_keys"), 1);
    EXPECT_EQ(pragma("busy_timeout"), 15000);

    // A closed connection has no session to prepare: nothing happens, nothing raises.
    connection.setConnected(false);
    host::SetADODBSession(&connection);
    EXPECT_FALSE(connection.connected());
}

} // namespace
