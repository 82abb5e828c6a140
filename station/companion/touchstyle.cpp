#include "station/companion/touchstyle.h"

#include "platform/text.h"
#include "platform/ui/form.h"
#include "platform/ui/touchguard.h"

#include <QPainter>
#include <QPixmap>

#include <memory>

namespace companion {

namespace {

constexpr int kBorder = 4;

kzt::FontSpec buttonFont(TouchDialog::Look look, int height)
{
    kzt::FontSpec font;
    font.name = "Arial";
    font.height = height;
    font.bold = true;
    font.color = look == TouchDialog::Look::Key ? kzt::clBlack : kzt::clWhite;
    return font;
}

kzt::TColor buttonFace(TouchDialog::Look look)
{
    switch (look) {
    case TouchDialog::Look::Action: return kOrange;
    case TouchDialog::Look::Secondary: return kzt::clGray;
    case TouchDialog::Look::Key: break;
    }
    return kKeyFace;
}

} // namespace

TouchDialog::TouchDialog(QWidget* parent, const QString& name, int width, int height)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(name);
    setModal(true);
    setFixedSize(width, height);
    setAutoFillBackground(false);
}

host::TBlendedBitBtn* TouchDialog::addButton(const QString& name, const std::string& captionUtf8,
                                             Look look, int left, int top, int width, int height,
                                             std::function<void()> onClick)
{
    auto* button = new host::TBlendedBitBtn(this, name);
    button->setGeometry(left, top, width, height);
    button->setCaption(kzt::utf8ToCp1252(captionUtf8));
    button->setFont(buttonFont(look, look == Look::Key ? 18 : 16));
    button->setBrushColor(buttonFace(look));
    button->setDisabledColors(kLightGrey, kzt::clWhite);
    button->OnClick = [onClick = std::move(onClick)](QObject*) { onClick(); };
    return button;
}

host::TBlendedBitBtn* TouchDialog::button(const QString& name) const
{
    return findChild<host::TBlendedBitBtn*>(name);
}

void TouchDialog::setVisible(bool visible)
{
    // Placed before showing, so Qt's own placement over the parent does not apply.
    if (visible && !isVisible())
        kzt::centreOnScreen(*this);
    QDialog::setVisible(visible);
}

int TouchDialog::exec()
{
    const kzt::TouchGuard::Scope guard;
    return QDialog::exec();
}

void TouchDialog::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    QPen pen(kzt::toQColor(kOrange));
    pen.setWidth(kBorder);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(kBorder / 2, kBorder / 2, -kBorder / 2, -kBorder / 2));
}

void TouchDialog::reject()
{
    // Esc or a window-manager close must not end the dialog behind the buttons' back.
}

// --- keyboard -------------------------------------------------------------------------

std::vector<std::vector<std::string>> TouchKeyboard::rows()
{
    return {
        {"1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "/"},
        {"q", "w", "e", "r", "t", "y", "u", "i", "o", "p", "-"},
        {"a", "s", "d", "f", "g", "h", "j", "k", "l", "ç", ";"},
        {"z", "x", "c", "v", "b", "n", "m", ",", ".", ":", "?"},
        {"á", "é", "í", "ó", "ú", "â", "ê", "ô", "ã", "õ", "à"},
    };
}

namespace {

class KeyboardBuilder {
public:
    KeyboardBuilder(TouchKeyboard* keyboard, int keyWidth, int keyHeight)
        : mKeyboard(keyboard), mWidth(keyWidth), mHeight(keyHeight)
    {}

    host::TBlendedBitBtn* key(const QString& name, const std::string& captionUtf8, int column,
                              int row, int span, std::function<void()> onClick)
    {
        auto* button = new host::TBlendedBitBtn(mKeyboard, name);
        button->setGeometry(column * (mWidth + kGap), row * (mHeight + kGap),
                            span * mWidth + (span - 1) * kGap, mHeight);
        button->setCaption(kzt::utf8ToCp1252(captionUtf8));
        kzt::FontSpec font;
        font.name = "Arial";
        font.height = 18;
        font.bold = true;
        font.color = kzt::clBlack;
        button->setFont(font);
        button->setBrushColor(kKeyFace);
        button->OnClick = [onClick = std::move(onClick)](QObject*) { onClick(); };
        return button;
    }

    static constexpr int kGap = 6;

private:
    TouchKeyboard* mKeyboard;
    int mWidth;
    int mHeight;
};

std::string upperUtf8(const std::string& utf8)
{
    return QString::fromUtf8(utf8).toUpper().toStdString();
}

} // namespace

TouchKeyboard::TouchKeyboard(QWidget* parent, int keyWidth, int keyHeight) : QWidget(parent)
{
    setObjectName(QStringLiteral("keyboard"));
    KeyboardBuilder builder(this, keyWidth, keyHeight);
    const auto layout = rows();
    // Letters follow the caps key; the captions change with it so the operator sees what
    // a key will type.
    auto caps = std::make_shared<bool>(false);
    auto letters = std::make_shared<std::vector<std::pair<host::TBlendedBitBtn*, std::string>>>();
    int row = 0;
    for (const auto& keys : layout) {
        int column = 0;
        for (const auto& text : keys) {
            auto* button =
                builder.key(QStringLiteral("key_") + QString::fromUtf8(text), text, column++, row,
                            1, [this, caps, text] {
                                if (onText)
                                    onText(kzt::utf8ToCp1252(*caps ? upperUtf8(text) : text));
                            });
            letters->emplace_back(button, text);
        }
        ++row;
    }
    auto* capsKey = builder.key(QStringLiteral("keyCaps"), "Maiúsc", 0, row, 2, [] {});
    // Latched, the key says so: orange with white capitals, like the dialogs' action buttons.
    capsKey->OnClick = [caps, letters, capsKey](QObject*) {
        *caps = !*caps;
        for (auto& [button, text] : *letters)
            button->setCaption(kzt::utf8ToCp1252(*caps ? upperUtf8(text) : text));
        capsKey->setCaption(kzt::utf8ToCp1252(*caps ? "MAIÚSC" : "Maiúsc"));
        capsKey->setBrushColor(*caps ? kOrange : kKeyFace);
        kzt::FontSpec font = capsKey->font();
        font.color = *caps ? kzt::clWhite : kzt::clBlack;
        capsKey->setFont(font);
    };
    builder.key(QStringLiteral("keySpace"), "Espaço", 2, row, 5, [this] {
        if (onText)
            onText(" ");
    });
    builder.key(QStringLiteral("keyBackspace"), "Apagar", 7, row, 2, [this] {
        if (onBackspace)
            onBackspace();
    });
    builder.key(QStringLiteral("keyClear"), "Limpar", 9, row, 2, [this] {
        if (onClear)
            onClear();
    });
    const int columns = 11;
    setFixedSize(columns * keyWidth + (columns - 1) * KeyboardBuilder::kGap,
                 (row + 1) * keyHeight + row * KeyboardBuilder::kGap);
}

bool savePng(QWidget& widget, const QString& path)
{
    widget.ensurePolished();
    QPixmap pixmap(widget.size());
    pixmap.fill(Qt::white);
    widget.render(&pixmap);
    return pixmap.save(path, "PNG");
}

kzt::Label* addLabel(QWidget* parent, const QString& name, int height)
{
    auto* label = new kzt::Label(parent, name);
    kzt::FontSpec font;
    font.name = "Arial";
    font.height = height;
    font.bold = true;
    font.color = kzt::clBlack;
    label->setFont(font);
    return label;
}

} // namespace companion
