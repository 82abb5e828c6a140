#pragma once

// The form class dialogs derive from: a frameless window of a fixed client size, centred
// on the screen it opens on, shown modally and closed by code. Its events are handler
// members bound by the derived class, as a stored design binds them.

#include "platform/platform_global.h"
#include "platform/ui/graphics.h"
#include "platform/ui/keys.h"

#include <QDialog>

#include <functional>
#include <string>

class QScreen;

namespace kzt {

// The screen a window opens on: its parent's, else that of the window the operator is
// working in, else the one under the pointer, else the primary screen.
KZT_PLATFORM_API QScreen* screenToOpenOn(const QWidget& window);
// Centres a top-level window on that screen's free area. A window larger than the area
// keeps its top-left corner on it, where its controls start.
KZT_PLATFORM_API void centreOnScreen(QWidget& window);

enum class CloseAction { None, Hide, Free, Minimize };

class KZT_PLATFORM_API Form : public QDialog {
    Q_OBJECT
public:
    explicit Form(QWidget* parent = nullptr);
    ~Form() override;

    void setClientSize(int width, int height);
    void setCaption(const std::string& cp1252); // the window text
    std::string caption() const;
    void setColor(TColor color); // the window colour behind the controls

    // Shows the form modally and returns when it closes; the touch guard is on meanwhile.
    int showModal();
    // Every showing centres the form on the screen it opens on.
    void setVisible(bool visible) override;
    // Closes the form: runs onClose, then ends the modal display unless the handler set
    // the action to None. A close request from the window manager is ignored: only code
    // closes this form.
    void closeForm();

    // The child control whose object name is `name`, or nullptr.
    QObject* findComponent(const std::string& name) const;
    void bringToFront();
    void repaintNow();             // repaints at once, not at the next event loop pass
    static void processMessages(); // lets pending events run, repaints among them
    HWND handle() const { return mHandle; }
    static Form* fromHandle(HWND handle);

    std::function<void(QObject* sender)> onActivate;
    std::function<void(QObject* sender, CloseAction& action)> onClose;
    std::function<void(QObject* sender, std::uint16_t& key, ShiftState shift)> onKeyDown;
    std::function<void(QObject* sender, char& key)> onKeyPress;

    // Delivery used by SendMessageA and by the real keyboard.
    void dispatchKeyDown(std::uint16_t key, ShiftState shift);
    void dispatchChar(char key);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void reject() override; // Esc must not close the dialog behind the handlers' back

private:
    void fireActivate();
    HWND mHandle;
    bool mActive = false;
    bool mClosingByCode = false;
};

} // namespace kzt
