#include "texteditor.h"

#include "platform/controls.h"
#include "platform/text.h"

namespace companion {

TextEditorDialog::TextEditorDialog(const std::string& prompt, const std::string& initial,
                                   QWidget* parent)
    : TouchDialog(parent, QStringLiteral("frmEditaTexto"), 760, 600), mPrompt(prompt),
      mInitial(initial)
{
    auto* promptLabel = addLabel(this, QStringLiteral("lblPrompt"), 18);
    kzt::setBounds(promptLabel, 20, 14, 720, 28);
    promptLabel->setCaption(prompt);
    promptLabel->setVisible(!prompt.empty());

    auto* frame = new kzt::Shape(this, QStringLiteral("shpTexto"));
    frame->setKind(kzt::Shape::Kind::RoundRect);
    frame->setPen(kOrange, 2);
    frame->setBrushColor(kzt::clWhite);
    kzt::setBounds(frame, 20, 48, 720, 132);
    mTextLabel = addLabel(this, QStringLiteral("lblTexto"), 16);
    mTextLabel->setWordWrap(true);
    kzt::setBounds(mTextLabel, 30, 56, 700, 116);

    auto* keyboard = new TouchKeyboard(this, 58, 44);
    keyboard->move(20, 196);
    keyboard->onText = [this](const std::string& typed) { setText(mText + typed); };
    keyboard->onBackspace = [this] {
        if (!mText.empty())
            setText(mText.substr(0, mText.size() - 1));
    };
    keyboard->onClear = [this] { setText({}); };

    addButton(QStringLiteral("btnCancelar"), "Cancelar", Look::Secondary, 400, 538, 160, 46,
              [this] {
                  mConfirmed = false;
                  done(QDialog::Rejected);
              });
    addButton(QStringLiteral("btnConfirmar"), "Confirmar", Look::Action, 580, 538, 160, 46,
              [this] {
                  mConfirmed = true;
                  done(QDialog::Accepted);
              });
    setText(initial);
}

std::string TextEditorDialog::result() const { return mConfirmed ? mText : mInitial; }

void TextEditorDialog::setText(std::string text)
{
    mText = std::move(text);
    // A bar marks where the next key lands.
    mTextLabel->setCaption(mText + "|");
}

} // namespace companion
