#include "tests/station/stationprocess.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <cstdlib>

#ifdef __SANITIZE_THREAD__
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace kzt::test {

#ifdef __SANITIZE_THREAD__
// Qt starts a child with a raw vfork-like clone that ThreadSanitizer does not intercept,
// and after it ThreadSanitizer misreads every lock of this process as no lock at all. Here
// the station is started with fork() and exec(), which it follows.
StationOutput runStation(const QStringList& args, const QString& program)
{
    std::vector<std::string> words = {program.toStdString()};
    for (const QString& arg : args)
        words.push_back(arg.toStdString());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<std::string> settings = {"QT_QPA_PLATFORM=offscreen"};
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::string(*entry).rfind("QT_QPA_PLATFORM=", 0) != 0)
            settings.emplace_back(*entry);
    }
    std::vector<char*> envp;
    for (std::string& setting : settings)
        envp.push_back(setting.data());
    envp.push_back(nullptr);

    int out[2];
    int err[2];
    StationOutput run;
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "no pipe for kzt-station";
        return run;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    pollfd ends[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    QByteArray* into[2] = {&run.out, &run.err};
    int open = 2;
    while (open > 0 && ::poll(ends, 2, -1) > 0) {
        for (int i = 0; i < 2; ++i) {
            if (ends[i].fd < 0 || ends[i].revents == 0)
                continue;
            char buffer[4096];
            const ssize_t n = ::read(ends[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                into[i]->append(buffer, n);
            } else {
                ::close(ends[i].fd);
                ends[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    return run;
}
#else
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
#endif

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
