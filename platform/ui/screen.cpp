#include "platform/ui/screen.h"

#include <QApplication>
#include <QCursor>

namespace kzt {

namespace {
int gCursor = crDefault;
bool gBusyShown = false; // one override cursor at most, however often busy is set
} // namespace

void setScreenCursor(int cursor)
{
    gCursor = cursor;
    const bool busy = cursor == crHourGlass;
    if (busy == gBusyShown || !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    if (busy)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QGuiApplication::restoreOverrideCursor();
    gBusyShown = busy;
}

int screenCursor()
{
    return gCursor;
}

} // namespace kzt
