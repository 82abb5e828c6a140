#pragma once

// The companion dialogs' shared look: a white frameless window inside an orange border,
// big rounded buttons in Arial bold, and the on-screen keyboard they type with.

#include "host/blended.h"
#include "host/host_global.h"
#include "platform/ui/controls.h"

#include <QDialog>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

namespace companion {

constexpr kzt::TColor kOrange = kzt::rgb(204, 91, 44);
constexpr kzt::TColor kLightGrey = kzt::rgb(204, 204, 204);
constexpr kzt::TColor kKeyFace = kzt::rgb(236, 236, 236);

// A white, frameless, modal dialog of a fixed size with the orange border painted round it,
// centred on the screen it opens on. Every dialog fits an 800 x 600 screen.
class KZT_HOST_API TouchDialog : public QDialog {
    Q_OBJECT
public:
    TouchDialog(QWidget* parent, const QString& name, int width, int height);

    // A big rounded button: orange with white text for actions, light with black text for keys.
    enum class Look { Action, Secondary, Key };
    host::TBlendedBitBtn* addButton(const QString& name, const std::string& captionUtf8, Look look,
                                    int left, int top, int width, int height,
                                    std::function<void()> onClick);
    // The child button of that object name, or nullptr.
    host::TBlendedBitBtn* button(const QString& name) const;

    void setVisible(bool visible) override;
    // Shown modally with the touch guard on: a second tap on the button that closes it
    // must not land on the window behind.
    int exec() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void reject() override; // only the dialog's own buttons end it
};

// The on-screen keyboard: Portuguese letter layout with ç and the accented vowels, digits,
// backspace, space and clear. Each key reports through the callbacks; keys are named
// "key_<text>" (UTF-8), "keyBackspace", "keySpace" and "keyClear".
class KZT_HOST_API TouchKeyboard : public QWidget {
    Q_OBJECT
public:
    TouchKeyboard(QWidget* parent, int keyWidth, int keyHeight);

    std::function<void(const std::string& cp1252)> onText;
    std::function<void()> onBackspace;
    std::function<void()> onClear;

    // The letters the keyboard offers, as UTF-8, row by row (for tests and layout).
    static std::vector<std::vector<std::string>> rows();
};

// A label in the dialogs' type: Arial bold, black, `height` pixels.
KZT_HOST_API kzt::Label* addLabel(QWidget* parent, const QString& name, int height);

// Draws `dialog` into a PNG; the dialog is laid out but need not be shown.
KZT_HOST_API bool savePng(QWidget& widget, const QString& path);

} // namespace companion
