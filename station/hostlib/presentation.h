#pragma once

// The one seam every presentation of the host library and the companion package goes
// through: message boxes, the search list, the text editor, the numeric keypad and the
// fiscal menu, plus the price lookup's answer. The station's interactive mode installs
// the touch widgets (WidgetPresentation); its scripted mode and the tests install their
// own, so nothing ever waits on a window nobody answers.

#include "host/host_global.h"
#include "host/settings.h"

#include "platform/clientdataset.h"

#include <optional>
#include <string>
#include <vector>

namespace kzt {
class Connection;
}

namespace host {

struct MessageBoxRequest {
    std::string text; // Windows-1252
    std::string title;
    int type = 3;
    std::string schema; // the schema identifier
};

struct KeypadRequest {
    std::string prompt;
    std::string unit;
    std::string warning; // shown when confirming with no number
    int maxDigits = 3;
};

class KZT_HOST_API Presentation {
public:
    virtual ~Presentation();

    virtual void message(const MessageBoxRequest& request) = 0;
    // true with the chosen row current in `cds`; false when left.
    virtual bool search(kzt::ClientDataSet& cds, const std::string& title) = 0;
    // The edited text; `initial` when cancelled.
    virtual std::string editText(const std::string& prompt, const std::string& initial) = 0;
    // The number typed as text, or nullopt when cancelled.
    virtual std::optional<std::string> keypad(const KeypadRequest& request,
                                              const std::string& initial) = 0;
    virtual void fiscalMenu() = 0;
    // A failure text to answer the next price lookup with instead of reading the
    // database; nullopt reads the database.
    virtual std::optional<std::string> priceAnswer() { return std::nullopt; }
    // Every host-library and companion call, with its arguments as Windows-1252 text
    // (variants as their text, packets as "<packet>", no dataset as "nil"), for --trace.
    virtual void trace(const std::string& call, const std::vector<std::string>& args)
    {
        (void)call;
        (void)args;
    }
};

// The touch widgets (station/companion): what an operator sees.
KZT_HOST_API Presentation& widgetPresentation();

// The installed presentation; the widget one when none was installed.
KZT_HOST_API Presentation& presentation();
// Installs `p` (not owned; nullptr restores the widget presentation). Returns the previous.
KZT_HOST_API Presentation* setPresentation(Presentation* p);

// The connection the module last prepared with SetADODBSession, while it exists; null
// before that. The price lookup reads from it, so it uses the store the module chose.
KZT_HOST_API kzt::Connection* preparedSession();

} // namespace host
