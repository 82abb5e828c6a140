#include "station/companion/fiscalmenu.h"

#include "station/hostlib/presentation.h"

#include "platform/text.h"
#include "platform/ui/controls.h"

namespace companion {

std::vector<std::string> FiscalMenuDialog::reports()
{
    return {"Leitura X", "Redução Z", "Leitura da Memória Fiscal", "Espelho MFD", "Arquivo MFD"};
}

std::string FiscalMenuDialog::requestedText(const std::string& reportUtf8)
{
    return kzt::utf8ToCp1252("Relatório solicitado: " + reportUtf8
                             + ". Esta estação não tem impressora fiscal.");
}

FiscalMenuDialog::FiscalMenuDialog(QWidget* parent)
    : TouchDialog(parent, QStringLiteral("frmRelFiscais"), 460, 480)
{
    auto* title = new kzt::Label(this, QStringLiteral("lblTitulo"));
    kzt::FontSpec font;
    font.name = "Arial";
    font.height = 20;
    font.bold = true;
    font.color = kzt::clBlack;
    title->setFont(font);
    kzt::setBounds(title, 20, 14, 420, 30);
    title->setCaption(kzt::utf8ToCp1252("Menu Fiscal"));

    const auto items = reports();
    int top = 56;
    int index = 1;
    for (const auto& report : items) {
        addButton(QStringLiteral("btnRel%1").arg(index++), report, Look::Action, 20, top, 420, 60,
                  [this, report] {
                      mChosen = report;
                      host::MessageBoxRequest told;
                      told.text = requestedText(report);
                      told.type = 0;
                      host::presentation().message(told);
                      done(QDialog::Accepted);
                  });
        top += 68;
    }
    addButton(QStringLiteral("btnSair"), "Sair", Look::Secondary, 280, top + 8, 160, 52,
              [this] { done(QDialog::Rejected); });
}

} // namespace companion
