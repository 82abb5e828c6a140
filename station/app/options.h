#pragma once

// The station's command line: the options of one or more calls (separated by --next),
// checked completely before anything runs.

#include "platform/error.h"
#include "platform/ui/keys.h"
#include "platform/variant.h"

#include <cstdint>
#include <deque>
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

struct Action {
    enum class Kind { Press, Key, Post, Dump, Shot };
    Kind kind = Kind::Dump;
    std::string name;          // press: the control; shot: the file
    std::uint16_t key = 0;     // key: the virtual-key code
    kzt::ShiftState shift = 0; // key: the modifiers
    std::string text;          // post: Windows-1252
    bool enter = false;        // post
    bool asChar = false;       // post
    std::string source;        // the action as written, for messages
};

// Companion dialog answers, one queue a kind, taken front first (Windows-1252).
struct Answers {
    std::deque<std::string> editor;
    std::deque<std::string> keypad;
    std::deque<std::optional<std::string>> search; // nullopt: the operator cancels
    std::deque<std::string> price;
};

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
};

// Parses the arguments after the program name. Raises UsageError.
StationOptions parseOptions(const std::vector<std::string>& args);

// Parses one --do action (answers go to `answers`, the rest to `actions`). Raises UsageError.
void parseAction(const std::string& action, CallOptions& call);

std::string usageText();

} // namespace station
