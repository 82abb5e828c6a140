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

int countArgument(const std::string& option, const std::string& text, int minimum)
{
    const auto value = kzt::wholeNumber(text);
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
        const auto number = kzt::wholeNumber(value);
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
    const auto index = kzt::wholeNumber(given.substr(0, equals));
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
    try {
        host::parseScriptStep(action, call.actions, call.answers);
    } catch (const host::ScriptError& e) {
        throw UsageError("--do " + e.message());
    }
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

namespace {

// One parse of a command line: the options so far, and what each call was given, so that an
// option that would be ignored is refused (after the loop, or at once when repeated).
struct Parser {
    explicit Parser(const std::vector<std::string>& given_) : args(given_) {}

    const std::vector<std::string>& args;
    std::size_t i = 0;
    StationOptions options;
    std::vector<std::vector<std::string>> given{1};
    std::vector<std::map<int, std::string>> entrySources{1};
    std::vector<std::string> processWide;
    bool stop = false; // --help or --version: nothing else is read

    CallOptions& call() { return options.calls.back(); }

    const std::string& value(const std::string& option)
    {
        if (i + 1 >= args.size())
            throw UsageError(option + " needs a value");
        return args[++i];
    }

    void setEntry(int index, kzt::Variant entry, const std::string& source)
    {
        const auto [it, fresh] = entrySources.back().emplace(index, source);
        if (!fresh)
            throw UsageError("entry " + std::to_string(index) + " is given twice (" + it->second
                             + " and " + source + ")");
        call().entries[index] = std::move(entry);
    }

    void once(std::optional<std::string>& slot, const std::string& option, const std::string& text)
    {
        if (slot)
            throw UsageError(option + " is given twice");
        if (text.empty())
            throw UsageError(option + " needs a non-empty value");
        slot = text;
        processWide.push_back(option);
    }
};

enum class Scope {
    Call,   // belongs to the call it is given in; once a call unless repeatable
    Process // the whole run
};

struct Option {
    const char* name;
    const char* argument; // "" when the option takes none
    const char* section;
    const char* help;
    Scope scope;
    bool repeatable;
    // Gets the option's value (empty when it takes none).
    void (*handle)(Parser& p, const std::string& option, const std::string& value);
};

template <int Index>
void textEntry(Parser& p, const std::string& option, const std::string& value)
{
    p.setEntry(Index, kzt::Variant(kzt::utf8ToCp1252(value)), option);
}

constexpr const char* kRequest = "Request entries (as UTF-8 text)";
constexpr const char* kResult = "The result variant the host passes";
constexpr const char* kHost = "Host settings";
constexpr const char* kScript = "Scripted operator";
constexpr const char* kRun = "Whole run";

// The station's options: the parser, --help and the man page all read this table.
const std::vector<Option>& optionTable()
{
    static const std::vector<Option> table = {
        {"--obligatory", "TEXT", kRequest, "entry 0: \"S\" when an observation is compulsory",
         Scope::Call, false, textEntry<0>},
        {"--kind", "TEXT", kRequest, "entry 1: list kind (C, P, CP or D)", Scope::Call, false,
         textEntry<1>},
        {"--product", "TEXT", kRequest, "entry 2: product code", Scope::Call, false, textEntry<2>},
        {"--name", "TEXT", kRequest, "entry 3: product name", Scope::Call, false, textEntry<3>},
        {"--current", "TEXT", kRequest, "entry 4: the observation the item already has",
         Scope::Call, false, textEntry<4>},
        {"--sale-open", "TEXT", kRequest, "entry 5: whether a sale is open (as text)", Scope::Call,
         false, textEntry<5>},
        {"--wait", "TEXT", kRequest, "entry 6: waiting time", Scope::Call, false, textEntry<6>},
        {"--customer", "TEXT", kRequest, "entry 7: customer", Scope::Call, false, textEntry<7>},
        {"--consumer", "TEXT", kRequest, "entry 8: consumer", Scope::Call, false, textEntry<8>},
        {"--time", "TEXT", kRequest, "entry 9: time", Scope::Call, false, textEntry<9>},
        {"--entry", "N=TYPE:VALUE", kRequest,
         "entry N typed: str, int, float, bool or empty (repeatable)", Scope::Call, true,
         [](Parser& p, const std::string&, const std::string& value) {
             auto [index, entry] = parseEntry(value);
             p.setEntry(index, std::move(entry), "--entry " + value);
         }},
        {"--entries", "N", kRequest, "the request's length (default 10)", Scope::Call, false,
         [](Parser& p, const std::string& option, const std::string& value) {
             p.call().entryCount = countArgument(option, value, 0);
         }},
        {"--result-size", "N", kResult, "an array 0..N-1 of empties (default 5)", Scope::Call,
         false,
         [](Parser& p, const std::string& option, const std::string& value) {
             p.call().resultSize = countArgument(option, value, 0);
         }},
        {"--result-not-array", "", kResult, "an empty variant instead of an array", Scope::Call,
         false,
         [](Parser& p, const std::string&, const std::string&) { p.call().resultNotArray = true; }},
        {"--connection", "STR", kHost, "the store connection string for code \"\"", Scope::Call,
         false,
         [](Parser& p, const std::string&, const std::string& value) {
             p.call().connection = value;
         }},
        {"--connection-212", "STR", kHost, "the store connection string for code \"212\"",
         Scope::Call, false,
         [](Parser& p, const std::string&, const std::string& value) {
             p.call().connection212 = value;
         }},
        {"--host-exe", "PATH", kHost,
         "the host executable: its folder holds PARAMETROSQTR.CDS and store.db", Scope::Call, false,
         [](Parser& p, const std::string&, const std::string& value) { p.call().hostExe = value; }},
        {"--cache-dir", "DIR", kHost, "the offline cache's folder (off switches it off)",
         Scope::Call, false,
         [](Parser& p, const std::string&, const std::string& value) {
             p.call().cacheDir = value;
         }},
        {"--trace", "", kHost, "add every host-library and companion call to the output",
         Scope::Call, false,
         [](Parser& p, const std::string&, const std::string&) { p.call().trace = true; }},
        {"--do", "ACTION", kScript, "an operator action, in order (repeatable; actions below)",
         Scope::Call, true,
         [](Parser& p, const std::string&, const std::string& value) {
             parseAction(value, p.call());
             p.call().scripted = true;
         }},
        {"--call", "ROUTINE ARG...", kScript,
         "call one data routine with exactly its arguments instead of the dialog", Scope::Call,
         false,
         [](Parser& p, const std::string&, const std::string& value) {
             p.call().routine = value;
             takeRoutineArguments(p.args, p.i, p.call());
         }},
        {"--next", "", kRun, "start the options of another call in the same run", Scope::Process,
         true,
         [](Parser& p, const std::string&, const std::string&) {
             if (p.given.back().empty())
                 throw UsageError("--next must follow the options of a call");
             p.options.calls.emplace_back();
             p.given.emplace_back();
             p.entrySources.emplace_back();
         }},
        {"--module", "PATH", kRun, "the module library to load (default ../lib/libkzt00318.so)",
         Scope::Process, false,
         [](Parser& p, const std::string& option, const std::string& value) {
             p.once(p.options.module, option, value);
         }},
        {"--init-sample", "DIR", kRun,
         "write the sample parameter file into DIR and the sample store into --connection "
         "(default DIR/store.db), then stop",
         Scope::Process, false,
         [](Parser& p, const std::string& option, const std::string& value) {
             p.once(p.options.initSample, option, value);
         }},
        // With --init-sample, so it counts among the options of the (only) call.
        {"--force", "", kRun, "with --init-sample: replace a store already there", Scope::Call,
         false, [](Parser& p, const std::string&, const std::string&) { p.options.force = true; }},
        {"--companion-shots", "DIR", kRun,
         "save a PNG of each companion dialog into DIR, then stop", Scope::Process, false,
         [](Parser& p, const std::string& option, const std::string& value) {
             p.once(p.options.companionShots, option, value);
         }},
        {"--help", "", kRun, "print this help and stop", Scope::Process, false,
         [](Parser& p, const std::string&, const std::string&) {
             p.options.help = true;
             p.stop = true;
         }},
        {"--version", "", kRun, "print the version and stop", Scope::Process, false,
         [](Parser& p, const std::string&, const std::string&) {
             p.options.version = true;
             p.stop = true;
         }},
    };
    return table;
}

const Option* findOption(const std::string& name)
{
    const std::string full = name == "-h" ? "--help" : name;
    for (const Option& option : optionTable()) {
        if (full == option.name)
            return &option;
    }
    return nullptr;
}

void checkCalls(const StationOptions& options, const std::vector<std::vector<std::string>>& given)
{
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
}

// "  --name ARG   help", the help wrapped at 80 columns in a column of its own.
std::string helpLine(std::string head, const std::string& help)
{
    constexpr std::size_t kColumn = 26, kWidth = 80;
    head += head.size() < kColumn ? std::string(kColumn - head.size(), ' ')
                                  : "\n" + std::string(kColumn, ' ');
    std::size_t column = kColumn;
    std::size_t start = 0;
    while (start < help.size()) {
        std::size_t end = help.find(' ', start);
        if (end == std::string::npos)
            end = help.size();
        const std::string word = help.substr(start, end - start);
        if (column > kColumn && column + 1 + word.size() > kWidth) {
            head += "\n" + std::string(kColumn, ' ');
            column = kColumn;
        } else if (column > kColumn) {
            head += ' ';
            ++column;
        }
        head += word;
        column += word.size();
        start = end + 1;
    }
    return head + "\n";
}

} // namespace

StationOptions parseOptions(const std::vector<std::string>& args)
{
    Parser p(args);
    p.options.calls.emplace_back();
    for (; p.i < args.size() && !p.stop; ++p.i) {
        const std::string& name = args[p.i];
        const Option* option = findOption(name);
        if (option == nullptr)
            throw UsageError("unknown option '" + name + "'");
        if (option->scope == Scope::Call && !option->repeatable) {
            const auto& list = p.given.back();
            if (std::find(list.begin(), list.end(), option->name) != list.end())
                throw UsageError(std::string(option->name) + " is given twice in one call");
        }
        const std::string value = *option->argument ? p.value(option->name) : std::string();
        option->handle(p, option->name, value);
        if (option->scope == Scope::Call)
            p.given.back().push_back(option->name);
    }
    if (p.stop)
        return p.options;
    StationOptions& options = p.options;
    if (options.calls.size() > 1 && p.given.back().empty())
        throw UsageError("--next must be followed by the options of another call");

    if (options.force && !options.initSample)
        throw UsageError("--force only goes with --init-sample");
    checkStandAloneMode(options, p.given, p.processWide);
    checkCalls(options, p.given);
    checkOneDatabase(options);
    return options;
}

std::string versionText()
{
    return std::string("kzt-station ") + KZT_VERSION + "\n";
}

std::string usageText()
{
    std::string text =
        "Usage: kzt-station [CALL OPTIONS] [--next CALL OPTIONS]...\n"
        "  or:  kzt-station --init-sample DIR [--connection STR] [--force]\n"
        "  or:  kzt-station --companion-shots DIR\n"
        "Plays the host of the observation module: loads the module, calls Observacao\n"
        "with a request built from the options and prints what came back, one JSON line\n"
        "a call. Without --do actions the dialog waits for an operator on a display;\n"
        "with them the actions run inside the dialog in order and no display is needed.\n";
    const char* section = nullptr;
    for (const Option& option : optionTable()) {
        if (section != option.section) {
            section = option.section;
            text += std::string("\n") + section + ":\n";
        }
        std::string head = std::string("  ") + option.name;
        if (*option.argument)
            head += std::string(" ") + option.argument;
        text += helpLine(head, option.help);
    }
    text += "\nActions (--do):\n";
    const std::pair<const char*, const char*> actions[] = {
        {"press:NAME", "click the control of that name"},
        {"key:VK[+alt][+ctrl][+shift]",
         "a key going down: a number, F1..F12, ESC, ENTER, TAB, SPACE or BACK"},
        {"post:TEXT[,enter][,char]", "the dialog's PostText"},
        {"editor:TEXT", "the next text editor returns TEXT"},
        {"keypad:TEXT", "the next numeric keypad leaves TEXT"},
        {"search:CODE", "the next search list picks occurrence CODE (empty: cancel)"},
        {"price:TEXT", "the next price lookup fails with TEXT"},
        {"dump", "record every named control"},
        {"shot:FILE", "save a PNG of the dialog"}};
    for (const auto& [action, help] : actions)
        text += helpLine(std::string("  ") + action, help);
    text += "\nEvery call of one run reads the database the first call opened.\n"
            "Exit status: 0 when every call ran, 1 when the module cannot be loaded, 2 for a\n"
            "usage error.\n";
    return text;
}

} // namespace station
