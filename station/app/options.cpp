#include "station/app/options.h"

#include "station/app/routines.h"

#include "platform/process.h"
#include "platform/text.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <set>
#include <system_error>

namespace station {

namespace {

constexpr int kMaxEntries = 1000;

std::optional<long long> toInteger(const std::string& text)
{
    long long value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

int countArgument(const std::string& option, const std::string& text, int minimum)
{
    const auto value = toInteger(text);
    if (!value || *value < minimum || *value > kMaxEntries)
        throw UsageError(option + " needs a whole number from " + std::to_string(minimum) + " to "
                         + std::to_string(kMaxEntries) + ", not '" + text + "'");
    return static_cast<int>(*value);
}

kzt::Variant typedEntry(const std::string& type, const std::string& value, const std::string& given)
{
    if (type == "str")
        return kzt::Variant(kzt::utf8ToCp1252(value));
    if (type == "int") {
        const auto number = toInteger(value);
        if (!number)
            throw UsageError("--entry " + given + ": '" + value + "' is not a whole number");
        return kzt::Variant(static_cast<std::int64_t>(*number));
    }
    if (type == "float") {
        double number = 0;
        auto [ptr, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
        if (value.empty() || ec != std::errc() || ptr != value.data() + value.size())
            throw UsageError("--entry " + given + ": '" + value + "' is not a number");
        return kzt::Variant(number);
    }
    if (type == "bool") {
        if (value == "true" || value == "True" || value == "1")
            return kzt::Variant(true);
        if (value == "false" || value == "False" || value == "0")
            return kzt::Variant(false);
        throw UsageError("--entry " + given + ": '" + value + "' is not true or false");
    }
    if (type == "empty") {
        if (!value.empty())
            throw UsageError("--entry " + given + ": an empty entry takes no value");
        return kzt::Variant();
    }
    throw UsageError("--entry " + given + ": unknown type '" + type
                     + "' (use str, int, float, bool or empty)");
}

std::pair<int, kzt::Variant> parseEntry(const std::string& given)
{
    const auto equals = given.find('=');
    const auto colon = given.find(':', equals == std::string::npos ? 0 : equals);
    if (equals == std::string::npos || colon == std::string::npos)
        throw UsageError("--entry needs N=TYPE:VALUE, not '" + given + "'");
    const auto index = toInteger(given.substr(0, equals));
    if (!index || *index < 0 || *index >= kMaxEntries)
        throw UsageError("--entry " + given + ": the index must be a whole number from 0");
    return {static_cast<int>(*index), typedEntry(given.substr(equals + 1, colon - equals - 1),
                                                 given.substr(colon + 1), given)};
}

// Options that build the request or the result variant: a data routine has no use for them.
bool shapesTheDialogCall(const std::string& option)
{
    static const std::set<std::string> options = {"--obligatory",  "--kind",
                                                  "--product",     "--name",
                                                  "--current",     "--sale-open",
                                                  "--wait",        "--customer",
                                                  "--consumer",    "--time",
                                                  "--entry",       "--entries",
                                                  "--result-size", "--result-not-array",
                                                  "--do"};
    return options.count(option) != 0;
}

// The database a call's host settings make the module open: the code "212" string for a
// host named like the code "212" programs, else the general one, else the store beside
// the host executable.
std::string databaseOf(const CallOptions& call, const std::string& defaultHostExe)
{
    const std::string exe = call.hostExe.value_or(defaultHostExe);
    if (kzt::connectionCodeOf(exe) == "212" && call.connection212)
        return *call.connection212;
    if (call.connection)
        return *call.connection;
    std::error_code error;
    const auto dir = std::filesystem::absolute(exe, error).parent_path().lexically_normal();
    return "the store beside " + (error ? exe : dir.string());
}

// After the first call the module keeps its connection open until the station ends, so a
// later call cannot move it to another database: such a call is refused, not run against
// the first call's database.
void checkOneDatabase(const StationOptions& options)
{
    const std::string defaultHostExe = kzt::hostExecutablePath();
    const std::string first = databaseOf(options.calls.front(), defaultHostExe);
    for (std::size_t n = 1; n < options.calls.size(); ++n) {
        const std::string database = databaseOf(options.calls[n], defaultHostExe);
        if (database != first)
            throw UsageError("call " + std::to_string(n + 1) + " would read " + database
                             + ", but the module keeps call 1's connection (" + first
                             + ") open until the station ends; run another kzt-station for it");
    }
}

std::uint16_t virtualKey(const std::string& name, const std::string& action)
{
    static const std::map<std::string, std::uint16_t> names = {
        {"ESC", kzt::VK_ESCAPE},    {"ESCAPE", kzt::VK_ESCAPE}, {"ENTER", kzt::VK_RETURN},
        {"RETURN", kzt::VK_RETURN}, {"TAB", kzt::VK_TAB},       {"SPACE", kzt::VK_SPACE},
        {"BACK", kzt::VK_BACK}};
    if (const auto number = toInteger(name)) {
        if (*number < 1 || *number > 255)
            throw UsageError("--do " + action + ": a virtual key is a number from 1 to 255");
        return static_cast<std::uint16_t>(*number);
    }
    const std::string upper = kzt::upperAscii(name);
    if (const auto it = names.find(upper); it != names.end())
        return it->second;
    if (upper.size() >= 2 && upper[0] == 'F') {
        const auto n = toInteger(upper.substr(1));
        if (n && *n >= 1 && *n <= 12)
            return static_cast<std::uint16_t>(kzt::VK_F1 + *n - 1);
    }
    throw UsageError("--do " + action + ": unknown key '" + name
                     + "' (a virtual-key number, F1..F12, ESC, ENTER, TAB, SPACE or BACK)");
}

Action keyAction(const std::string& given, const std::string& action)
{
    Action a;
    a.kind = Action::Kind::Key;
    std::size_t start = 0;
    bool first = true;
    while (start <= given.size()) {
        const auto plus = given.find('+', start);
        const std::string part =
            given.substr(start, plus == std::string::npos ? std::string::npos : plus - start);
        if (first) {
            a.key = virtualKey(part, action);
            first = false;
        } else if (part == "alt") {
            a.shift |= kzt::ssAlt;
        } else if (part == "ctrl") {
            a.shift |= kzt::ssCtrl;
        } else if (part == "shift") {
            a.shift |= kzt::ssShift;
        } else {
            throw UsageError("--do " + action + ": unknown modifier '" + part
                             + "' (alt, ctrl or shift)");
        }
        if (plus == std::string::npos)
            break;
        start = plus + 1;
    }
    return a;
}

Action postAction(std::string given)
{
    Action a;
    a.kind = Action::Kind::Post;
    // Flags come last, so a text may hold commas of its own.
    for (bool more = true; more;) {
        more = false;
        for (const std::string flag : {",enter", ",char"}) {
            if (given.size() >= flag.size()
                && given.compare(given.size() - flag.size(), flag.size(), flag) == 0) {
                (flag == ",enter" ? a.enter : a.asChar) = true;
                given.resize(given.size() - flag.size());
                more = true;
            }
        }
    }
    a.text = kzt::utf8ToCp1252(given);
    return a;
}

// --call ROUTINE takes exactly the routine's arguments, so the options after them stay
// options; a word that looks like an option is never taken for an argument.
void takeRoutineArguments(const std::vector<std::string>& args, std::size_t& i, CallOptions& call)
{
    const std::string& routine = *call.routine;
    const auto signature = routineArguments(routine);
    if (!signature) {
        std::string known;
        for (const auto& name : routineNames())
            known += (known.empty() ? "" : ", ") + name;
        throw UsageError("--call: unknown routine \"" + routine + "\"; the module's routines are "
                         + known);
    }
    const auto [count, names] = *signature;
    while (call.routineArgs.size() < count && i + 1 < args.size() && !args[i + 1].starts_with("--"))
        call.routineArgs.push_back(args[++i]);
    if (call.routineArgs.size() < count)
        throw UsageError("--call " + routine + " takes " + std::to_string(count) + " argument"
                         + (count == 1 ? "" : "s") + " (" + names + "), "
                         + std::to_string(call.routineArgs.size()) + " given");
}

// --init-sample and --companion-shots each do one thing and stop: whatever else the line
// says would be ignored, so it is refused.
void checkStandAloneMode(const StationOptions& options,
                         const std::vector<std::vector<std::string>>& given,
                         const std::vector<std::string>& processWide)
{
    const char* mode = options.initSample       ? "--init-sample"
                       : options.companionShots ? "--companion-shots"
                                                : nullptr;
    if (!mode)
        return;
    std::string ignored;
    for (const std::string& option : processWide) {
        if (option != mode)
            ignored = option;
    }
    if (ignored.empty() && options.calls.size() > 1)
        ignored = "--next";
    // The sample store goes into the database --connection names, replacing one only
    // with --force.
    for (const std::string& option : given.front()) {
        const bool forTheStore =
            options.initSample && (option == "--connection" || option == "--force");
        if (ignored.empty() && !forTheStore)
            ignored = option;
    }
    if (!ignored.empty())
        throw UsageError(std::string(mode) + " does its work and stops, so " + ignored
                         + " would be ignored");
}

} // namespace

void parseAction(const std::string& action, CallOptions& call)
{
    const auto colon = action.find(':');
    const std::string verb = action.substr(0, colon);
    const std::string rest = colon == std::string::npos ? std::string() : action.substr(colon + 1);
    const bool hasArg = colon != std::string::npos;
    auto needArg = [&](const char* what) {
        if (!hasArg || rest.empty())
            throw UsageError("--do " + action + ": " + verb + " needs " + what);
    };
    Action a;
    if (verb == "press") {
        needArg("a control name, as in press:sptConfirmar");
        a.kind = Action::Kind::Press;
        a.name = rest;
    } else if (verb == "key") {
        needArg("a key, as in key:27 or key:115+alt");
        a = keyAction(rest, action);
    } else if (verb == "post") {
        if (!hasArg)
            throw UsageError("--do " + action + ": post needs a text, as in post:12,enter");
        a = postAction(rest);
    } else if (verb == "dump") {
        if (hasArg)
            throw UsageError("--do " + action + ": dump takes no argument");
        a.kind = Action::Kind::Dump;
    } else if (verb == "shot") {
        needArg("a file name, as in shot:dialog.png");
        a.kind = Action::Kind::Shot;
        a.name = rest;
    } else if (verb == "editor" && hasArg) {
        call.answers.editor.push_back(kzt::utf8ToCp1252(rest));
        return;
    } else if (verb == "keypad" && hasArg) {
        call.answers.keypad.push_back(kzt::utf8ToCp1252(rest));
        return;
    } else if (verb == "search" && hasArg) {
        call.answers.search.push_back(rest.empty() ? std::nullopt
                                                   : std::optional(kzt::utf8ToCp1252(rest)));
        return;
    } else if (verb == "price" && hasArg) {
        call.answers.price.push_back(kzt::utf8ToCp1252(rest));
        return;
    } else if (verb == "editor" || verb == "keypad" || verb == "search" || verb == "price") {
        throw UsageError("--do " + action + ": " + verb + " needs ':' and its answer");
    } else {
        throw UsageError("--do " + action + ": unknown action '" + verb
                         + "' (press, key, post, editor, keypad, search, price, dump, shot)");
    }
    a.source = action;
    call.actions.push_back(std::move(a));
}

std::vector<kzt::Variant> CallOptions::request() const
{
    std::vector<kzt::Variant> request(static_cast<std::size_t>(entryCount), kzt::Variant(""));
    for (const auto& [index, value] : entries)
        request[static_cast<std::size_t>(index)] = value;
    return request;
}

kzt::Variant CallOptions::result() const
{
    if (resultNotArray)
        return kzt::Variant();
    return kzt::Variant::arrayOf(static_cast<std::size_t>(resultSize));
}

StationOptions parseOptions(const std::vector<std::string>& args)
{
    StationOptions options;
    options.calls.emplace_back();
    // The options each call was given, in order, and which option set each request entry:
    // an option that would be ignored is refused after the loop, or here when repeated.
    std::vector<std::vector<std::string>> given(1);
    std::vector<std::map<int, std::string>> entrySources(1);
    std::vector<std::string> processWide;
    static const std::map<std::string, int> textEntries = {
        {"--obligatory", 0}, {"--kind", 1}, {"--product", 2},  {"--name", 3},     {"--current", 4},
        {"--sale-open", 5},  {"--wait", 6}, {"--customer", 7}, {"--consumer", 8}, {"--time", 9}};
    static const std::set<std::string> repeatable = {"--do", "--entry"};

    auto once = [&](std::optional<std::string>& slot, const std::string& option,
                    const std::string& value) {
        if (slot)
            throw UsageError(option + " is given twice");
        if (value.empty())
            throw UsageError(option + " needs a non-empty value");
        slot = value;
        processWide.push_back(option);
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        CallOptions& call = options.calls.back();
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size())
                throw UsageError(option + " needs a value");
            return args[++i];
        };
        auto setEntry = [&](int index, kzt::Variant entry, const std::string& source) {
            const auto [it, fresh] = entrySources.back().emplace(index, source);
            if (!fresh)
                throw UsageError("entry " + std::to_string(index) + " is given twice (" + it->second
                                 + " and " + source + ")");
            call.entries[index] = std::move(entry);
        };
        const bool callOption = option.starts_with("--") && option != "--next"
                                && option != "--module" && option != "--init-sample"
                                && option != "--companion-shots" && option != "--help";
        if (callOption && !repeatable.count(option)) {
            const auto& list = given.back();
            if (std::find(list.begin(), list.end(), option) != list.end())
                throw UsageError(option + " is given twice in one call");
        }
        if (const auto it = textEntries.find(option); it != textEntries.end()) {
            setEntry(it->second, kzt::Variant(kzt::utf8ToCp1252(value())), option);
        } else if (option == "--entry") {
            const std::string& text = value();
            auto [index, entry] = parseEntry(text);
            setEntry(index, std::move(entry), "--entry " + text);
        } else if (option == "--entries") {
            call.entryCount = countArgument(option, value(), 0);
        } else if (option == "--result-size") {
            call.resultSize = countArgument(option, value(), 0);
        } else if (option == "--result-not-array") {
            call.resultNotArray = true;
        } else if (option == "--connection") {
            call.connection = value();
        } else if (option == "--connection-212") {
            call.connection212 = value();
        } else if (option == "--host-exe") {
            call.hostExe = value();
        } else if (option == "--cache-dir") {
            call.cacheDir = value();
        } else if (option == "--trace") {
            call.trace = true;
        } else if (option == "--do") {
            parseAction(value(), call);
            call.scripted = true;
        } else if (option == "--call") {
            call.routine = value();
            takeRoutineArguments(args, i, call);
        } else if (option == "--next") {
            if (given.back().empty())
                throw UsageError("--next must follow the options of a call");
            options.calls.emplace_back();
            given.emplace_back();
            entrySources.emplace_back();
        } else if (option == "--module") {
            once(options.module, option, value());
        } else if (option == "--init-sample") {
            once(options.initSample, option, value());
        } else if (option == "--force") {
            options.force = true;
        } else if (option == "--companion-shots") {
            once(options.companionShots, option, value());
        } else if (option == "--help" || option == "-h") {
            options.help = true;
            return options;
        } else {
            throw UsageError("unknown option '" + option + "'");
        }
        if (callOption)
            given.back().push_back(option);
    }
    if (options.calls.size() > 1 && given.back().empty())
        throw UsageError("--next must be followed by the options of another call");

