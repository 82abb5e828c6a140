// The companion dialogs as real widgets: keys clicked as a touch would, results read back.

#include "station/companion/fiscalmenu.h"
#include "station/companion/numerickeypad.h"
#include "station/companion/searchdialog.h"
#include "station/companion/texteditor.h"
#include "station/hostlib/textview.h"

#include "tests/support/fakepresentation.h"
#include "tests/support/pixels.h"

#include "platform/text.h"
#include "platform/ui/controls.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using kzt::utf8ToCp1252;

void tap(QWidget& dialog, const QString& name)
{
    auto* button = dialog.findChild<host::TBlendedBitBtn*>(name);
    ASSERT_NE(button, nullptr) << name.toStdString();
    QTest::mouseClick(button, Qt::LeftButton);
}

void tapAll(QWidget& dialog, const std::vector<const char*>& names)
{
    for (const char* name : names)
        tap(dialog, QString::fromUtf8(name));
}

std::string caption(QWidget& dialog, const char* name)
{
    auto* label = dialog.findChild<kzt::Label*>(QString::fromUtf8(name));
    return label ? label->caption() : "<no label>";
}

TEST(TextEditorWidget, TypingOnTheKeyboard)
{
    struct Case {
        const char* name;
        const char* initial;
        std::vector<const char*> keys;
        const char* finish;
        const char* expected; // UTF-8
    };
    const Case cases[] = {
        {"accents and cedilla",
         "",
         {"key_p", "key_ã", "key_o", "keySpace", "key_ç"},
         "btnConfirmar",
         "pão ç"},
        {"caps turns letters upper case, accented ones too",
         "",
         {"keyCaps", "key_ç", "key_á", "key_ô", "keyCaps", "key_à"},
         "btnConfirmar",
         "ÇÁÔà"},
        {"typing goes after the initial text",
         " SEM SAL;",
         {"keySpace", "key_x", "key_;"},
         "btnConfirmar",
         " SEM SAL; x;"},
        {"backspace takes the last character", "ab", {"keyBackspace"}, "btnConfirmar", "a"},
        {"backspace on nothing stays empty", "", {"keyBackspace", "key_1"}, "btnConfirmar", "1"},
        {"clear empties", " SEM SAL;", {"keyClear", "key_2"}, "btnConfirmar", "2"},
        {"cancel returns the initial text",
         "INICIAL",
         {"keyClear", "key_z"},
         "btnCancelar",
         "INICIAL"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        companion::TextEditorDialog editor("", utf8ToCp1252(c.initial));
        editor.show();
        tapAll(editor, c.keys);
        tap(editor, QString::fromUtf8(c.finish));
        EXPECT_FALSE(editor.isVisible());
        EXPECT_EQ(editor.result(), utf8ToCp1252(c.expected));
    }
}

TEST(TextEditorWidget, ShowsThePromptOnlyWhenGiven)
{
    const std::string prompt = utf8ToCp1252("Informe a Observação da Venda");
    companion::TextEditorDialog withPrompt(prompt, "");
    withPrompt.show();
    EXPECT_EQ(caption(withPrompt, "lblPrompt"), prompt);
    EXPECT_TRUE(withPrompt.findChild<kzt::Label*>(QStringLiteral("lblPrompt"))->isVisible());
    companion::TextEditorDialog without("", "");
    without.show();
    EXPECT_FALSE(without.findChild<kzt::Label*>(QStringLiteral("lblPrompt"))->isVisible());
}

std::string repeated(const char* utf8, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i)
        text += utf8ToCp1252(utf8);
    return text;
}

