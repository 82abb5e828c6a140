// The station run the way a till meets trouble: long entries held until the process
// ends, a station folder with an accented name, a parameter file in another letter case,
// a host started through a link named like the code "212" programs.

#include "stationprocess.h"
#include "tests/support/store.h"
#include "tests/support/tempdir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

using kzt::test::runStation;
using kzt::test::StationOutput;

QStringList words(std::initializer_list<const char*> list)
{
    QStringList out;
    for (const char* w : list)
        out << QString::fromUtf8(w);
    return out;
}

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
    ASSERT_EQ(runStation({QStringLiteral("--init-sample"), QString::fromStdString(dir.path())})
                  .exitCode,
              0);
    const StationOutput run = runStation(
        words({"--host-exe"}) + QStringList{QString::fromStdString(dir.file("kzt-station"))}
        + words({"--kind", "P", "--product", "1001", "--customer", "CLIENTE-0000000001",
                 "--consumer", "CONSUMIDOR-00000001", "--time", "2024-05-17 12:34:56.789",
                 "--do", "keypad:12345678901234567890", "--do", "press:btnEsperaProd", "--do",
                 "press:sptConfirmar"}));
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(onlyLine(run)[QStringLiteral("result")].toArray().at(1).toString(),
              QStringLiteral("12345678901234567890"));
}

} // namespace