    if (options.force && !options.initSample)
        throw UsageError("--force only goes with --init-sample");
    checkStandAloneMode(options, given, processWide);
    for (std::size_t n = 0; n < options.calls.size(); ++n) {
        const CallOptions& call = options.calls[n];
        const std::string which =
            options.calls.size() > 1 ? "call " + std::to_string(n + 1) + ": " : "";
        if (call.routine && call.scripted)
            throw UsageError(which + "--call runs a data routine and takes no --do actions");
        for (const std::string& option : given[n]) {
            if (call.routine && shapesTheDialogCall(option))
                throw UsageError(which + option
                                 + " has no effect on --call, which runs a data routine");
            if (call.resultNotArray && option == "--result-size")
                throw UsageError(which + "--result-size has no effect with --result-not-array");
        }
        if (!call.entries.empty() && call.entries.rbegin()->first >= call.entryCount)
            throw UsageError(which + "entry " + std::to_string(call.entries.rbegin()->first)
                             + " is beyond the request's " + std::to_string(call.entryCount)
                             + " entries (--entries)");
    }
    checkOneDatabase(options);
    return options;
}

std::string usageText()
{
    return "usage: kzt-station [call options] [--next call options]...\n"
           "  request: --obligatory --kind --product --name --current --sale-open --wait\n"
           "           --customer --consumer --time TEXT, --entry N=TYPE:VALUE, --entries N\n"
           "  result:  --result-size N, --result-not-array\n"
           "  host:    --connection STR, --connection-212 STR, --host-exe PATH, --trace,\n"
           "           --cache-dir DIR (the offline cache's folder; off switches it off)\n"
           "  script:  --do press:NAME | key:VK[+alt][+ctrl][+shift] | post:TEXT[,enter][,char]\n"
           "                | editor:TEXT | keypad:TEXT | search:CODE | price:TEXT | dump | "
           "shot:FILE\n"
           "  other:   --call ROUTINE ARG... (exactly the routine's arguments), --module PATH,\n"
           "           --init-sample DIR [--connection STR] [--force], --companion-shots DIR\n"
           "           (each alone)\n"
           "  Every call of one run reads the database the first call opened.\n";
}

} // namespace station
