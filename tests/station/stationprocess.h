#pragma once

// Runs the built kzt-station as a host would, under the offscreen platform.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <initializer_list>

namespace kzt::test {

inline const QString kStation = QStringLiteral(KZT_BINARY_DIR "/bin/kzt-station");
inline const QString kGoldenDir = QStringLiteral(KZT_SOURCE_DIR "/tests/station/golden/");

struct StationOutput {
    int exitCode = -1; // -1: crashed or did not finish
    QByteArray out;
    QByteArray err;
};

// `program` is the station itself unless a test starts it under another name (a link).
StationOutput runStation(const QStringList& args, const QString& program = kStation);

// The words of a command line, from UTF-8.
QStringList words(std::initializer_list<const char*> list);

// Compares `actual` with the golden file of that name; with KZT_UPDATE_GOLDEN set, rewrites
// the file instead.
void checkGolden(const char* file, const QByteArray& actual);

} // namespace kzt::test
