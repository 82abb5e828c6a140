#pragma once

// kzt-station: plays the host. Loads the module, calls Observacao with the request its
// options build, and prints one JSON line per call.

#include <string>
#include <vector>

namespace station {

enum ExitStatus { kExitOk = 0, kExitModule = 1, kExitUsage = 2 };

// The whole program; main() only hands over its arguments.
int runStation(int argc, char** argv);

// The module the station loads when --module is not given: libkzt00318.so in the lib
// folder beside the program's bin folder.
std::string defaultModulePath();

// Draws each companion dialog with sample content into <dir>/companion-*.png, and where their
// buttons lie into <dir>/companion-places.json; returns the
// files written (UTF-8 paths). Needs a QApplication.
std::vector<std::string> drawCompanionDialogs(const std::string& dir);

} // namespace station
