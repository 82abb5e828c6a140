#pragma once

// What one call of the dialog produced besides its return: the message boxes, the errors
// that escaped event handlers, the control dumps and the trace. Texts are Windows-1252.

#include "station/app/options.h"

#include "platform/json.h"

#include "station/hostlib/presentation.h"

#include <string>
#include <utility>
#include <vector>

namespace station {

struct CallRecord {
    std::vector<host::MessageBoxRequest> messages;
    std::vector<std::string> unhandled;
    std::vector<kzt::Json> snapshots;
    std::vector<std::pair<std::string, std::vector<std::string>>> trace;
    bool leftOpen = false;
};

// The seam as the station fills it. Scripted (answers given): message boxes are recorded
// and dismissed and companion dialogs answer from the queues, a dialog with no answer left
// acting cancelled. Interactive (no answers): the touch widgets show, and message boxes
// are recorded as well.
class StationPresentation : public host::Presentation {
public:
    StationPresentation(CallRecord& record, Answers* answers);
    ~StationPresentation() override; // restores the presentation it replaced

    void message(const host::MessageBoxRequest& request) override;
    bool search(kzt::ClientDataSet& cds, const std::string& title) override;
    std::string editText(const std::string& prompt, const std::string& initial) override;
    std::optional<std::string> keypad(const host::KeypadRequest& request,
                                      const std::string& initial) override;
    void fiscalMenu() override;
    std::optional<std::string> priceAnswer() override;
    void trace(const std::string& call, const std::vector<std::string>& args) override;

private:
    CallRecord& mRecord;
    Answers* mAnswers;
    host::Presentation* mPrevious;
};

} // namespace station
