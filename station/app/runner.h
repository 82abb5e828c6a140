#pragma once

// Runs the scripted operator actions inside the modal dialog, one per event-loop pass, so
// the handlers an action triggers (activation first of all) finish before the next one.

#include "station/app/options.h"
#include "station/app/record.h"

#include "platform/json.h"

#include <QObject>

#include <vector>

namespace kzt {
class Form;
}

namespace station {

class ActionRunner : public QObject {
    Q_OBJECT
public:
    ActionRunner(CallRecord& record, std::vector<Action> actions);

    void start(); // before the dialog is shown; waits for it
    void stop();  // the call returned: nothing more runs

    // The dialog being shown: the active modal kzt::Form, or any visible one.
    static kzt::Form* shownForm();
    // Every named control of `form`: caption, visibility, enablement, bounds, and for
    // buttons their code and colour.
    static kzt::Json snapshot(const kzt::Form& form);

private:
    void step();
    void run(kzt::Form& form, const Action& action);
    void schedule(int ms);

    CallRecord& mRecord;
    std::vector<Action> mActions;
    std::size_t mNext = 0;
    bool mStopped = false;
    bool mSettled = false; // the shown form's activation has had its turn
};

} // namespace station
