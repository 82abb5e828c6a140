#include "station/hostlib/messagebox.h"

#include "host/blended.h"
#include "platform/controls.h"
#include "platform/form.h"
#include "platform/text.h"

namespace host {

namespace {

constexpr kzt::TColor kOrange = kzt::rgb(204, 91, 44);
constexpr int kWidth = 520;
constexpr int kHeight = 300;
constexpr int kPad = 24;

kzt::Label* addLabel(kzt::Form& box, const QString& name, const std::string& caption,
                     const kzt::FontSpec& font, const QRect& bounds)
{
    auto* label = new kzt::Label(&box, name);  // owned by the box
    kzt::setBounds(label, bounds.x(), bounds.y(), bounds.width(), bounds.height());
    label->setFont(font);
    label->setWordWrap(true);
    label->setAlignment(kzt::Alignment::Center);
    label->setCaption(caption);
    return label;
}

} // namespace

void showMessageBox(const MessageBoxRequest& request)
{
    kzt::Form box;
    box.setObjectName(QStringLiteral("frmMensagem"));
    box.setClientSize(kWidth, kHeight);
    box.setCaption(request.title.empty() ? kzt::utf8ToCp1252("Atenção") : request.title);

    auto* border = new kzt::Shape(&box, QStringLiteral("blsBorda"));  // owned by the box
    kzt::setBounds(border, 0, 0, kWidth, kHeight);
    border->setBrushColor(kzt::clWhite);
    border->setPen(kOrange, 2);

    int top = kPad;
    if (!request.title.empty()) {
        addLabel(box, QStringLiteral("lblTitulo"), request.title,
                 {"Arial", 16, true, kOrange}, QRect(kPad, top, kWidth - 2 * kPad, 24));
        top += 32;
    }
    addLabel(box, QStringLiteral("lblTexto"), request.text, {"Arial", 18, true, kzt::clBlack},
             QRect(kPad, top, kWidth - 2 * kPad, 190 - top));

    auto* schema = new kzt::Label(&box, QStringLiteral("lblEsquema"));  // owned by the box
    kzt::setBounds(schema, kWidth - 120, kHeight - 22, 110, 14);
    schema->setFont({"Arial", 11, false, kzt::clGray});
    schema->setAlignment(kzt::Alignment::Right);
    schema->setCaption(request.schema);

    auto* ok = new TBlendedBitBtn(&box, QStringLiteral("btnOK"));  // owned by the box
    ok->setGeometry((kWidth - 180) / 2, 206, 180, 66);
    ok->setBrushColor(kOrange);
    ok->setFont({"Arial", 24, true, kzt::clWhite});
    ok->setCaption("OK");
    ok->OnClick = [&box](QObject*) { box.closeForm(); };

    box.onKeyDown = [&box](QObject*, std::uint16_t& key, kzt::ShiftState) {
        if (key == kzt::VK_RETURN || key == kzt::VK_ESCAPE || key == kzt::VK_SPACE)
            box.closeForm();
    };
    box.showModal();
}

} // namespace host
