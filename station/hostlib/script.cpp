#include "host/script.h"

#include "platform/clientdataset.h"
#include "platform/text.h"

#include <map>

namespace host {

namespace {

std::uint16_t virtualKey(const std::string& name, const std::string& step)
{
    static const std::map<std::string, std::uint16_t> names = {
        {"ESC", kzt::VK_ESCAPE},    {"ESCAPE", kzt::VK_ESCAPE}, {"ENTER", kzt::VK_RETURN},
        {"RETURN", kzt::VK_RETURN}, {"TAB", kzt::VK_TAB},       {"SPACE", kzt::VK_SPACE},
        {"BACK", kzt::VK_BACK}};
    if (const auto number = kzt::wholeNumber(name)) {
        if (*number < 1 || *number > 255)
            throw ScriptError(step + ": a virtual key is a number from 1 to 255");
        return static_cast<std::uint16_t>(*number);
    }
    const std::string upper = kzt::upperAscii(name);
    if (const auto it = names.find(upper); it != names.end())
        return it->second;
    if (upper.size() >= 2 && upper[0] == 'F') {
        const auto n = kzt::wholeNumber(upper.substr(1));
        if (n && *n >= 1 && *n <= 12)
            return static_cast<std::uint16_t>(kzt::VK_F1 + *n - 1);
    }
    throw ScriptError(step + ": unknown key '" + name
                      + "' (a virtual-key number, F1..F12, ESC, ENTER, TAB, SPACE or BACK)");
}

ScriptStep keyStep(const std::string& given, const std::string& step)
{
    ScriptStep s;
    s.kind = ScriptStep::Kind::Key;
    std::size_t start = 0;
    bool first = true;
    while (start <= given.size()) {
        const auto plus = given.find('+', start);
        const std::string part =
            given.substr(start, plus == std::string::npos ? std::string::npos : plus - start);
        if (first) {
            s.key = virtualKey(part, step);
            first = false;
        } else if (part == "alt") {
            s.shift |= kzt::ssAlt;
        } else if (part == "ctrl") {
            s.shift |= kzt::ssCtrl;
        } else if (part == "shift") {
            s.shift |= kzt::ssShift;
        } else {
            throw ScriptError(step + ": unknown modifier '" + part + "' (alt, ctrl or shift)");
        }
        if (plus == std::string::npos)
            break;
        start = plus + 1;
    }
    return s;
}

ScriptStep postStep(std::string given)
{
    ScriptStep s;
    s.kind = ScriptStep::Kind::Post;
    // Flags come last, so a text may hold commas of its own.
    for (bool more = true; more;) {
        more = false;
        for (const std::string flag : {",enter", ",char"}) {
            if (given.size() >= flag.size()
                && given.compare(given.size() - flag.size(), flag.size(), flag) == 0) {
                (flag == ",enter" ? s.enter : s.asChar) = true;
                given.resize(given.size() - flag.size());
                more = true;
            }
        }
    }
    s.text = kzt::utf8ToCp1252(given);
    return s;
}

const char* const kVerbs[] = {"press",  "key",   "post", "editor", "keypad",
                              "search", "price", "dump", "shot"};

std::string verbOf(const std::string& step)
{
    return step.substr(0, step.find(':'));
}

// Whether `piece` continues the text of the step before it rather than starting one: only
// a text may hold a comma, and a piece that names a step starts it.
bool continuesText(const std::string& before, const std::string& piece)
{
    const std::string verb = verbOf(before);
    if (verb != "post" && verb != "editor" && verb != "price")
        return false;
    const std::string next = verbOf(piece);
    for (const char* known : kVerbs) {
        if (next == known && (next == "dump" || piece.size() > next.size()))
            return false;
    }
    return true;
}

template <typename T>
std::optional<T> takeFront(std::deque<T>& queue)
{
    if (queue.empty())
        return std::nullopt;
    T front = std::move(queue.front());
    queue.pop_front();
    return front;
}

} // namespace

bool ScriptAnswers::takeSearch(kzt::ClientDataSet& cds)
{
    const auto answer = takeFront(search);
    return answer && *answer && cds.locate("CDOCORR", **answer);
}

std::string ScriptAnswers::takeEditor(const std::string& initial)
{
    return takeFront(editor).value_or(initial);
}

std::optional<std::string> ScriptAnswers::takeKeypad()
{
    return takeFront(keypad);
}

std::optional<std::string> ScriptAnswers::takePrice()
{
    return takeFront(price);
}

void parseScriptStep(const std::string& step, std::vector<ScriptStep>& steps,
                     ScriptAnswers& answers)
{
    const auto colon = step.find(':');
    const std::string verb = step.substr(0, colon);
    const std::string rest = colon == std::string::npos ? std::string() : step.substr(colon + 1);
    const bool hasArg = colon != std::string::npos;
    auto needArg = [&](const char* what) {
        if (!hasArg || rest.empty())
            throw ScriptError(step + ": " + verb + " needs " + what);
    };
    ScriptStep s;
    if (verb == "press") {
        needArg("a control name, as in press:sptConfirmar");
        s.kind = ScriptStep::Kind::Press;
        s.name = rest;
    } else if (verb == "key") {
        needArg("a key, as in key:27 or key:115+alt");
        s = keyStep(rest, step);
    } else if (verb == "post") {
        if (!hasArg)
            throw ScriptError(step + ": post needs a text, as in post:12,enter");
        s = postStep(rest);
    } else if (verb == "dump") {
        if (hasArg)
            throw ScriptError(step + ": dump takes no argument");
        s.kind = ScriptStep::Kind::Dump;
    } else if (verb == "shot") {
        needArg("a file name, as in shot:dialog.png");
        s.kind = ScriptStep::Kind::Shot;
        s.name = rest;
    } else if (verb == "editor" && hasArg) {
        answers.editor.push_back(kzt::utf8ToCp1252(rest));
        return;
    } else if (verb == "keypad" && hasArg) {
        answers.keypad.push_back(kzt::utf8ToCp1252(rest));
        return;
    } else if (verb == "search" && hasArg) {
        answers.search.push_back(rest.empty() ? std::nullopt
                                              : std::optional(kzt::utf8ToCp1252(rest)));
        return;
    } else if (verb == "price" && hasArg) {
        answers.price.push_back(kzt::utf8ToCp1252(rest));
        return;
    } else if (verb == "editor" || verb == "keypad" || verb == "search" || verb == "price") {
        throw ScriptError(step + ": " + verb + " needs ':' and its answer");
    } else {
        throw ScriptError(step + ": unknown action '" + verb
                          + "' (press, key, post, editor, keypad, search, price, dump, shot)");
    }
    s.source = step;
    steps.push_back(std::move(s));
}

Script parseScript(const std::string& steps)
{
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = steps.find(',', start);
        std::string piece = steps.substr(start, comma == std::string::npos ? comma : comma - start);
        const std::string trimmed =
            piece.substr(std::min(piece.find_first_not_of(' '), piece.size()));
        if (!pieces.empty() && continuesText(pieces.back(), trimmed))
            pieces.back() += "," + piece;
        else
            pieces.push_back(trimmed);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    Script script;
    for (const std::string& piece : pieces)
        parseScriptStep(piece, script.steps, script.answers);
    return script;
}

} // namespace host
