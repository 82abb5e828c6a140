#include "host/blended.h"

#include "platform/ui/controls.h"
#include "platform/ui/form.h"
#include "station/hostlib/messagebox.h"
#include "station/hostlib/textview.h"
#include "tests/support/pixels.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

using host::TBlendedBitBtn;

struct ClickRow {
    const char* what;
    bool visible;
    bool enabled;
    int clicks;
};

const std::vector<ClickRow> kClickRows = {
    {"enabled and visible", true, true, 1},
    {"disabled", true, false, 0},
    {"hidden", false, true, 0},
    {"hidden and disabled", false, false, 0},
};

TEST(TBlendedBitBtn, ScriptedClickHonoursVisibleAndEnabled)
{
    std::vector<ClickRow> rows = kClickRows;
    rows.push_back({"never shown nor hidden: visible as far as the button goes", true, true, 1});
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        QWidget window; // never shown: the button's own flags decide
        TBlendedBitBtn button(&window, QStringLiteral("sbt01"));
        std::vector<QObject*> senders;
        button.OnClick = [&](QObject* sender) { senders.push_back(sender); };
        if (&row != &rows.back())
            button.setVisible(row.visible);
        button.setEnabled(row.enabled);
        button.click();
        EXPECT_EQ(static_cast<int>(senders.size()), row.clicks);
        if (!senders.empty()) {
            EXPECT_EQ(senders[0], &button);
        }
    }
}

TEST(TBlendedBitBtn, MouseClickInsideAShownButton)
{
    for (const auto& row : kClickRows) {
        SCOPED_TRACE(row.what);
        QWidget window;
        window.resize(300, 200);
        TBlendedBitBtn button(&window);
        button.setGeometry(20, 20, 130, 46);
        int clicks = 0;
        button.OnClick = [&](QObject*) { ++clicks; };
        button.setVisible(row.visible);
        button.setEnabled(row.enabled);
        window.show();
        QTest::mouseClick(&button, Qt::LeftButton, Qt::NoModifier, QPoint(65, 23));
        EXPECT_EQ(clicks, row.clicks);
        EXPECT_FALSE(button.isDown());
    }
}

TEST(TBlendedBitBtn, PressIsShownAndReleaseOutsideCancels)
{
    QWidget window;
    window.resize(300, 200);
    TBlendedBitBtn button(&window);
    button.setGeometry(20, 20, 130, 46);
    int clicks = 0;
    button.OnClick = [&](QObject*) { ++clicks; };
    window.show();

    QTest::mousePress(&button, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_TRUE(button.isDown());
    QTest::mouseRelease(&button, Qt::LeftButton, Qt::NoModifier, QPoint(200, 10));
    EXPECT_FALSE(button.isDown());
    EXPECT_EQ(clicks, 0);

    QTest::mouseClick(&button, Qt::RightButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_EQ(clicks, 0); // only the touch (left) button presses
}

TEST(TBlendedBitBtn, FaceAndTextColoursFollowItsState)
{
    const QColor orange(204, 91, 44);
    const QColor lightGrey(204, 204, 204);
    const QColor black(0, 0, 0);
    struct Row {
        const char* what;
        bool enabled;
        bool pressed;
        QColor face;
    };
    for (const Row row :
         {Row{"enabled", true, false, orange}, Row{"pressed: window text", true, true, black},
          Row{"disabled", false, false, lightGrey}}) {
        SCOPED_TRACE(row.what);
        QWidget window;
        window.resize(300, 200);
        TBlendedBitBtn button(&window);
        button.setGeometry(0, 0, 130, 46);
        button.setBrushColor(2907084);
        button.setEnabled(row.enabled);
        window.show();
        if (row.pressed)
            QTest::mousePress(&button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        const QImage image = button.grab().toImage();
        EXPECT_EQ(image.pixelColor(65, 23), row.face);
        // Rounded: a corner pixel is not the face.
        EXPECT_NE(image.pixelColor(0, 0), row.face);
        if (row.pressed)
            QTest::mouseRelease(&button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    }
}

TEST(TBlendedBitBtn, GlyphBackgroundGivesWayToTheFace)
{
    // A stored picture: alpha 0 throughout, a smoothed white ring on a flat grey background.
    QImage drawn(34, 34, QImage::Format_RGB32);
    drawn.fill(QColor(128, 128, 128));
    {
        QPainter painter(&drawn);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::white, 2.5));
        painter.drawEllipse(QPointF(17, 17), 12.3, 12.3);
    }
    QImage stored = drawn.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < 34; ++y)
        for (int x = 0; x < 34; ++x)
            stored.setPixel(x, y, stored.pixel(x, y) & 0x00FFFFFFu);
    TBlendedBitBtn button(nullptr);
    button.setGlyph(stored);
    EXPECT_EQ(qAlpha(button.glyph().pixel(0, 0)), 0); // background: see-through

    // On an orange face every pixel of the picture is the face, white, or between the two:
    // no grey of the picture's background is left round the ring.
    button.setGeometry(0, 0, 96, 66);
    button.setBrushColor(2907084);
    const QImage face = button.grab().toImage();
    const QPoint glyphAt((96 - 34) / 2, (66 - 34) / 2); // centred, no caption
    int white = 0;
    for (int y = 0; y < 34; ++y)
        for (int x = 0; x < 34; ++x) {
            const QColor c = face.pixelColor(glyphAt + QPoint(x, y));
            const double t = (c.green() - 91) / 164.0; // share of white over orange 204, 91, 44
            EXPECT_NEAR(c.red(), 204 + t * 51, 4) << x << "," << y;
            EXPECT_NEAR(c.blue(), 44 + t * 211, 4) << x << "," << y;
            white += c == QColor(Qt::white);
        }
    EXPECT_GT(white, 20) << "the ring itself is lost";
}

// Rows and columns of a rendered button where its red caption shows.
struct Ink {
    int top = -1, bottom = -1, left = -1, right = -1;
};

Ink captionInk(const QImage& image)
{
    Ink ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() - c.green() < 60)
                continue;
            if (ink.top < 0)
                ink.top = y;
            ink.bottom = y;
            ink.left = ink.left < 0 ? x : std::min(ink.left, x);
            ink.right = std::max(ink.right, x);
        }
    return ink;
}

