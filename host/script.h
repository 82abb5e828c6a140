#pragma once

// Scripted operator steps, as the station's --do takes them and a host's tests give them in
// KZT_SCRIPT, and one dialog call recorded (and played) through the host library's
// presentation seam. The station and the module share these, so both read a script alike.

#include "host/host_global.h"

#include "platform/error.h"
#include "platform/ui/keys.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kzt {
class ClientDataSet;
}

namespace host {

// A step that cannot be read; the message names the step and what is wrong (UTF-8).
class KZT_HOST_API ScriptError : public kzt::Error {
public:
    using Error::Error;
};

// A step that runs in the dialog once it is shown.
struct ScriptStep {
    enum class Kind { Press, Key, Post, Dump, Shot };
    Kind kind = Kind::Dump;
    std::string name;          // press: the control; shot: the file
    std::uint16_t key = 0;     // key: the virtual-key code
    kzt::ShiftState shift = 0; // key: the modifiers
    std::string text;          // post: Windows-1252
    bool enter = false;        // post
    bool asChar = false;       // post
    std::string source;        // the step as written, for messages
};

// Companion dialog answers, one queue a kind, taken front first (Windows-1252). With none
// left a dialog acts as cancelled.
struct KZT_HOST_API ScriptAnswers {
    std::deque<std::string> editor;
    std::deque<std::string> keypad;
    std::deque<std::optional<std::string>> search; // nullopt: the operator cancels
    std::deque<std::string> price;

    // true with the row of the next code current in `cds`.
    bool takeSearch(kzt::ClientDataSet& cds);
    // The next edited text, else `initial`.
    std::string takeEditor(const std::string& initial);
    std::optional<std::string> takeKeypad();
    std::optional<std::string> takePrice();
};

struct Script {
    std::vector<ScriptStep> steps;
    ScriptAnswers answers;
};

// Reads one step: answers go to `answers`, the rest to `steps`. Raises ScriptError.
KZT_HOST_API void parseScriptStep(const std::string& step, std::vector<ScriptStep>& steps,
                                  ScriptAnswers& answers);

// Steps separated by commas. In the text of post:, editor: or price:, a comma followed by
// something that is not a step stays in the text, so "post:1,5,enter" and "editor:SEM SAL,
// SEM GELO" are one step each; blanks before a step are ignored. Raises ScriptError.
KZT_HOST_API Script parseScript(const std::string& steps);

struct ShownMessage {
    std::string text; // Windows-1252
    int type = 0;
};

// One dialog call as a host sees it, from construction to destruction: every message the
// host library shows is recorded (and still shown). With a script, the steps play in the
// dialog once it is shown, message boxes are dismissed, companion dialogs answer from the
// script, and when the steps run out with the dialog still up it is closed as a host
// closes it on shutdown. Needs the application the dialog runs in.
class KZT_HOST_API CallRecorder {
public:
    explicit CallRecorder(std::optional<Script> script);
    ~CallRecorder();
    CallRecorder(const CallRecorder&) = delete;
    CallRecorder& operator=(const CallRecorder&) = delete;

    // The call returned: no step runs after this.
    void finish();

    const std::vector<ShownMessage>& messages() const;
    // Steps that failed ("press:sbt99: the dialog has no button named 'sbt99'"), UTF-8.
    const std::vector<std::string>& stepErrors() const;
    // The steps ran out with the dialog still shown.
    bool leftOpen() const;

private:
    struct Impl;
    std::unique_ptr<Impl> mImpl;
};

} // namespace host
