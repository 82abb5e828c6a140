// The station run the way a till meets trouble: long entries held until the process
// ends, a station folder with an accented name, a parameter file in another letter case,
// a host started through a link named like the code "212" programs.

#include "tests/station/stationprocess.h"
#include "tests/support/tempdir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace {

using kzt::test::runStation;
using kzt::test::StationOutput;
using kzt::test::words;

QJsonObject onlyLine(const StationOutput& run)
{
    const QList<QByteArray> lines = run.out.trimmed().split('\n');
    EXPECT_EQ(lines.size(), 1) << run.out.toStdString();
    return QJsonDocument::fromJson(lines.value(0)).object();
}

// The module keeps the customer, consumer, time and waiting time until it is unloaded;
// texts too long for the string's own buffer live on the heap, and the unload step must
// empty them before they are destroyed, not after.
TEST(StationHardening, LongEntriesLeaveTheHostEndingCleanly)
{
    kzt::test::TempDir dir;
    ASSERT_EQ(
        runStation({QStringLiteral("--init-sample"), QString::fromStdString(dir.path())}).exitCode,
        0);
    const StationOutput run = runStation(
        words({"--host-exe"}) + QStringList{QString::fromStdString(dir.file("kzt-station"))}
        + words({"--kind", "P", "--product", "1001", "--customer", "CLIENTE-0000000001",
                 "--consumer", "CONSUMIDOR-00000001", "--time", "2024-05-17 12:34:56.789", "--do",
                 "keypad:12345678901234567890", "--do", "press:btnEsperaProd", "--do",
                 "press:sptConfirmar"}));
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(onlyLine(run)[QStringLiteral("result")].toArray().at(1).toString(),
              QStringLiteral("12345678901234567890"));
}

} // namespace

namespace {

// A station folder written by --init-sample, under a folder name of the row's choosing.
struct PathCase {
    const char* name;
    const char* folder;
    std::function<void(const std::filesystem::path& station)> prepare;
    std::function<QStringList(const std::filesystem::path& station)> run; // program first
    std::function<void(const QJsonObject& line)> check;
};

QString q(const std::filesystem::path& path)
{
    return QString::fromStdString(path.string());
}

QStringList dialogAt(const std::filesystem::path& station)
{
    return QStringList{kzt::test::kStation, QStringLiteral("--host-exe"),
                       q(station / "kzt-station")}
           + words({"--kind", "P", "--product", "1001", "--do", "press:sbtSair"});
}

QString firstMessage(const QJsonObject& line)
{
    const QJsonObject first = line[QStringLiteral("messages")].toArray().at(0).toObject();
    return first[QStringLiteral("text")].toString();
}

// A dialog on a store whose connection string, password and all, is refused: the
// operator's message, the trace and the output show the string with "***" for it.
PathCase secretRefused(const char* name, const char* connection, const char* shown)
{
    return {name, "loja", nullptr,
            [=](const std::filesystem::path& station) {
                return dialogAt(station)
                       + QStringList{QStringLiteral("--trace"), QStringLiteral("--connection"),
                                     QString::fromUtf8(connection)};
            },
            [=](const QJsonObject& line) {
                EXPECT_TRUE(firstMessage(line).contains(QString::fromUtf8(shown)))
                    << firstMessage(line).toStdString();
                EXPECT_FALSE(QJsonDocument(line).toJson().contains("S3cretPw"));
            }};
}

TEST(StationHardening, PathsReachTheStoreAndTheParameterFile)
{
    const auto groupOfTheList = [](const QJsonObject& line) {
        EXPECT_EQ(firstMessage(line), QString());
        EXPECT_EQ(line[QStringLiteral("result")].toArray().at(0).toString(), QStringLiteral("01"));
    };
    const auto rename = [](const char* from, const char* to) {
        return [=](const std::filesystem::path& station) {
            std::filesystem::rename(station / from, station / to);
        };
    };
    const std::vector<PathCase> cases = {
        {"accented folder, default store", "Salão", nullptr, dialogAt, groupOfTheList},
        {"accented folder given on the command line", "Salão", nullptr,
         [](const std::filesystem::path& station) {
             return QStringList{kzt::test::kStation, QStringLiteral("--connection"),
                                QStringLiteral("sqlite3://db=") + q(station / "store.db")}
                    + words({"--call", "getQtMaxObserv", "1001"});
         },
         [](const QJsonObject& line) { EXPECT_EQ(line[QStringLiteral("result")].toInt(), 2); }},
        {"folder with no Windows-1252 form", "Loja 東京", nullptr, dialogAt,
         [](const QJsonObject& line) {
             EXPECT_TRUE(firstMessage(line).contains(u"Windows-1252 não representa"))
                 << firstMessage(line).toStdString();
             EXPECT_EQ(line[QStringLiteral("returned")].toString(), QString());
         }},
        secretRefused("a password in a connection string that is refused",
                      "postgresql://host=/nowhere password=S3cretPw query_timeout=soon",
                      "password=*** query_timeout=soon"),
        secretRefused("an ODBC password in a connection string that is refused",
                      "odbc://DSN=nowhere;PWD={S3cretPw};query_timeout=soon",
                      "PWD=***;query_timeout=soon"),
        {"parameter file in lower case", "loja", rename("PARAMETROSQTR.CDS", "parametrosqtr.cds"),
         dialogAt, groupOfTheList},
        {"two parameter files differing only in case", "loja",
         [](const std::filesystem::path& station) {
             std::filesystem::copy_file(station / "PARAMETROSQTR.CDS",
                                        station / "ParametrosQtr.cds");
             std::filesystem::rename(station / "PARAMETROSQTR.CDS", station / "parametrosqtr.cds");
         },
         dialogAt,
         [](const QJsonObject& line) {
             EXPECT_TRUE(firstMessage(line).startsWith(QStringLiteral("Both ")))
                 << firstMessage(line).toStdString();
         }},
        {"started through a link named like a code 212 program", "loja",
         [](const std::filesystem::path& station) {
             std::filesystem::create_symlink(kzt::test::kStation.toStdString(),
                                             station / "KRB.EXE");
         },
         [](const std::filesystem::path& station) {
             return QStringList{q(station / "KRB.EXE"), QStringLiteral("--connection"),
                                QStringLiteral("sqlite3://db=") + q(station / "missing.db"),
                                QStringLiteral("--connection-212"),
                                QStringLiteral("sqlite3://db=") + q(station / "store.db")}
                    + words({"--call", "getQtMaxObserv", "1001"});
         },
         [](const QJsonObject& line) {
             EXPECT_EQ(line[QStringLiteral("result")].toInt(), 2)
                 << line[QStringLiteral("error")].toString().toStdString();
         }},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.name);
        kzt::test::TempDir dir;
        const std::filesystem::path station = std::filesystem::path(dir.path()) / c.folder;
        std::filesystem::create_directory(station);
        ASSERT_EQ(runStation({QStringLiteral("--init-sample"), q(station)}).exitCode, 0);
        if (c.prepare)
            c.prepare(station);
        QStringList args = c.run(station);
        const QString program = args.takeFirst();
        const StationOutput run = runStation(args, program);
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        c.check(onlyLine(run));
    }
}

} // namespace