TEST(TBlendedBitBtn, LongCaptionsWrapInsideTheFace)
{
    struct Row {
        const char* what;
        std::string caption;
        int firstLine; // the caption's first line of ink, in text lines from the top
        int lines;
    };
    const std::vector<Row> rows = {
        {"leading blanks leave an empty first line",
         std::string(19, ' ')
             + "Limpar Observa\xE7\xF5"
               "es",
         1, 3},
        {"two words wrap to two lines",
         "Limpar Observa\xE7\xF5"
         "es",
         0, 2},
        {"a short caption stays on one line", "OK", 0, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        TBlendedBitBtn button(nullptr);
        button.setGeometry(0, 0, 96, 66);
        button.setBrushColor(kzt::clGray);
        button.setFont({"Arial", 12, true, kzt::rgb(255, 0, 0)});
        button.setCaption(row.caption);
        const Ink ink = captionInk(button.grab().toImage());
        const int lineHeight = QFontMetrics(kzt::toQFont(button.font())).height();
        const int blockTop = (66 - row.lines * lineHeight) / 2;
        ASSERT_GE(ink.top, 0);
        EXPECT_GE(ink.top, blockTop + row.firstLine * lineHeight);
        EXPECT_LT(ink.top, blockTop + (row.firstLine + 1) * lineHeight);
        EXPECT_LE(ink.bottom, blockTop + row.lines * lineHeight);
        // Centred and inside the face, nothing cut at an edge.
        EXPECT_GT(ink.left, 0);
        EXPECT_LT(ink.right, 95);
        EXPECT_LE(std::abs(ink.left - (95 - ink.right)), 2);
    }
}

TEST(TBlendedBitBtn, CaptionsThatDoNotFitStepDownThenEndInAnEllipsis)
{
    const QString ellipsis(QChar(0x2026));
    struct Row {
        const char* what;
        QSize size;
        int pixels; // the designed type
        std::string caption;
        int smallest; // the type may step down to this, no further
        int largest;
        bool shortened; // ends in an ellipsis
    };
    const std::vector<Row> rows = {
        {"a caption that fits keeps its type", {130, 46}, 16, "SEM SAL", 16, 16, false},
        {"three lines too tall for a grid button",
         {130, 46},
         16,
         "ERRO NO LAN\xC7"
         "AMENTO DA VENDA",
         10,
         15,
         false},
        {"a word wider than the face", {130, 46}, 16, "DOIMPORCASTANHAS", 10, 15, false},
        {"a word too wide even in the smallest type",
         {130, 46},
         16,
         "PNEUMOULTRAMICROSCOPICOSSILICOVULCANOCONIOTICO",
         10,
         10,
         true},
        {"too many lines even in the smallest type",
         {57, 46},
         15,
         "MUITO TEXTO PARA UM BOTAO TAO PEQUENO COMO ESTE AQUI",
         10,
         10,
         true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        TBlendedBitBtn button(nullptr);
        button.setGeometry(QRect(QPoint(0, 0), row.size));
        button.setBrushColor(kzt::clGray);
        button.setFont({"Arial", row.pixels, false, kzt::rgb(255, 0, 0)});
        button.setCaption(row.caption);

        const TBlendedBitBtn::CaptionLayout layout = button.captionLayout();
        EXPECT_GE(layout.pixelSize, row.smallest);
        EXPECT_LE(layout.pixelSize, row.largest);
        ASSERT_FALSE(layout.lines.isEmpty());
        EXPECT_EQ(layout.lines.last().endsWith(ellipsis), row.shortened);
        if (!row.shortened) { // nothing of the caption is lost
            EXPECT_EQ(layout.lines.join(QString()).remove(QLatin1Char(' ')),
                      kzt::toQString(row.caption).remove(QLatin1Char(' ')));
        }
        // Inside the face: nothing cut at an edge.
        const Ink ink = captionInk(button.grab().toImage());
        ASSERT_GE(ink.top, 0);
        EXPECT_GT(ink.left, 0);
        EXPECT_LT(ink.right, row.size.width() - 1);
        EXPECT_GT(ink.top, 0);
        EXPECT_LT(ink.bottom, row.size.height() - 1);
    }
}

TEST(TMessages, MsgFindsTheTextAfterTheBar)
{
    host::TMessages messages(nullptr, QStringLiteral("msgPadrao"));
    messages.Messages = {
        "Cod_Inv|Observa\xE7\xE3o n\xE3o cadastrada.",
        "Preco_deve|Pre\xE7o do produto deve ser cadastrado.",
        "Preco_Zero|Pre\xE7o do produto deve ser maior que zero.",
        "linha sem separador",
        "Dup|first",
        "Dup|second",
        "Barra|a|b",
        "Vazio|",
    };
    struct Row {
        std::string key;
        std::string text;
    };
    const std::vector<Row> rows = {
        {"Cod_Inv", "Observa\xE7\xE3o n\xE3o cadastrada."},
        {"Preco_Zero", "Pre\xE7o do produto deve ser maior que zero."},
        {"Preco", ""},      // a prefix of a key is not the key
        {"preco_deve", ""}, // keys are exact
        {"Ausente", ""},
        {"Dup", "first"}, // the first line of a key wins
        {"Barra", "a|b"}, // the text may hold the bar itself
        {"Vazio", ""},
        {"linha sem separador", ""},
        {"", ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(messages.Msg(row.key), row.text) << row.key;
}

TEST(MessageBox, ShowsTheTextAndClosesOnOk)
{
    host::MessageBoxRequest request;
    request.text = "Observa\xE7\xE3o deve ser informada.";
    request.schema = "001";
    std::string shownText;
    std::string shownSchema;
    QTimer::singleShot(100, [&] {
        auto* box = qobject_cast<kzt::Form*>(QApplication::activeModalWidget());
        if (!box) {
            ADD_FAILURE() << "no message box shown";
            return;
        }
        shownText = box->findChild<host::TouchTextView*>(QStringLiteral("txtTexto"))->text();
        shownSchema = box->findChild<kzt::Label*>(QStringLiteral("lblEsquema"))->caption();
        auto* ok = box->findChild<TBlendedBitBtn*>(QStringLiteral("btnOK"));
        if (!ok) {
            ADD_FAILURE() << "no OK button";
            box->closeForm();
            return;
        }
        QTest::mouseClick(ok, Qt::LeftButton, Qt::NoModifier, ok->rect().center());
    });
    host::showMessageBox(request); // returns once OK is pressed
    EXPECT_EQ(shownText, request.text);
    EXPECT_EQ(shownSchema, "001");
}

TEST(MessageBox, EnterDismissesIt)
{
    bool answered = false;
    QTimer::singleShot(100, [&] {
        auto* box = qobject_cast<kzt::Form*>(QApplication::activeModalWidget());
        if (!box) {
            ADD_FAILURE() << "no message box shown";
            return;
        }
        answered = true;
        QTest::keyClick(box, Qt::Key_Return);
    });
    host::showMessageBox({"Texto", "", 3, "002"});
    EXPECT_TRUE(answered);
}

std::string repeated(const char* piece, std::size_t length)
{
    std::string text;
    while (text.size() < length)
        text += piece;
    return text.substr(0, length) + " FIM";
}

TEST(MessageBox, ALongTextIsReadToItsLastLine)
{
    struct Row {
        const char* what;
        std::string text;
        bool scrolls;
    };
    const char* const failure = "Falha de comunica\xE7\xE3o com o servidor de banco de dados. ";
    const std::vector<Row> rows = {
        {"a short text is shown at once", "Observa\xE7\xE3o deve ser informada.", false},
        {"a database error of 900 characters grows the box", repeated(failure, 900), false},
        {"a longer one scrolls inside it", repeated(failure, 3000), true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        host::MessageBoxForm box({row.text, "", 3, "001"});
        box.show();
        host::TouchTextView* view = box.textView();
        EXPECT_EQ(view->text(), row.text);
        EXPECT_TRUE(box.rect().contains(view->geometry()));
        auto* down = box.findChild<TBlendedBitBtn*>(QStringLiteral("btnDesce"));
        ASSERT_EQ(down != nullptr, row.scrolls);
        if (down) {
            EXPECT_TRUE(down->isEnabled()) << "no sign that more text follows";
            EXPECT_FALSE(view->rect().contains(view->endRect()));
            for (int taps = 0; taps < 100 && down->isEnabled(); ++taps)
                QTest::mouseClick(down, Qt::LeftButton);
            EXPECT_FALSE(down->isEnabled());
        }
        // The last line, as far as the operator can take it, is painted inside the view.
        const QRect end = view->endRect();
        EXPECT_TRUE(view->rect().contains(end));
        const QRect lastCharacter(end.left() - 12, end.top(), 12, end.height());
        EXPECT_TRUE(kzt::test::inkIn(view->grab().toImage(), lastCharacter))
            << "the end of the text is not painted";
    }
}

} // namespace
