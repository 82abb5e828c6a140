#pragma once

// The person at the till, for tests: installs itself as the presentation seam, records
// every message box and answers companion dialogs from queues.

#include "station/hostlib/presentation.h"

#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kzt::test {

class FakePresentation : public host::Presentation {
public:
    FakePresentation();           // installs itself
    ~FakePresentation() override; // restores the presentation it replaced

    // Answers, each taken once, front first. With none left a dialog acts as cancelled:
    // the search returns false, the editor its initial text, the keypad nullopt.
    std::deque<std::optional<std::string>> searchAnswers; // CDOCORR to pick; nullopt cancels
    std::deque<std::string> editorAnswers;
    std::deque<std::optional<std::string>> keypadAnswers;
    std::deque<std::string> priceAnswers; // failure texts

    // What the module showed or asked.
    std::vector<host::MessageBoxRequest> messages;
    std::vector<std::string> messageTexts() const;                // the texts alone, as UTF-8
    std::vector<std::pair<std::string, std::string>> editorCalls; // prompt, initial text
    std::vector<host::KeypadRequest> keypadCalls;
    int searchCalls = 0;
    int fiscalMenuCalls = 0;
    std::vector<std::pair<std::string, std::vector<std::string>>> traced;

    void message(const host::MessageBoxRequest& request) override;
    bool search(kzt::ClientDataSet& cds, const std::string& title) override;
    std::string editText(const std::string& prompt, const std::string& initial) override;
    std::optional<std::string> keypad(const host::KeypadRequest& request,
                                      const std::string& initial) override;
    void fiscalMenu() override;
    std::optional<std::string> priceAnswer() override;
    void trace(const std::string& call, const std::vector<std::string>& args) override;

private:
    host::Presentation* mPrevious;
};

} // namespace kzt::test
