#include "station/hostlib/presentation.h"

#include "station/hostlib/tracing.h"

#include "platform/db/connectionstring.h"
#include "platform/error.h"

namespace host {

// The widget presentation is built in the companion part of this library; the weak
// reference keeps programs linking while that part is absent, and a call then fails
// loudly instead of jumping to nowhere.
Presentation& widgetPresentation() __attribute__((weak));

namespace {
Presentation* gInstalled = nullptr;
} // namespace

Presentation::~Presentation() = default;

Presentation& presentation()
{
    if (gInstalled)
        return *gInstalled;
    if (!&widgetPresentation)
        throw kzt::Error(
            "host library: no presentation installed and no widget presentation built in");
    return widgetPresentation();
}

Presentation* setPresentation(Presentation* p)
{
    Presentation* previous = gInstalled;
    gInstalled = p;
    return previous;
}

void traceCall(const std::string& call, const std::vector<std::string>& args)
{
    // A trace may be printed or kept: no connection string's secret goes into it.
    std::vector<std::string> masked;
    masked.reserve(args.size());
    for (const auto& arg : args)
        masked.push_back(kzt::maskedSecrets(arg));
    if (gInstalled)
        gInstalled->trace(call, masked);
    else if (&widgetPresentation)
        widgetPresentation().trace(call, masked);
}

} // namespace host
