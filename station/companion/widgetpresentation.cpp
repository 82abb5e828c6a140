#include "widgetpresentation.h"

#include "fiscalmenu.h"
#include "numerickeypad.h"
#include "searchdialog.h"
#include "texteditor.h"

#include "station/hostlib/messagebox.h"

#include <QApplication>

namespace companion {

namespace {

// Companion dialogs open over whatever modal window asked for them.
QWidget* owner() { return QApplication::activeModalWidget(); }

} // namespace

void WidgetPresentation::message(const host::MessageBoxRequest& request)
{
    host::showMessageBox(request);
}

bool WidgetPresentation::search(kzt::ClientDataSet& cds, const std::string& title)
{
    SearchDialog dialog(cds, title, owner());
    dialog.exec();
    return dialog.picked();
}

std::string WidgetPresentation::editText(const std::string& prompt, const std::string& initial)
{
    TextEditorDialog dialog(prompt, initial, owner());
    dialog.exec();
    return dialog.result();
}

std::optional<std::string> WidgetPresentation::keypad(const host::KeypadRequest& request,
                                                      const std::string& initial)
{
    (void)initial;  // the keypad starts empty: the operator types the whole new number
    NumericKeypadDialog dialog(request, owner());
    dialog.exec();
    return dialog.result();
}

void WidgetPresentation::fiscalMenu()
{
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
