#include "platform/ui/controls.h"
#include "platform/ui/graphics.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QWidget>

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace kzt;

TEST(Graphics, ColourValuesAndSystemColours)
{
    struct Row {
        TColor value;
        QColor expected;
    };
    const std::vector<Row> rows = {
        {2907084, QColor(204, 91, 44)},
        {13421772, QColor(204, 204, 204)},
        {8421504, QColor(128, 128, 128)},
        {8388608, QColor(0, 0, 128)},
        {12632256, QColor(192, 192, 192)},
        {16777215, QColor(255, 255, 255)},
        {0, QColor(0, 0, 0)},
        {rgb(39, 174, 96), QColor(39, 174, 96)},
        {clWindowText, QColor(0, 0, 0)},
        {clWindow, QColor(255, 255, 255)},
        {clMenu, QColor(240, 240, 240)},
    };
    for (const auto& row : rows)
        EXPECT_EQ(toQColor(row.value), row.expected) << row.value;
}

TEST(Graphics, DesignFontsResolveToInstalledFaces)
{
    struct Row {
        FontSpec design;
        QString family;
    };
    const std::vector<Row> rows = {
        {{"Arial", 16, true, clBlack}, QStringLiteral("Liberation Sans")},
        {{"Arial", 11, false, clGray}, QStringLiteral("Liberation Sans")},
        {{"Tahoma", 21, false, clWindowText}, QStringLiteral("Liberation Sans")},
        {{"MS Sans Serif", 11, false, clMenu}, QStringLiteral("Liberation Sans")},
        {{"DejaVu Sans", 12, false, clBlack}, QStringLiteral("DejaVu Sans")},
    };
    for (const auto& row : rows) {
        const QFont font = toQFont(row.design);
        EXPECT_EQ(font.pixelSize(), row.design.height);
        EXPECT_EQ(font.bold(), row.design.bold);
        // The face really is on the machine, not a silent fallback.
        EXPECT_EQ(QFontInfo(font).family(), row.family) << row.design.name;
    }
}

TEST(Graphics, CodePageTextRoundTripsThroughQt)
{
    const std::string cp1252 = "Pre\xE7o \x80 \x93ok\x94";
    const QString text = toQString(cp1252);
    EXPECT_EQ(text, QString::fromUtf8("Preço € “ok”"));
    EXPECT_EQ(fromQString(text), cp1252);
    EXPECT_EQ(fromQString(QString::fromUtf8("π")), "?");
}

struct AutoSizeRow {
    const char* what;
    Alignment alignment;
    bool wordWrap;
    bool autoSize;
    std::string caption;
};

TEST(Label, AutoSizeFollowsItsText)
{
    const FontSpec arial11{"Arial", 11, false, clGray};
    const QFontMetrics metrics(toQFont(arial11));
    const std::vector<AutoSizeRow> rows = {
        {"right-aligned keeps its right edge", Alignment::Right, false, true,
         "F1 - Menu Fiscal - Kzt00318 longer"},
        {"left-aligned keeps its left edge", Alignment::Left, false, true, "short"},
        {"centred keeps its left edge", Alignment::Center, false, true, "a somewhat longer text"},
        {"word wrap keeps the width and grows down", Alignment::Left, true, true,
         "one two three four five six seven eight nine ten eleven twelve"},
        {"fixed size keeps the design's bounds", Alignment::Right, false, false, "anything"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        QWidget parent;
        Label label(&parent, QStringLiteral("lbl"));
        setBounds(&label, 601, 557, 138, 14);
        label.setFont(arial11);
        label.setAlignment(row.alignment);
        label.setWordWrap(row.wordWrap);
        label.setAutoSize(row.autoSize);
        EXPECT_EQ(label.geometry(), QRect(601, 557, 138, 14)); // bounds stand until a change

        label.setCaption(row.caption);
        const QRect g = label.geometry();
        const int textWidth = metrics.horizontalAdvance(toQString(row.caption));
        if (!row.autoSize) {
            EXPECT_EQ(g, QRect(601, 557, 138, 14));
        } else if (row.wordWrap) {
            EXPECT_EQ(g.left(), 601);
            EXPECT_EQ(g.width(), 138);
            EXPECT_GE(g.height(), 3 * metrics.lineSpacing());
        } else {
            // Fits its text, give or take the pixel that rounding adds.
            EXPECT_GE(g.width(), textWidth);
            EXPECT_LE(g.width(), textWidth + 1);
            EXPECT_GE(g.height(), metrics.height());
            EXPECT_LE(g.height(), metrics.height() + 1);
            if (row.alignment == Alignment::Right) {
                EXPECT_EQ(g.right(), QRect(601, 557, 138, 14).right());
            } else {
                EXPECT_EQ(g.left(), 601);
            }
        }
        EXPECT_EQ(g.top(), 557);
    }
}

TEST(Label, FontChangeResizesAnAutoSizedLabel)
{
    QWidget parent;
    Label label(&parent);
    setBounds(&label, 19, 66, 314, 19);
    label.setAutoSize(true);
    label.setFont({"Arial", 16, true, clBlack});
    label.setCaption("Tempo");
    const int small = label.width();
    label.setFont({"Arial", 32, true, clBlack});
    EXPECT_GT(label.width(), small);
    EXPECT_EQ(label.x(), 19);
}

TEST(Shape, OutlineIsDrawnInsideTheBoundsAndWidthZeroDrawsNone)
{
    struct Row {
        const char* what;
        Shape::Kind kind;
        int penWidth;
        QColor corner; // pixel (0, 0)
        QColor edge;   // pixel (1, 20): inside a 2-pixel outline
        QColor inner;  // pixel (4, 20)
    };
    const QColor orange(204, 91, 44);
    const QColor white(255, 255, 255);
    const QColor backdrop(0, 0, 255);
    const std::vector<Row> rows = {
        {"two-pixel outline", Shape::Kind::Rectangle, 2, orange, orange, white},
        {"no outline", Shape::Kind::Rectangle, 0, white, white, white},
        {"rounded: the corner is left to what lies behind", Shape::Kind::RoundRect, 0, backdrop,
         white, white},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        QWidget parent;
        Shape shape(&parent);
        setBounds(&shape, 0, 0, 80, 40);
        shape.setKind(row.kind);
        shape.setBrushColor(clWhite);
        shape.setPen(2907084, row.penWidth);
        QImage image(80, 40, QImage::Format_RGB32);
        image.fill(backdrop);
        shape.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
        EXPECT_EQ(image.pixelColor(0, 0), row.corner);
        EXPECT_EQ(image.pixelColor(1, 20), row.edge);
        EXPECT_EQ(image.pixelColor(4, 20), row.inner);
        EXPECT_EQ(image.pixelColor(79, 20), row.edge);
    }
}

} // namespace
