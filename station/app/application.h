#pragma once

// The station's application object: like a host's, it catches the errors that escape an
// event handler, reports them and keeps the dialog open.

#include "station/app/record.h"

#include <QApplication>

namespace station {

class StationApplication : public QApplication {
    Q_OBJECT
public:
    StationApplication(int& argc, char** argv);

    // Where escaped errors go while a call runs; interactive also shows them.
    void setRecord(CallRecord* record, bool interactive);
    void reportUnhandled(const std::string& cp1252);

    bool notify(QObject* receiver, QEvent* event) override;

    static StationApplication* instance();

private:
    CallRecord* mRecord = nullptr;
    bool mInteractive = false;
};

} // namespace station