TEST(TextEditorWidget, TheLastTypedCharacterIsPaintedInsideTheTextArea)
{
    struct Case {
        const char* name;
        std::string initial;
        std::vector<const char*> steps; // keys and buttons, or "drag:DY" over the text
        const char* lastTyped;          // UTF-8
        bool scrolled;                  // the text's start has left the view
    };
    const std::string longText = repeated(" PÃO INTEGRAL SEM AÇÚCAR;", 40);
    const std::vector<Case> cases = {
        {"a short text", "", {"key_p", "key_ã", "key_o"}, "pão", false},
        {"typing at the end of a long text",
         longText,
         {"keySpace", "key_x", "key_y", "key_ç"},
         " xyç",
         true},
        {"a key after scrolling back brings the caret into view",
         longText,
         {"btnSobe", "btnSobe", "key_á"},
         "á",
         true},
        {"a key after dragging the text down", longText, {"drag:150", "key_z"}, "z", true},
        {"one word wider than the frame", repeated("W", 120), {"key_w"}, "Ww", false},
        {"the last line comes back up after backspace",
         longText + "x",
         {"keyBackspace", "keyBackspace"},
         "SEM AÇÚCAR",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        companion::TextEditorDialog editor("", c.initial);
        editor.show();
        host::TouchTextView* view = editor.textView();
        for (const char* step : c.steps) {
            const QString name = QString::fromUtf8(step);
            if (name.startsWith(QStringLiteral("drag:"))) {
                const int dy = name.mid(5).toInt();
                const QPoint from(view->width() / 2, 20);
                QTest::mousePress(view, Qt::LeftButton, {}, from);
                QTest::mouseMove(view, from + QPoint(0, dy));
                QTest::mouseRelease(view, Qt::LeftButton, {}, from + QPoint(0, dy));
                EXPECT_FALSE(view->rect().contains(view->endRect())) << "the drag moved nothing";
            } else {
                tap(editor, name);
            }
        }
        EXPECT_EQ(editor.text().substr(editor.text().size() - utf8ToCp1252(c.lastTyped).size()),
                  utf8ToCp1252(c.lastTyped));
        EXPECT_EQ(view->scrollOffset() > 0, c.scrolled);
        // Inside its frame, the caret in view and the character before it painted.
        auto* frame = editor.findChild<kzt::Shape*>(QStringLiteral("shpTexto"));
        ASSERT_NE(frame, nullptr);
        EXPECT_TRUE(frame->geometry().adjusted(2, 2, -2, -2).contains(view->geometry()));
        const QRect caret = view->endRect();
        EXPECT_TRUE(view->rect().contains(caret)) << "the caret is out of sight";
        const QImage picture = view->grab().toImage();
        EXPECT_TRUE(
            kzt::test::inkIn(picture, QRect(caret.left() - 10, caret.top(), 10, caret.height())))
            << "the last character is not painted";
        EXPECT_TRUE(kzt::test::inkIn(picture, caret)) << "no caret";
        EXPECT_FALSE(kzt::test::inkIn(picture, QRect(view->width() - 4, 0, 4, view->height())))
            << "the text runs past its margin";
    }
}

host::KeypadRequest waitingTime()
{
    host::KeypadRequest request;
    request.prompt = "Informe o tempo de espera";
    request.unit = "minutos";
    request.warning = utf8ToCp1252("Número deve ser informado!");
    request.maxDigits = 3;
    return request;
}

TEST(NumericKeypadWidget, DigitsUpToTheMaximum)
{
    struct Case {
        const char* name;
        std::vector<const char*> keys;
        const char* finish;
        std::optional<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"a fourth digit is refused", {"key_1", "key_2", "key_3", "key_4"}, "btnConfirmar", "123"},
        {"backspace", {"key_1", "keyBackspace", "key_7"}, "btnConfirmar", "7"},
        {"clear", {"key_9", "key_9", "keyClear", "key_0"}, "btnConfirmar", "0"},
        {"cancel leaves nothing", {"key_4", "key_5"}, "btnCancelar", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        kzt::test::FakePresentation fake;
        companion::NumericKeypadDialog keypad(waitingTime());
        keypad.show();
        tapAll(keypad, c.keys);
        tap(keypad, QString::fromUtf8(c.finish));
        EXPECT_FALSE(keypad.isVisible());
        EXPECT_EQ(keypad.result(), c.expected);
        EXPECT_TRUE(fake.messages.empty());
    }
}

TEST(NumericKeypadWidget, ConfirmingNothingWarnsAndStaysOpen)
{
    kzt::test::FakePresentation fake;
    companion::NumericKeypadDialog keypad(waitingTime());
    keypad.show();
    EXPECT_EQ(caption(keypad, "lblPrompt"), "Informe o tempo de espera");
    tap(keypad, QStringLiteral("btnConfirmar"));
    EXPECT_EQ(fake.messageTexts(), std::vector<std::string>{"Número deve ser informado!"});
    EXPECT_TRUE(keypad.isVisible());
    EXPECT_FALSE(keypad.result().has_value());
    tapAll(keypad, {"key_1", "key_5"});
    EXPECT_EQ(caption(keypad, "lblValor"), "15 minutos");
    tap(keypad, QStringLiteral("btnConfirmar"));
    EXPECT_EQ(keypad.result(), std::optional<std::string>("15"));
    EXPECT_EQ(fake.messages.size(), 1u);
}

void occurrences(kzt::ClientDataSet& cds)
{
    cds.addFieldDef({"CDOCORR", kzt::FieldType::String, 2, true, utf8ToCp1252("Código")});
    cds.addFieldDef({"DSOCORR", kzt::FieldType::String, 40, true, utf8ToCp1252("Descrição")});
    cds.addFieldDef({"IDCONTROLAOBS", kzt::FieldType::String, 1, false, {}});
    cds.createDataSet();
    const char* const rows[][2] = {{"01", "SEM CEBOLA"},  {"02", "PÃO SEM GLÚTEN"},
                                   {"03", "BEM PASSADO"}, {"04", "pão tostado"},
                                   {"13", "SEM AÇÚCAR"},  {"21", "PÃO INTEGRAL"}};
    for (const auto& row : rows) {
        cds.append();
        cds.fieldByName("CDOCORR").setAsString(row[0]);
        cds.fieldByName("DSOCORR").setAsString(utf8ToCp1252(row[1]));
        cds.fieldByName("IDCONTROLAOBS").setAsString("N");
        cds.post();
    }
    cds.first();
}

std::vector<std::string> shownCodes(const companion::SearchDialog& search)
{
    std::vector<std::string> codes;
    for (int row = 0; row < search.shownRows(); ++row)
        codes.push_back(search.shownCell(row, 0));
    return codes;
}

TEST(SearchWidget, ListsVisibleFieldsUnderTheirLabels)
{
    kzt::ClientDataSet cds("cdsObs");
    occurrences(cds);
    companion::SearchDialog search(cds, "");
    search.show();
    QTableWidget* table = search.table();
    ASSERT_EQ(table->columnCount(), 2);
    EXPECT_EQ(table->horizontalHeaderItem(0)->text(), QStringLiteral("Código"));
    EXPECT_EQ(table->horizontalHeaderItem(1)->text(), QStringLiteral("Descrição"));
    EXPECT_EQ(shownCodes(search), (std::vector<std::string>{"01", "02", "03", "04", "13", "21"}));
    EXPECT_EQ(search.shownCell(1, 1), utf8ToCp1252("PÃO SEM GLÚTEN"));
}

// Keys for a typed text: a blank is the space bar, anything else the key of that letter.
std::vector<std::string> keysFor(const char* utf8)
{
    std::vector<std::string> keys;
    for (const QChar c : QString::fromUtf8(utf8))
        keys.push_back(c == QLatin1Char(' ') ? "keySpace" : "key_" + QString(c).toStdString());
    return keys;
}

TEST(SearchWidget, EachTypedWordIsFoundAnywhereIgnoringCaseAndAccents)
{
    const std::vector<std::string> all = {"01", "02", "03", "04", "13", "21"};
    struct Case {
        const char* typed; // UTF-8, typed key by key
        std::vector<std::string> codes;
    };
    const std::vector<Case> cases = {
        {"sem", {"01", "02", "13"}}, // lower case finds upper case, in the list's order
        {"acucar", {"13"}},          // accents in the list are ignored
        {"pássado", {"03"}},         // and in what is typed
        {"pão", {"02", "04", "21"}},
        {"pao integ", {"21"}}, // every word, each anywhere
        {"integ pao", {"21"}}, // in any order
        {"13", {"13"}},        // codes are searched as well
        {"21 pao", {"21"}},    // one word in the code, one in the description
        {"pao zz", {}},        // a word found nowhere leaves nothing
        {"ssa", {"03"}},       // inside a word
        {"  ", all},           // blanks alone narrow nothing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        kzt::ClientDataSet cds("cdsObs");
        occurrences(cds);
        companion::SearchDialog search(cds, "");
        search.show();
        for (const std::string& key : keysFor(c.typed))
            tap(search, QString::fromStdString(key));
        EXPECT_EQ(kzt::cp1252ToUtf8(search.searchText()), c.typed);
        EXPECT_EQ(shownCodes(search), c.codes);
        EXPECT_EQ(cds.recordCount(), 6) << "the dataset itself is never narrowed";
    }
}

TEST(SearchWidget, BackspaceAndClearWidenTheListAgain)
{
    const std::vector<std::string> all = {"01", "02", "03", "04", "13", "21"};
    struct Case {
        const char* name;
        std::vector<const char*> keys;
        std::vector<std::string> codes;
    };
    const std::vector<Case> cases = {
        {"backspace", {"key_z", "key_z", "keyBackspace", "keyBackspace"}, all},
        {"clear", {"key_b", "key_e", "keyClear"}, all},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        kzt::ClientDataSet cds("cdsObs");
        occurrences(cds);
        companion::SearchDialog search(cds, "");
        search.show();
        tapAll(search, c.keys);
        EXPECT_EQ(shownCodes(search), c.codes);
    }
}

TEST(SearchWidget, TouchingARowLeavesItCurrent)
{
    kzt::ClientDataSet cds("cdsObs");
    occurrences(cds);
    companion::SearchDialog search(cds, "");
    search.show();
    tapAll(search, {"key_p", "key_a", "key_s", "key_s"});
    ASSERT_EQ(shownCodes(search), std::vector<std::string>{"03"});
    QTableWidget* table = search.table();
    const QRect cell = table->visualItemRect(table->item(0, 1));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_TRUE(search.picked());
    EXPECT_FALSE(search.isVisible());
    EXPECT_EQ(cds.fieldByName("CDOCORR").asString(), "03");
    EXPECT_FALSE(cds.filtered());
}

TEST(SearchWidget, LeavingPicksNothingAndKeepsThePosition)
{
    kzt::ClientDataSet cds("cdsObs");
    occurrences(cds);
    cds.moveTo(2);
    companion::SearchDialog search(cds, "");
    search.show();
    tapAll(search, {"key_b", "btnSair"});
    EXPECT_FALSE(search.picked());
    EXPECT_FALSE(search.isVisible());
    EXPECT_EQ(cds.recNo(), 2);
}

TEST(SearchWidget, AnEmptyOrClosedListShowsNoRows)
{
    kzt::ClientDataSet closed("cdsObs");
    companion::SearchDialog search(closed, "");
    search.show();
    EXPECT_EQ(search.shownRows(), 0);
    tapAll(search, {"key_a"});
    EXPECT_EQ(search.shownRows(), 0);
}

TEST(FiscalMenuWidget, ChoosingAReportSaysItWasRequested)
{
    const auto reports = companion::FiscalMenuDialog::reports();
    ASSERT_GE(reports.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(reports.begin(), reports.begin() + 4),
              (std::vector<std::string>{"Leitura X", "Redução Z", "Leitura da Memória Fiscal",
                                        "Espelho MFD"}));
    for (std::size_t i = 0; i < reports.size(); ++i) {
        SCOPED_TRACE(reports[i]);
        kzt::test::FakePresentation fake;
        companion::FiscalMenuDialog menu;
        menu.show();
        auto* button = menu.findChild<host::TBlendedBitBtn*>(QStringLiteral("btnRel%1").arg(i + 1));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->caption(), utf8ToCp1252(reports[i]));
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(menu.chosen(), reports[i]);
        EXPECT_FALSE(menu.isVisible());
        ASSERT_EQ(fake.messages.size(), 1u);
        EXPECT_NE(fake.messageTexts()[0].find("Relatório solicitado: " + reports[i]),
                  std::string::npos);
    }
}

