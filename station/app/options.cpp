#include "options.h"

#include "platform/text.h"

#include <charconv>
#include <functional>

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
        throw UsageError(option + " needs a whole number from " + std::to_string(minimum) +
                         " to " + std::to_string(kMaxEntries) + ", not '" + text + "'");
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
    throw UsageError("--entry " + given + ": unknown type '" + type +
                     "' (use str, int, float, bool or empty)");
}

void parseEntry(const std::string& given, CallOptions& call)
{
    const auto equals = given.find('=');
    const auto colon = given.find(':', equals == std::string::npos ? 0 : equals);
    if (equals == std::string::npos || colon == std::string::npos)
        throw UsageError("--entry needs N=TYPE:VALUE, not '" + given + "'");
    const auto index = toInteger(given.substr(0, equals));
    if (!index || *index < 0 || *index >= kMaxEntries)
        throw UsageError("--entry " + given + ": the index must be a whole number from 0");
    call.entries[static_cast<int>(*index)] =
        typedEntry(given.substr(equals + 1, colon - equals - 1), given.substr(colon + 1), given);
}

std::uint16_t virtualKey(const std::string& name, const std::string& action)
{
    static const std::map<std::string, std::uint16_t> names = {
        {"ESC", kzt::VK_ESCAPE}, {"ESCAPE", kzt::VK_ESCAPE}, {"ENTER", kzt::VK_RETURN},
        {"RETURN", kzt::VK_RETURN}, {"TAB", kzt::VK_TAB}, {"SPACE", kzt::VK_SPACE},
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
    throw UsageError("--do " + action + ": unknown key '" + name +
                     "' (a virtual-key number, F1..F12, ESC, ENTER, TAB, SPACE or BACK)");
}

Action keyAction(const std::string& given, const std::string& action)
{
    Action a;
    a.kind = Action::Kind::Key;
    std::size_t start = 0;
    bool first = true;
    while (start <= given.size()) {
        const auto plus = given.find('+', start);
        const std::string part = given.substr(start, plus == std::string::npos ? std::string::npos
                                                                               : plus - start);
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
            throw UsageError("--do " + action + ": unknown modifier '" + part +
                             "' (alt, ctrl or shift)");
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
            if (given.size() >= flag.size() &&
                given.compare(given.size() - flag.size(), flag.size(), flag) == 0) {
                (flag == ",enter" ? a.enter : a.asChar) = true;
                given.resize(given.size() - flag.size());
                more = true;
            }
        }
    }
    a.text = kzt::utf8ToCp1252(given);
    return a;
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
        throw UsageError("--do " + action + ": unknown action '" + verb +
                         "' (press, key, post, editor, keypad, search, price, dump, shot)");
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
    static const std::map<std::string, int> textEntries = {
        {"--obligatory", 0}, {"--kind", 1},     {"--product", 2},  {"--name", 3},
        {"--current", 4},    {"--sale-open", 5}, {"--wait", 6},    {"--customer", 7},
        {"--consumer", 8},   {"--time", 9}};

    auto once = [](std::optional<std::string>& slot, const std::string& option,
                   const std::string& value) {
        if (slot)
            throw UsageError(option + " is given twice");
        if (value.empty())
            throw UsageError(option + " needs a non-empty value");
        slot = value;
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        CallOptions& call = options.calls.back();
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size())
                throw UsageError(option + " needs a value");
            return args[++i];
        };
        if (const auto it = textEntries.find(option); it != textEntries.end()) {
            call.entries[it->second] = kzt::Variant(kzt::utf8ToCp1252(value()));
        } else if (option == "--entry") {
            parseEntry(value(), call);
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
        } else if (option == "--trace") {
            call.trace = true;
        } else if (option == "--do") {
            parseAction(value(), call);
            call.scripted = true;
        } else if (option == "--call") {
            call.routine = value();
            // The routine's arguments run to the next --next or the end.
            while (i + 1 < args.size() && args[i + 1] != "--next")
                call.routineArgs.push_back(args[++i]);
        } else if (option == "--next") {
            options.calls.emplace_back();
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
    }

    if (options.force && !options.initSample)
        throw UsageError("--force only goes with --init-sample");
    for (std::size_t n = 0; n < options.calls.size(); ++n) {
        const CallOptions& call = options.calls[n];
        const std::string which = options.calls.size() > 1 ? "call " + std::to_string(n + 1) + ": " : "";
        if (call.routine && call.scripted)
            throw UsageError(which + "--call runs a data routine and takes no --do actions");
        if (!call.entries.empty() && call.entries.rbegin()->first >= call.entryCount)
            throw UsageError(which + "entry " + std::to_string(call.entries.rbegin()->first) +
                             " is beyond the request's " + std::to_string(call.entryCount) +
                             " entries (--entries)");
    }
    return options;
}

std::string usageText()
{
    return "usage: kzt-station [call options] [--next call options]...\n"
           "  request: --obligatory --kind --product --name --current --sale-open --wait\n"
           "           --customer --consumer --time TEXT, --entry N=TYPE:VALUE, --entries N\n"
           "  result:  --result-size N, --result-not-array\n"
           "  host:    --connection STR, --connection-212 STR, --host-exe PATH, --trace\n"
           "  script:  --do press:NAME | key:VK[+alt][+ctrl][+shift] | post:TEXT[,enter][,char]\n"
           "                | editor:TEXT | keypad:TEXT | search:CODE | price:TEXT | dump | shot:FILE\n"
           "  other:   --call ROUTINE ARG..., --module PATH,\n"
           "           --init-sample DIR [--connection STR] [--force],\n"
           "           --companion-shots DIR\n";
}

} // namespace station
