// Pictures of the companion dialogs with sample content, for a headless run to show what
// an operator would see.

#include "station.h"

#include "station/companion/fiscalmenu.h"
#include "station/companion/numerickeypad.h"
#include "station/companion/searchdialog.h"
#include "station/companion/texteditor.h"

#include "platform/process.h"
#include "platform/text.h"

#include <QCoreApplication>

namespace station {

namespace {

void sampleOccurrences(kzt::ClientDataSet& cds)
{
    cds.addFieldDef({"CDOCORR", kzt::FieldType::String, 2, true, kzt::utf8ToCp1252("Código")});
    cds.addFieldDef({"DSOCORR", kzt::FieldType::String, 40, true, kzt::utf8ToCp1252("Descrição")});
    cds.addFieldDef({"IDCONTROLAOBS", kzt::FieldType::String, 1, false, {}});
    cds.createDataSet();
    const char* const rows[][2] = {{"01", "SEM CEBOLA"},  {"02", "SEM SAL"},
                                   {"03", "BEM PASSADO"}, {"04", "AO PONTO"},
                                   {"05", "SEM GELO"},    {"06", "COM LIMÃO"}};
    for (const auto& row : rows) {
        cds.append();
        cds.fieldByName("CDOCORR").setAsString(row[0]);
        cds.fieldByName("DSOCORR").setAsString(kzt::utf8ToCp1252(row[1]));
        cds.post();
    }
    cds.first();
}

// Keys are pressed on the shown dialog: a touch on a hidden key does nothing.
std::string draw(companion::TouchDialog& dialog, const std::vector<QString>& keys,
                 const std::string& dir, const char* name)
{
    dialog.show();
    QCoreApplication::processEvents();
    for (const auto& key : keys) {
        if (auto* button = dialog.findChild<host::TBlendedBitBtn*>(key))
            button->click();
    }
    const std::string path = kzt::joinPath(dir, name);
    const bool saved = companion::savePng(dialog, QString::fromStdString(path));
    dialog.hide();
    return saved ? path : std::string();
}

} // namespace

std::vector<std::string> drawCompanionDialogs(const std::string& dir)
{
    std::vector<std::string> files;
    auto keep = [&files](std::string path) {
        if (!path.empty())
            files.push_back(std::move(path));
    };

    kzt::ClientDataSet cds("cdsObs");
    sampleOccurrences(cds);
    companion::SearchDialog search(cds, kzt::utf8ToCp1252("Pesquisa de Observações"));
    keep(draw(search, {QStringLiteral("key_s"), QStringLiteral("key_e")}, dir,
              "companion-search.png"));

    companion::TextEditorDialog editor(kzt::utf8ToCp1252("Informe a Observação da Venda"),
                                       kzt::utf8ToCp1252(" SEM CEBOLA; "));
    keep(draw(editor, {QStringLiteral("key_b"), QStringLiteral("key_e"), QStringLiteral("key_m")},
              dir, "companion-editor.png"));

    host::KeypadRequest request;
    request.prompt = kzt::utf8ToCp1252("Informe o tempo de espera");
    request.unit = "minutos";
    request.warning = kzt::utf8ToCp1252("Número deve ser informado!");
    companion::NumericKeypadDialog keypad(request);
    keep(draw(keypad, {QStringLiteral("key_1"), QStringLiteral("key_5")}, dir,
              "companion-keypad.png"));

    companion::FiscalMenuDialog fiscal;
    keep(draw(fiscal, {}, dir, "companion-fiscal.png"));
    return files;
}

} // namespace station
