#include "tests/station/stationprocess.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <cstdlib>

namespace kzt::test {

StationOutput runStation(const QStringList& args, const QString& program)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // As under a service manager: Qt then makes its own runtime folder, and must not say so.
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    process.setProcessEnvironment(env);
    process.start(program, args);
    StationOutput run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "kzt-station did not finish: " << process.errorString().toStdString();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

QStringList words(std::initializer_list<const char*> list)
{
    QStringList out;
    for (const char* w : list)
        out << QString::fromUtf8(w);
    return out;
}

void checkGolden(const char* file, const QByteArray& actual)
{
    QFile golden(kGoldenDir + QString::fromUtf8(file));
    if (std::getenv("KZT_UPDATE_GOLDEN") != nullptr) {
        ASSERT_TRUE(golden.open(QIODevice::WriteOnly)) << golden.fileName().toStdString();
        golden.write(actual);
        return;
    }
    ASSERT_TRUE(golden.open(QIODevice::ReadOnly))
        << golden.fileName().toStdString() << " is missing; run with KZT_UPDATE_GOLDEN=1";
    EXPECT_EQ(actual.toStdString(), golden.readAll().toStdString());
}

} // namespace kzt::test
