#pragma once

// The station's command line: the options of one or more calls (separated by --next),
// checked completely before anything runs.

#include "host/script.h"

#include "platform/error.h"
#include "platform/variant.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace station {

// A command line the station cannot run; the message says what is wrong (UTF-8).
class UsageError : public kzt::Error {
public:
    using Error::Error;
};

// The --do steps and answers, read as KZT_SCRIPT is.
using Action = host::ScriptStep;
using Answers = host::ScriptAnswers;

struct CallOptions {
    std::map<int, kzt::Variant> entries; // request entries given, by index
    int entryCount = 10;
    int resultSize = 5;
    bool resultNotArray = false;
    std::optional<std::string> connection;
    std::optional<std::string> connection212;
    std::optional<std::string> hostExe;
    std::optional<std::string> cacheDir; // the offline cache's folder, or "off"
    bool trace = false;
    bool scripted = false; // at least one --do
    std::vector<Action> actions;
    Answers answers;
    std::optional<std::string> routine; // --call
    std::vector<std::string> routineArgs;

    // The request as the host builds it: entries not given are empty texts.
    std::vector<kzt::Variant> request() const;
    kzt::Variant result() const;
};

struct StationOptions {
    std::vector<CallOptions> calls;
    std::optional<std::string> module;
    std::optional<std::string> initSample;     // write the sample store here and stop
    bool force = false;                        // --init-sample replaces a store already there
    std::optional<std::string> companionShots; // draw the companion dialogs here and stop
    bool help = false;
    bool version = false;
};

// Parses the arguments after the program name. Raises UsageError.
StationOptions parseOptions(const std::vector<std::string>& args);

// Parses one --do action (answers go to `answers`, the rest to `actions`). Raises UsageError.
void parseAction(const std::string& action, CallOptions& call);

// --help's text, from the option table; the man page is made from it.
std::string usageText();
std::string versionText();

} // namespace station
