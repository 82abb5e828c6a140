#include "station/companion/texteditor.h"

#include "platform/text.h"
#include "platform/ui/controls.h"
#include "station/hostlib/textview.h"

namespace companion {

TextEditorDialog::TextEditorDialog(const std::string& prompt, const std::string& initial,
                                   QWidget* parent)
    : TouchDialog(parent, QStringLiteral("frmEditaTexto"), 780, 580), mPrompt(prompt),
      mInitial(initial)
{
    auto* promptLabel = addLabel(this, QStringLiteral("lblPrompt"), 18);
    kzt::setBounds(promptLabel, 20, 10, 740, 26);
    promptLabel->setCaption(prompt);
    promptLabel->setVisible(!prompt.empty());
    // Without a prompt, the item the note is for. A host knows it; this stand-in reads it from
    // the window that opened the editor.
    auto* itemLabel = addLabel(this, QStringLiteral("lblItem"), 18);
    kzt::setBounds(itemLabel, 20, 10, 740, 26);
    const auto* produto =
        parent ? parent->findChild<kzt::Label*>(QStringLiteral("lblProduto")) : nullptr;
    const bool mostraItem = prompt.empty() && produto && !produto->caption().empty();
    itemLabel->setCaption(mostraItem ? kzt::utf8ToCp1252("Observação de: ") + produto->caption()
                                     : std::string());
    itemLabel->setVisible(mostraItem);

    // The text in its frame with the scroll buttons beside it, the keyboard below, cancel
    // and confirm at the bottom right: all of it inside an 800 x 600 screen.
    auto* frame = new kzt::Shape(this, QStringLiteral("shpTexto"));
    frame->setKind(kzt::Shape::Kind::Rectangle); // square corners: no text is lost in them
    frame->setPen(kOrange, 2);
    frame->setBrushColor(kzt::clWhite);
    kzt::setBounds(frame, 20, 40, 632, 244);
    mTextView = new host::TouchTextView(this, QStringLiteral("txtTexto"));
    mTextView->setFont({"Arial", 16, true, kzt::clBlack});
    mTextView->setShowCaret(true);
    mTextView->setFollowEnd(true);
    kzt::setBounds(mTextView, 24, 44, 624, 236); // inside the frame's line

    auto* up =
        addButton(QStringLiteral("btnSobe"), "Sobe", Look::Secondary, 666, 40, 94, 117, [] {});
    auto* down =
        addButton(QStringLiteral("btnDesce"), "Desce", Look::Secondary, 666, 167, 94, 117, [] {});
    host::bindScrollButtons(mTextView, up, down);

    auto* keyboard = new TouchKeyboard(this, 52, 40);
    keyboard->move(20, 296);
    keyboard->onText = [this](const std::string& typed) { setText(mText + typed); };
    keyboard->onBackspace = [this] {
        if (!mText.empty())
            setText(mText.substr(0, mText.size() - 1));
    };
    keyboard->onClear = [this] { setText({}); };

    addButton(QStringLiteral("btnCancelar"), "Cancelar", Look::Secondary, 666, 296, 94, 130,
              [this] {
                  mConfirmed = false;
                  done(QDialog::Rejected);
              });
    addButton(QStringLiteral("btnConfirmar"), "Confirmar", Look::Action, 666, 436, 94, 130, [this] {
        mConfirmed = true;
        done(QDialog::Accepted);
    });
    setText(initial);
}

std::string TextEditorDialog::result() const
{
    return mConfirmed ? mText : mInitial;
}

void TextEditorDialog::setText(std::string text)
{
    mText = std::move(text);
    mTextView->setText(mText);
}

} // namespace companion
