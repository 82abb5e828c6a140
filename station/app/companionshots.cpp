// Pictures of the companion dialogs and the message box with sample content, for a
// headless run to show what an operator would see. Each picture is the whole screen the
// window opens on, the window where it stands, so a window that does not fit shows.
// Beside them, companion-places.json says where each window's buttons and list rows lie,
// for whoever touches them on a real screen.

#include "station/app/station.h"

#include "station/companion/fiscalmenu.h"
#include "station/companion/numerickeypad.h"
#include "station/companion/searchdialog.h"
#include "station/companion/texteditor.h"
#include "station/hostlib/messagebox.h"

#include "platform/json.h"
#include "platform/process.h"
#include "platform/text.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTableWidget>

namespace station {

namespace {

void sampleOccurrences(kzt::ClientDataSet& cds)
{
    cds.addFieldDef({"CDOCORR", kzt::FieldType::String, 2, true, kzt::utf8ToCp1252("Código")});
    cds.addFieldDef({"DSOCORR", kzt::FieldType::String, 40, true, kzt::utf8ToCp1252("Descrição")});
    cds.addFieldDef({"IDCONTROLAOBS", kzt::FieldType::String, 1, false, {}});
    cds.createDataSet();
    const char* const rows[][2] = {
        {"01", "SEM CEBOLA"}, {"02", "SEM SAL"},   {"03", "BEM PASSADO"}, {"04", "AO PONTO"},
        {"05", "SEM GELO"},   {"06", "COM LIMÃO"}, {"07", "SEM AÇÚCAR"},  {"08", "PÃO INTEGRAL"}};
    for (const auto& row : rows) {
        cds.append();
        cds.fieldByName("CDOCORR").setAsString(row[0]);
        cds.fieldByName("DSOCORR").setAsString(kzt::utf8ToCp1252(row[1]));
        cds.post();
    }
    cds.first();
}

// Longer than any frame shows at once: the end, where the operator types, must be seen.
std::string longText()
{
    std::string text;
    for (int i = 0; i < 14; ++i)
        text += " SEM CEBOLA; PÃO INTEGRAL SEM AÇÚCAR; MOLHO À PARTE;";
    return kzt::utf8ToCp1252(text);
}

bool saveOnScreen(QWidget& window, const std::string& path)
{
    const QScreen* screen = QGuiApplication::screenAt(window.geometry().center());
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return false;
    const QRect area = screen->geometry();
    QPixmap picture(area.size());
    picture.fill(QColor(48, 48, 48));
    {
        QPainter painter(&picture);
        window.render(&painter, window.geometry().topLeft() - area.topLeft());
    }
    return picture.save(QString::fromStdString(path), "PNG");
}

kzt::Json box(const QRect& rect)
{
    return {
        {"left", rect.x()}, {"top", rect.y()}, {"width", rect.width()}, {"height", rect.height()}};
}

// The window's size, its buttons and its list's rows in view, inside the window.
kzt::Json places(const QWidget& window)
{
    kzt::Json controls = kzt::Json::object();
    for (const auto* button : window.findChildren<host::TBlendedBitBtn*>()) {
        if (!button->isHidden())
            controls[button->objectName().toStdString()] =
                box({button->mapTo(&window, QPoint()), button->size()});
    }
    for (const auto* table : window.findChildren<QTableWidget*>()) {
        for (int n = 0; n < table->rowCount(); ++n) {
            const QRect row = table->visualRect(table->model()->index(n, 0));
            if (!table->viewport()->rect().contains(row))
                break;
            controls[table->objectName().toStdString() + ".row" + std::to_string(n)] =
                box({table->viewport()->mapTo(&window, QPoint(0, row.top())),
                     QSize(table->viewport()->width(), row.height())});
        }
    }
    return {{"width", window.width()}, {"height", window.height()}, {"controls", controls}};
}

// Keys are pressed on the shown window: a touch on a hidden key does nothing.
std::string draw(QWidget& window, const std::vector<QString>& keys, const std::string& dir,
                 const char* name, kzt::Json* placesOut = nullptr)
{
    window.show();
    QCoreApplication::processEvents();
    if (placesOut) // before any key changes what shows
        (*placesOut)[window.objectName().toStdString()] = places(window);
    for (const auto& key : keys) {
        if (auto* button = window.findChild<host::TBlendedBitBtn*>(key))
            button->click();
    }
    const std::string path = kzt::joinPath(dir, name);
    const bool saved = saveOnScreen(window, path);
    window.hide();
    return saved ? path : std::string();
}

} // namespace

std::vector<std::string> drawCompanionDialogs(const std::string& dir)
{
    std::vector<std::string> files;
    kzt::Json where = kzt::Json::object();
    auto keep = [&files](std::string path) {
        if (!path.empty())
            files.push_back(std::move(path));
    };

    kzt::ClientDataSet cds("cdsObs");
    sampleOccurrences(cds);
    companion::SearchDialog search(cds, kzt::utf8ToCp1252("Pesquisa de Observações"));
    keep(draw(search,
              {QStringLiteral("key_s"), QStringLiteral("key_e"), QStringLiteral("key_m"),
               QStringLiteral("keySpace"), QStringLiteral("key_a"), QStringLiteral("key_c")},
              dir, "companion-search.png", &where));

    companion::TextEditorDialog editor(kzt::utf8ToCp1252("Informe a Observação da Venda"),
                                       kzt::utf8ToCp1252(" SEM CEBOLA; "));
    keep(draw(editor, {QStringLiteral("key_b"), QStringLiteral("key_e"), QStringLiteral("key_m")},
              dir, "companion-editor.png", &where));

    companion::TextEditorDialog longEditor("", longText());
    keep(draw(longEditor,
              {QStringLiteral("keySpace"), QStringLiteral("key_f"), QStringLiteral("key_i"),
               QStringLiteral("key_m")},
              dir, "companion-editor-long.png"));

    host::KeypadRequest request;
    request.prompt = kzt::utf8ToCp1252("Informe o tempo de espera");
    request.unit = "minutos";
    request.warning = kzt::utf8ToCp1252("Número deve ser informado!");
    companion::NumericKeypadDialog keypad(request);
    keep(draw(keypad, {QStringLiteral("key_1"), QStringLiteral("key_5")}, dir,
              "companion-keypad.png", &where));

    companion::FiscalMenuDialog fiscal;
    keep(draw(fiscal, {}, dir, "companion-fiscal.png", &where));

    host::MessageBoxForm message(
        {kzt::utf8ToCp1252("Observação deve ser informada."), "", 3, "001"});
    keep(draw(message, {}, dir, "companion-message.png", &where));

    std::string failure = kzt::utf8ToCp1252("Erro ao ler a lista de ocorrências: ");
    for (int i = 0; i < 20; ++i)
        failure += kzt::utf8ToCp1252("a conexão com o servidor de banco de dados foi perdida "
                                     "durante a execução da consulta; ");
    host::MessageBoxForm longMessage({failure, "", 3, "001"});
    keep(draw(longMessage, {QStringLiteral("btnDesce")}, dir, "companion-message-long.png"));

    const std::string placesPath = kzt::joinPath(dir, "companion-places.json");
    kzt::writeFileAtomically(placesPath, where.dump(1) + "\n");
    files.push_back(placesPath);
    return files;
}

} // namespace station
