#pragma once

// Plays scripted steps inside the modal dialog, one per event-loop pass, so the handlers a
// step triggers (activation first of all) finish before the next one.

#include "host/host_global.h"
#include "host/script.h"

#include "platform/json.h"

#include <QObject>

#include <functional>
#include <vector>

namespace kzt {
class Form;
}

namespace host {

class KZT_HOST_API ScriptRunner : public QObject {
    Q_OBJECT
public:
    // `onError` hears each step that failed (Windows-1252); the steps after it still run.
    ScriptRunner(std::vector<ScriptStep> steps, std::function<void(const std::string&)> onError);

    void start(); // before the dialog is shown; waits for it
    void stop();  // the call returned: nothing more runs

    // The steps ran out with the dialog still shown, so it was closed.
    bool leftOpen() const { return mLeftOpen; }
    // What each dump step recorded.
    const std::vector<kzt::Json>& snapshots() const { return mSnapshots; }

    // The dialog being shown: the active modal kzt::Form, or any visible one.
    static kzt::Form* shownForm();
    // Every named control of `form`: caption, visibility, enablement, bounds, and for
    // buttons their code and colour.
    static kzt::Json snapshot(const kzt::Form& form);

private:
    void step();
    void run(kzt::Form& form, const ScriptStep& step);
    void schedule(int ms);

    std::vector<ScriptStep> mSteps;
    std::function<void(const std::string&)> mOnError;
    std::vector<kzt::Json> mSnapshots;
    std::size_t mNext = 0;
    bool mStopped = false;
    bool mSettled = false; // the shown form's activation has had its turn
    bool mLeftOpen = false;
};

} // namespace host
