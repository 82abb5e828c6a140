// Every window an operator meets, opened on a till's 800 x 600 screen and on a desk's
// 1920 x 1080 one: inside the screen, centred on it, its leave and confirm buttons within
// reach.

#include "client/Cli_kzt00318.h"
#include "client/frmobservacao.h"
#include "station/companion/fiscalmenu.h"
#include "station/companion/numerickeypad.h"
#include "station/companion/searchdialog.h"
#include "station/companion/texteditor.h"
#include "station/hostlib/messagebox.h"
#include "tests/support/fakepresentation.h"

#include "platform/text.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using kzt::utf8ToCp1252;

std::string texto(const QRect& r)
{
    std::ostringstream out;
    out << r.width() << "x" << r.height() << "+" << r.x() << "+" << r.y();
    return out.str();
}

void occurrences(kzt::ClientDataSet& cds)
{
    cds.addFieldDef({"CDOCORR", kzt::FieldType::String, 2, true, utf8ToCp1252("Código")});
    cds.addFieldDef({"DSOCORR", kzt::FieldType::String, 40, true, utf8ToCp1252("Descrição")});
    cds.createDataSet();
    for (int i = 1; i <= 40; ++i) {
        cds.append();
        const std::string code = (i < 10 ? "0" : "") + std::to_string(i);
        cds.fieldByName("CDOCORR").setAsString(code);
        cds.fieldByName("DSOCORR").setAsString(utf8ToCp1252("OCORRÊNCIA ") + std::to_string(i));
        cds.post();
    }
    cds.first();
}

std::string longText(const char* piece, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i)
        text += utf8ToCp1252(piece);
    return text;
}

struct Window {
    const char* name;
    // Builds the window the way its caller does; `owner` is the window it opens over.
    std::function<std::unique_ptr<QWidget>(QWidget* owner)> open;
    std::vector<const char*> buttons; // leaving, confirming, and scrolling to reach either
};

std::vector<Window> windows(kzt::ClientDataSet& cds)
{
    return {
        // The dialog has no owner: the module opens it over whatever the host shows.
        {"observation dialog",
         [](QWidget*) { return std::make_unique<Cli_kzt00318::TfrmObservacao>(); },
         {"sbtSair", "sptConfirmar", "sbtEditaDesc", "sbtPesquisa"}},
        {"search list",
         [&cds](QWidget* owner) {
             return std::make_unique<companion::SearchDialog>(cds, std::string(), owner);
         },
         {"btnSair", "btnSobe", "btnDesce", "grdPesquisa"}},
        {"text editor holding a long text",
         [](QWidget* owner) {
             return std::make_unique<companion::TextEditorDialog>(
                 utf8ToCp1252("Informe a Observação da Venda"),
                 longText(" PÃO INTEGRAL SEM AÇÚCAR;", 40), owner);
         },
         {"btnCancelar", "btnConfirmar", "btnSobe", "btnDesce"}},
        {"numeric keypad",
         [](QWidget* owner) {
             host::KeypadRequest request;
             request.prompt = "Informe o tempo de espera";
             request.unit = "minutos";
             return std::make_unique<companion::NumericKeypadDialog>(request, owner);
         },
         {"btnCancelar", "btnConfirmar"}},
        {"fiscal menu",
         [](QWidget* owner) { return std::make_unique<companion::FiscalMenuDialog>(owner); },
         {"btnSair", "btnRel5"}},
        // The message box has no owner either, and grows with its text.
        {"message box holding a long text",
         [](QWidget*) {
             return std::make_unique<host::MessageBoxForm>(host::MessageBoxRequest{
                 longText("Falha ao ler as ocorrências do servidor de banco de dados. ", 40), "", 3,
                 "001"});
         },
         {"btnOK", "btnSobe", "btnDesce"}},
    };
}

TEST(Windows, FitTheScreenTheyOpenOnWithTheirButtonsInReach)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    ASSERT_EQ(screens.size(), 2) << "the test's screens are not configured";
    kzt::test::FakePresentation person; // no editor opens by itself
    Cli_kzt00318::boClickAutomatico = true;
    kzt::ClientDataSet cds("cdsObs");
    occurrences(cds);

    for (QScreen* screen : screens) {
        const QRect area = screen->availableGeometry();
        SCOPED_TRACE("screen " + texto(area));
        // The host's own window covers the screen, as at a till; modal, as a host's sale
        // screen is while it waits for the observation.
        QWidget host;
        host.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        host.setWindowModality(Qt::ApplicationModal);
        host.setGeometry(area);
        host.show();
        QApplication::processEvents();

        for (const Window& w : windows(cds)) {
            SCOPED_TRACE(w.name);
            std::unique_ptr<QWidget> window = w.open(&host);
            window->show();
            QApplication::processEvents();
            const QRect frame = window->frameGeometry();
            EXPECT_TRUE(area.contains(frame)) << texto(frame);
            EXPECT_LE(std::abs((frame.left() - area.left()) - (area.right() - frame.right())), 1)
                << "not centred across: " << texto(frame);
            EXPECT_LE(std::abs((frame.top() - area.top()) - (area.bottom() - frame.bottom())), 1)
                << "not centred down: " << texto(frame);
            for (const char* name : w.buttons) {
                auto* button = window->findChild<QWidget*>(QString::fromLatin1(name));
                ASSERT_NE(button, nullptr) << name;
                const QRect at(button->mapToGlobal(QPoint(0, 0)), button->size());
                EXPECT_TRUE(button->isVisible()) << name;
                EXPECT_TRUE(area.contains(at)) << name << " at " << texto(at);
                EXPECT_TRUE(frame.contains(at)) << name << " outside its window";
            }
            window->hide();
        }
    }
}

} // namespace