TEST(FiscalMenuWidget, LeavingSaysNothing)
{
    kzt::test::FakePresentation fake;
    companion::FiscalMenuDialog menu;
    menu.show();
    tap(menu, QStringLiteral("btnSair"));
    EXPECT_TRUE(menu.chosen().empty());
    EXPECT_TRUE(fake.messages.empty());
    EXPECT_FALSE(menu.isVisible());
}

} // namespace

namespace {

TEST(SearchWidget, SaysWhereTheShownRowsStandAndWhenNoneMatch)
{
    struct Case {
        const char* name;
        const char* typed;
        std::vector<const char*> taps;
        const char* position; // UTF-8
        bool nothingFound;
    };
    const Case cases[] = {
        {"the whole list", "", {}, "1–4 de 6", false},
        {"a page down", "", {"btnDesce"}, "3–6 de 6", false},
        {"and up again", "", {"btnDesce", "btnSobe"}, "1–4 de 6", false},
        {"narrowed", "pão", {}, "1–3 de 3", false},
        {"nothing matches", "xyz", {}, "", true},
        {"widened again", "xyz", {"keyClear"}, "1–4 de 6", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        kzt::ClientDataSet cds("cdsObs");
        occurrences(cds);
        companion::SearchDialog search(cds, "");
        search.show();
        for (const std::string& key : keysFor(c.typed))
            tap(search, QString::fromStdString(key));
        tapAll(search, c.taps);
        EXPECT_EQ(kzt::cp1252ToUtf8(search.position()), c.position);
        EXPECT_EQ(search.saysNothingFound(), c.nothingFound);
    }
}

TEST(TextEditorWidget, ShowsWhatTheNoteIsForAndALatchedCaps)
{
    struct Case {
        const char* name;
        const char* prompt;
        std::vector<const char*> taps;
        const char* item; // UTF-8; empty: not shown
        bool latched;
    };
    const Case cases[] = {
        {"opened by the operator", "", {}, "Observação de: 1001 - X-BURGER", false},
        {"opened with a prompt", "Informe a Observação da Venda", {}, "", false},
        {"caps latched", "", {"keyCaps"}, "Observação de: 1001 - X-BURGER", true},
        {"caps released", "", {"keyCaps", "keyCaps"}, "Observação de: 1001 - X-BURGER", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget opener;
        auto* produto = new kzt::Label(&opener, QStringLiteral("lblProduto"));
        produto->setCaption("1001 - X-BURGER");
        companion::TextEditorDialog editor(utf8ToCp1252(c.prompt), "", &opener);
        editor.show();
        tapAll(editor, c.taps);
        auto* item = editor.findChild<kzt::Label*>(QStringLiteral("lblItem"));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->isVisible(), *c.item != '\0');
        if (*c.item != '\0') {
            EXPECT_EQ(kzt::cp1252ToUtf8(item->caption()), c.item);
        }
        auto* caps = editor.findChild<host::TBlendedBitBtn*>(QStringLiteral("keyCaps"));
        EXPECT_EQ(caps->brushColor() == companion::kOrange, c.latched);
        EXPECT_EQ(kzt::cp1252ToUtf8(caps->caption()), c.latched ? "MAIÚSC" : "Maiúsc");
    }
}

} // namespace
