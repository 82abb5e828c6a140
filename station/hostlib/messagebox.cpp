#include "station/hostlib/messagebox.h"

#include "host/blended.h"
#include "platform/text.h"
#include "platform/ui/controls.h"
#include "station/hostlib/textview.h"

#include <algorithm>

namespace host {

namespace {

constexpr kzt::TColor kOrange = kzt::rgb(204, 91, 44);
constexpr int kWidth = 600;
constexpr int kMinHeight = 300;
constexpr int kMaxHeight = 560; // inside an 800 x 600 screen with room to spare
constexpr int kPad = 24;
constexpr int kOkWidth = 180;
constexpr int kOkHeight = 66;
constexpr int kBelowText = 16 + kOkHeight + 28; // gap, OK button, schema line
constexpr int kScrollWidth = 72;
constexpr int kScrollGap = 8;

TBlendedBitBtn* addButton(kzt::Form& box, const QString& name, const char* caption, int height,
                          kzt::TColor face)
{
    auto* button = new TBlendedBitBtn(&box, name); // owned by the box
    button->setBrushColor(face);
    button->setFont({"Arial", height, true, kzt::clWhite});
    button->setDisabledColors(kzt::rgb(204, 204, 204), kzt::clWhite);
    button->setCaption(caption);
    return button;
}

} // namespace

MessageBoxForm::MessageBoxForm(const MessageBoxRequest& request, QWidget* parent)
    : kzt::Form(parent)
{
    setObjectName(QStringLiteral("frmMensagem"));
    setCaption(request.title.empty() ? kzt::utf8ToCp1252("Atenção") : request.title);

    auto* border = new kzt::Shape(this, QStringLiteral("blsBorda")); // owned by the box
    border->setBrushColor(kzt::clWhite);
    border->setPen(kOrange, 2);

    int top = kPad;
    if (!request.title.empty()) {
        auto* title = new kzt::Label(this, QStringLiteral("lblTitulo")); // owned by the box
        kzt::setBounds(title, kPad, top, kWidth - 2 * kPad, 24);
        title->setFont({"Arial", 16, true, kOrange});
        title->setAlignment(kzt::Alignment::Center);
        title->setCaption(request.title);
        top += 32;
    }

    // The text decides the height: a short one keeps the usual box, a longer one grows
    // it, and one longer than the tallest box scrolls beside its buttons.
    mText = new TouchTextView(this, QStringLiteral("txtTexto")); // owned by the box
    mText->setFont({"Arial", 18, true, kzt::clBlack});
    mText->setCentred(true);
    const int textWidth = kWidth - 2 * kPad;
    mText->setGeometry(kPad, top, textWidth, 1);
    mText->setText(request.text);
    const int room = kMaxHeight - kBelowText - top;
    const bool scrolls = mText->contentHeight() > room;
    const int textHeight =
        scrolls ? room : std::max(mText->contentHeight(), kMinHeight - kBelowText - top);
    if (scrolls)
        mText->setGeometry(kPad, top, textWidth - kScrollWidth - kScrollGap, room);
    else // a short text stands in the middle of its room
        mText->setGeometry(kPad, top + (textHeight - mText->contentHeight()) / 2, textWidth,
                           mText->contentHeight());
    const int height = top + textHeight + kBelowText;
    setClientSize(kWidth, height);
    kzt::setBounds(border, 0, 0, kWidth, height);

    if (scrolls) {
        const int left = kWidth - kPad - kScrollWidth;
        const int half = (textHeight - kScrollGap) / 2;
        auto* up = addButton(*this, QStringLiteral("btnSobe"), "Sobe", 16, kzt::clGray);
        up->setGeometry(left, top, kScrollWidth, half);
        auto* down = addButton(*this, QStringLiteral("btnDesce"), "Desce", 16, kzt::clGray);
        down->setGeometry(left, top + textHeight - half, kScrollWidth, half);
        bindScrollButtons(mText, up, down);
    }

    auto* schema = new kzt::Label(this, QStringLiteral("lblEsquema")); // owned by the box
    kzt::setBounds(schema, kWidth - 120, height - 22, 110, 14);
    schema->setFont({"Arial", 11, false, kzt::clGray});
    schema->setAlignment(kzt::Alignment::Right);
    schema->setCaption(request.schema);

    auto* ok = addButton(*this, QStringLiteral("btnOK"), "OK", 24, kOrange);
    ok->setGeometry((kWidth - kOkWidth) / 2, top + textHeight + 16, kOkWidth, kOkHeight);
    ok->OnClick = [this](QObject*) { closeForm(); };

    onKeyDown = [this](QObject*, std::uint16_t& key, kzt::ShiftState) {
        switch (key) {
        case kzt::VK_RETURN:
        case kzt::VK_ESCAPE:
        case kzt::VK_SPACE: closeForm(); break;
        case kzt::VK_PRIOR:
        case kzt::VK_UP: mText->scrollPage(-1); break;
        case kzt::VK_NEXT:
        case kzt::VK_DOWN: mText->scrollPage(1); break;
        default: break;
        }
    };
}

void showMessageBox(const MessageBoxRequest& request)
{
    MessageBoxForm box(request);
    box.showModal();
}

} // namespace host
