#include "station/companion/widgetpresentation.h"

#include "station/companion/fiscalmenu.h"
#include "station/companion/numerickeypad.h"
#include "station/companion/searchdialog.h"
#include "station/companion/texteditor.h"

#include "station/hostlib/messagebox.h"

#include "platform/error.h"
#include "platform/text.h"

#include <QApplication>
#include <QThread>

#include <iostream>

namespace companion {

namespace {

// Companion dialogs open over whatever modal window asked for them.
QWidget* owner()
{
    return QApplication::activeModalWidget();
}

// Widgets exist only inside a QApplication and on its thread; Qt ends the process for
// any other attempt.
bool widgetsUsable()
{
    QCoreApplication* app = QCoreApplication::instance();
    return qobject_cast<QApplication*>(app) != nullptr && QThread::currentThread() == app->thread();
}

void requireWidgets()
{
    if (!widgetsUsable())
        throw kzt::Error(kzt::utf8ToCp1252(
            "host library: a companion dialog was asked for with no application to show it in"));
}

} // namespace

void WidgetPresentation::message(const host::MessageBoxRequest& request)
{
    // A message that cannot be shown (the call was refused for want of a display, or came
    // from another thread) still reaches someone, instead of ending the host.
    if (!widgetsUsable()) {
        std::cerr << "kzt00318: " << kzt::cp1252ToUtf8(request.text) << std::endl;
        return;
    }
    host::showMessageBox(request);
}

bool WidgetPresentation::search(kzt::ClientDataSet& cds, const std::string& title)
{
    requireWidgets();
    SearchDialog dialog(cds, title, owner());
    dialog.exec();
    return dialog.picked();
}

std::string WidgetPresentation::editText(const std::string& prompt, const std::string& initial)
{
    requireWidgets();
    TextEditorDialog dialog(prompt, initial, owner());
    dialog.exec();
    return dialog.result();
}

std::optional<std::string> WidgetPresentation::keypad(const host::KeypadRequest& request,
                                                      const std::string& initial)
{
    requireWidgets();
    (void)initial; // the keypad starts empty: the operator types the whole new number
    NumericKeypadDialog dialog(request, owner());
    dialog.exec();
    return dialog.result();
}

void WidgetPresentation::fiscalMenu()
{
    requireWidgets();
    FiscalMenuDialog dialog(owner());
    dialog.exec();
}

} // namespace companion

namespace host {

Presentation& widgetPresentation()
{
    static companion::WidgetPresentation instance;
    return instance;
}

} // namespace host
