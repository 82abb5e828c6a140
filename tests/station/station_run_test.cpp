// The built kzt-station program, run as a host runs it: against a sample store written to
// a temporary directory, its JSON lines compared with golden files (KZT_UPDATE_GOLDEN=1
// rewrites them), its exit status and messages checked.

#include "platform/db/offlinecache.h"
#include "tests/station/stationprocess.h"
#include "tests/support/store.h"
#include "tests/support/tempdir.h"

#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <functional>

namespace {

using kzt::test::checkGolden;
using kzt::test::kStation;
using kzt::test::runStation;
using kzt::test::StationOutput;
using kzt::test::words;

using kzt::test::TempDir;

// A station directory: the sample store and parameter file, and the host executable the
// station pretends to be, so the defaults find both.
class StationDir {
public:
    StationDir()
    {
        if (!QFile::exists(kStation))
            ADD_FAILURE() << "build kzt-station and kzt00318 first: " << kStation.toStdString();
        const StationOutput init = runStation({QStringLiteral("--init-sample"), path()});
        EXPECT_EQ(init.exitCode, 0) << init.err.toStdString();
    }
    QString path() const { return QString::fromStdString(mDir.path()); }
    QStringList host() const
    {
        return {QStringLiteral("--host-exe"), path() + QStringLiteral("/kzt-station")};
    }
    QByteArray normalise(QByteArray text) const
    {
        return text.replace(mDir.path().c_str(), "<STATION>");
    }

private:
    TempDir mDir;
};

QList<QJsonObject> jsonLines(const QByteArray& out)
{
    QList<QJsonObject> objects;
    for (const QByteArray& line : out.split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
        objects.append(doc.object());
    }
    return objects;
}

struct GoldenCase {
    const char* file;
    std::vector<QStringList> calls; // joined with --next, each playing the same host
};

TEST(StationRun, GoldenOutputs)
{
    const QStringList order =
        words({"--kind", "P", "--product", "1001", "--name", "HAMBÚRGUER ARTESANAL", "--current",
               "SEM SAL;", "--sale-open", "True"});
    const std::vector<GoldenCase> cases = {
        {"exit_at_once.json", {order + words({"--trace", "--do", "press:sbtSair"})}},
        {"next_pair.json",
         {order
              + words({"--do", "press:sbt01", "--do", "keypad:15", "--do", "press:btnEsperaProd",
                       "--do", "dump", "--do", "press:sptConfirmar"}),
          words({"--kind", "C", "--obligatory", "S", "--do", "post:,enter", "--do",
                 "editor:CLIENTE DESISTIU", "--do", "press:sbtEditaDesc", "--do",
                 "press:sptConfirmar"})}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        StationDir station;
        QStringList args;
        for (const auto& call : c.calls) {
            if (!args.isEmpty())
                args << QStringLiteral("--next");
            args << station.host() << call;
        }
        const StationOutput run = runStation(args);
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.err.toStdString(), "") << "a normal run is quiet";
        EXPECT_EQ(jsonLines(run.out).size(), static_cast<qsizetype>(c.calls.size()));
        const QByteArray actual = station.normalise(run.out);
        checkGolden(c.file, actual);
    }
}

// --help and --version answer on stdout and exit 0, whatever follows them, with no module
// or display needed.
TEST(StationRun, HelpAndVersion)
{
    struct Case {
        QStringList args;
        const char* stdoutText;
    };
    const std::vector<Case> cases = {
        {{QStringLiteral("--version")}, "kzt-station " KZT_TEST_VERSION "\n"},
        {{QStringLiteral("--help"), QStringLiteral("--bogus")}, "  --connection-212 STR"},
        {{QStringLiteral("-h")}, "  --do ACTION"},
        {{QStringLiteral("--kind"), QStringLiteral("P"), QStringLiteral("--help")}, "Usage: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        const StationOutput run = runStation(c.args);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_NE(run.out.indexOf(c.stdoutText), -1) << run.out.toStdString();
        EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    }
}

TEST(StationRun, ExitStatusAndMessages)
{
    struct Case {
        const char* name;
        QStringList args;
        int exitCode;
        const char* stderrText;
        QString program = kStation;
    };
    const std::vector<Case> cases = {
        {"usage error", {QStringLiteral("--kind")}, 2, "kzt-station: --kind needs a value"},
        {"a call for an operator with no display to show it on",
         {QStringLiteral("--kind"), QStringLiteral("P")},
         2,
         "there is no display to show it on; give --do actions"},
        {"an X display nobody answers (Qt would abort)",
         {QStringLiteral("QT_QPA_PLATFORM=xcb"), QStringLiteral("DISPLAY=:97"), kStation,
          QStringLiteral("--do"), QStringLiteral("dump")},
         2,
         "no window platform can start here",
         QStringLiteral("/usr/bin/env")},
        {"unknown action",
         {QStringLiteral("--do"), QStringLiteral("fly")},
         2,
         "unknown action 'fly'"},
        {"module that does not load",
         {QStringLiteral("--module"), QStringLiteral("/nonexistent/libkzt00318.so"),
          QStringLiteral("--do"), QStringLiteral("dump")},
         1,
         "cannot load the module /nonexistent/libkzt00318.so"},
        {"a library that is no module",
         {QStringLiteral("--module"), QStringLiteral(KZT_BINARY_DIR "/lib/libkzthost.so"),
          QStringLiteral("--do"), QStringLiteral("dump")},
         1,
         "exports no Observacao"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const StationOutput run = runStation(c.args, c.program);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
        EXPECT_NE(run.err.indexOf(c.stderrText), -1) << run.err.toStdString();
    }
}

TEST(StationRun, ScriptProblemsAreReportedAndTheDialogClosedAtTheEnd)
{
    StationDir station;
    const StationOutput run =
        runStation(station.host()
                   + QStringList{QStringLiteral("--kind"), QStringLiteral("P"),
                                 QStringLiteral("--product"), QStringLiteral("1001"),
                                 QStringLiteral("--do"), QStringLiteral("press:naoExiste"),
                                 QStringLiteral("--do"), QStringLiteral("dump")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const auto lines = jsonLines(run.out);
    ASSERT_EQ(lines.size(), 1);
    const QJsonObject call = lines[0];
    EXPECT_EQ(call[QStringLiteral("unhandled")].toArray().first().toString(),
              QStringLiteral("press:naoExiste: the dialog has no button named 'naoExiste'"));
    EXPECT_TRUE(call[QStringLiteral("leftOpen")].toBool());
    EXPECT_EQ(call[QStringLiteral("cursor")].toInt(), 0);
    EXPECT_EQ(call[QStringLiteral("snapshots")].toArray().size(), 1);
}

TEST(StationRun, ShotWritesAPictureOfTheDialog)
{
    StationDir station;
    const QString shot = station.path() + QStringLiteral("/dialog.png");
    const StationOutput run =
        runStation(station.host()
                   + QStringList{QStringLiteral("--kind"), QStringLiteral("P"),
                                 QStringLiteral("--product"), QStringLiteral("1001"),
                                 QStringLiteral("--do"), QStringLiteral("shot:") + shot,
                                 QStringLiteral("--do"), QStringLiteral("press:sbtSair")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QFile png(shot);
    ASSERT_TRUE(png.open(QIODevice::ReadOnly));
    EXPECT_TRUE(png.read(8).startsWith("\x89PNG"));
    EXPECT_FALSE(jsonLines(run.out).at(0)[QStringLiteral("leftOpen")].toBool());
}

} // namespace

namespace {

TEST(StationRun, CallRunsOneDataRoutine)
{
    StationDir station;
    const std::string emptyDb = station.path().toStdString() + "/empty.db";
    kzt::test::execSql(emptyDb, "CREATE TABLE OUTRA (X INTEGER);");
    const QString emptyStore = QString::fromStdString(kzt::test::sqliteConnection(emptyDb));
    // A server nobody answers for, whose maximum was kept before.
    const std::string cache = station.path().toStdString() + "/cache";
    const std::string away = "postgresql://host=" + cache + "/no-server dbname=loja";
    ASSERT_TRUE(kzt::OfflineCache(cache).store(kzt::offlineKey(away, "getQtMaxObserv", {"1001"}),
                                               "7", 1765222920));
    struct Case {
        const char* name;
        QStringList args;
        std::function<void(const QJsonObject&)> check;
    };
    const std::vector<Case> cases = {
        {"an integer result", words({"--call", "getQtMaxObserv", "1001"}),
         [](const QJsonObject& o) {
             EXPECT_EQ(o[QStringLiteral("routine")].toString(), QStringLiteral("getQtMaxObserv"));
             EXPECT_EQ(o[QStringLiteral("result")].toInt(), 2);
             EXPECT_FALSE(o.contains(QStringLiteral("error")));
         }},
        {"a packet result", words({"--call", "getOcorPed", "0001", "01", "1002"}),
         [](const QJsonObject& o) {
             const QJsonObject packet = o[QStringLiteral("result")].toObject();
             QStringList codes;
             for (const auto row : packet[QStringLiteral("rows")].toArray())
                 codes << row.toObject()[QStringLiteral("CDOCORR")].toString();
             EXPECT_EQ(codes, words({"01", "08", "11", "17"}));
             EXPECT_EQ(packet[QStringLiteral("fields")].toArray().size(), 6);
         }},
        {"an answer kept while the server is away",
         QStringList{QStringLiteral("--connection"), QString::fromStdString(away),
                     QStringLiteral("--cache-dir"), QString::fromStdString(cache)}
             + words({"--call", "getQtMaxObserv", "1001"}),
         [](const QJsonObject& o) {
             EXPECT_EQ(o[QStringLiteral("result")].toInt(), 7);
             EXPECT_EQ(o[QStringLiteral("cachedAt")].toString(),
                       QStringLiteral("2025-12-08T19:42:00Z"));
         }},
        {"a routine that raises",
         QStringList{QStringLiteral("--connection"), emptyStore}
             + words({"--call", "getQtMaxObserv", "1001"}),
         [](const QJsonObject& o) {
             EXPECT_FALSE(o.contains(QStringLiteral("result")));
             EXPECT_TRUE(
                 o[QStringLiteral("error")].toString().contains(QStringLiteral("no such table")))
                 << o[QStringLiteral("error")].toString().toStdString();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const StationOutput run = runStation(station.host() + c.args);
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        const auto lines = jsonLines(run.out);
        ASSERT_EQ(lines.size(), 1);
        c.check(lines[0]);
    }
}

TEST(StationRun, CallWithAWrongRoutineIsAUsageError)
{
    StationDir station;
    struct Case {
        QStringList args;
        const char* stderrText;
    };
    const std::vector<Case> cases = {
        {words({"--call", "getTudo"}), "unknown routine \"getTudo\""},
        {words({"--call", "getQtMaxObserv"}), "getQtMaxObserv takes 1 argument"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stderrText);
        const StationOutput run = runStation(station.host() + c.args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.indexOf(c.stderrText), -1) << run.err.toStdString();
    }
}

} // namespace
