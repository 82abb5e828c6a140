#include "station/app/application.h"

#include "platform/db/connectionstring.h"
#include "platform/text.h"

#include <iostream>

namespace station {

StationApplication::StationApplication(int& argc, char** argv) : QApplication(argc, argv) {}

StationApplication* StationApplication::instance()
{
    return qobject_cast<StationApplication*>(QCoreApplication::instance());
}

void StationApplication::setRecord(CallRecord* record, bool interactive)
{
    mRecord = record;
    mInteractive = interactive;
}

void StationApplication::reportUnhandled(const std::string& unmasked)
{
    const std::string cp1252 = kzt::maskedSecrets(unmasked);
    if (!mRecord) {
        std::cerr << "kzt-station: unhandled error: " << kzt::cp1252ToUtf8(cp1252) << '\n';
        return;
    }
    mRecord->unhandled.push_back(cp1252);
    if (mInteractive) {
        host::MessageBoxRequest box;
        box.text = cp1252;
        box.type = 2;
        try {
            host::widgetPresentation().message(box);
        } catch (const std::exception& e) {
            std::cerr << "kzt-station: " << kzt::cp1252ToUtf8(e.what()) << '\n';
        }
    }
}

bool StationApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        reportUnhandled(e.what());
    } catch (...) {
        reportUnhandled("unknown error");
    }
    return false;
}

} // namespace station
