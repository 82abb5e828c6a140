#include "station/companion/numerickeypad.h"

#include "platform/ui/controls.h"

namespace companion {

namespace {

constexpr int kKey = 84;
constexpr int kGap = 8;
constexpr int kLeft = (340 - 3 * kKey - 2 * kGap) / 2; // centred
constexpr int kTop = 120;

} // namespace

NumericKeypadDialog::NumericKeypadDialog(const host::KeypadRequest& request, QWidget* parent)
    : TouchDialog(parent, QStringLiteral("frmTecladoNumerico"), 340, 580), mRequest(request)
{
    auto* promptLabel = addLabel(this, QStringLiteral("lblPrompt"), 16);
    promptLabel->setWordWrap(true);
    kzt::setBounds(promptLabel, 20, 12, 300, 44);
    promptLabel->setCaption(request.prompt);

    auto* frame = new kzt::Shape(this, QStringLiteral("shpValor"));
    frame->setKind(kzt::Shape::Kind::RoundRect);
    frame->setPen(kOrange, 2);
    kzt::setBounds(frame, 20, 60, 300, 48);
    mValueLabel = addLabel(this, QStringLiteral("lblValor"), 24);
    kzt::setBounds(mValueLabel, 32, 68, 276, 32);

    // 7 8 9 / 4 5 6 / 1 2 3 / Limpar 0 Apagar, as a till's keypad reads.
    const char* const layout[4][3] = {
        {"7", "8", "9"}, {"4", "5", "6"}, {"1", "2", "3"}, {"C", "0", "<"}};
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 3; ++column) {
            const std::string key = layout[row][column];
            const int left = kLeft + column * (kKey + kGap);
            const int top = kTop + row * (kKey + kGap);
            if (key == "C") {
                addButton(QStringLiteral("keyClear"), "Limpar", Look::Secondary, left, top, kKey,
                          kKey, [this] { setDigits({}); });
            } else if (key == "<") {
                addButton(QStringLiteral("keyBackspace"), "Apagar", Look::Secondary, left, top,
                          kKey, kKey, [this] {
                              if (!mDigits.empty())
                                  setDigits(mDigits.substr(0, mDigits.size() - 1));
                          });
            } else {
                addButton(QStringLiteral("key_") + QString::fromStdString(key), key, Look::Key,
                          left, top, kKey, kKey, [this, key] {
                              if (static_cast<int>(mDigits.size()) < digitLimit())
                                  setDigits(mDigits + key);
                          });
            }
        }
    }
    addButton(QStringLiteral("btnCancelar"), "Cancelar", Look::Secondary, 20, 510, 140, 52, [this] {
        mResult.reset();
        done(QDialog::Rejected);
    });
    addButton(QStringLiteral("btnConfirmar"), "Confirmar", Look::Action, 180, 510, 140, 52,
              [this] { confirm(); });
    setDigits({});
}

void NumericKeypadDialog::setDigits(std::string digits)
{
    mDigits = std::move(digits);
    std::string shown = mDigits.empty() ? std::string() : mDigits;
    if (!mRequest.unit.empty())
        shown += (shown.empty() ? "" : " ") + mRequest.unit;
    mValueLabel->setCaption(shown);
}

int NumericKeypadDialog::digitLimit() const
{
    // No limit given would leave a keypad that types nothing; an int's nine digits then.
    return mRequest.maxDigits > 0 ? mRequest.maxDigits : 9;
}

void NumericKeypadDialog::confirm()
{
    if (mDigits.empty()) {
        host::MessageBoxRequest warning;
        warning.text = mRequest.warning;
        warning.type = 3;
        host::presentation().message(warning);
        return;
    }
    mResult = mDigits;
    done(QDialog::Accepted);
}

} // namespace companion
