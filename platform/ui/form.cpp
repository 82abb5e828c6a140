#include "platform/ui/form.h"

#include "platform/ui/touchguard.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

#include <algorithm>
#include <unordered_map>

namespace kzt {

namespace {

// Handles are never reused, so a handle kept past its form's end finds nothing.
HWND gNextHandle = 0x10000;
std::unordered_map<HWND, Form*>& forms()
{
    static std::unordered_map<HWND, Form*> registry;
    return registry;
}

QScreen* screenOfWindow(const QWidget* window)
{
    if (window == nullptr || !window->isVisible())
        return nullptr;
    // By where the window stands: a screen a window was moved onto is not always the one
    // its platform window was created on.
    if (QScreen* screen = QGuiApplication::screenAt(window->geometry().center()))
        return screen;
    return window->screen();
}

} // namespace

QScreen* screenToOpenOn(const QWidget& window)
{
    const QWidget* parent = window.parentWidget() ? window.parentWidget()->window() : nullptr;
    for (const QWidget* reference :
         {parent, static_cast<const QWidget*>(QApplication::activeModalWidget()),
          static_cast<const QWidget*>(QApplication::activeWindow())}) {
        if (reference == &window)
            continue;
        if (QScreen* screen = screenOfWindow(reference))
            return screen;
    }
    if (QScreen* screen = QGuiApplication::screenAt(QCursor::pos()))
        return screen;
    return QGuiApplication::primaryScreen();
}

void centreOnScreen(QWidget& window)
{
    const QScreen* screen = screenToOpenOn(window);
    if (screen == nullptr)
        return;
    const QRect area = screen->availableGeometry();
    const QSize size = window.frameGeometry().size();
    window.move(area.x() + std::max(0, (area.width() - size.width()) / 2),
                area.y() + std::max(0, (area.height() - size.height()) / 2));
}

Form::Form(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), mHandle(gNextHandle)
{
    gNextHandle += 4;
    forms().emplace(mHandle, this);
    setFocusPolicy(Qt::StrongFocus);
    setSizeGripEnabled(false);
}

Form::~Form()
{
    forms().erase(mHandle);
}

Form* Form::fromHandle(HWND handle)
{
    const auto it = forms().find(handle);
    return it == forms().end() ? nullptr : it->second;
}

void Form::setClientSize(int width, int height)
{
    setFixedSize(width, height);
}

void Form::setCaption(const std::string& cp1252)
{
    setWindowTitle(toQString(cp1252));
}

std::string Form::caption() const
{
    return fromQString(windowTitle());
}

void Form::setColor(TColor color)
{
    QPalette p = palette();
    p.setColor(QPalette::Window, toQColor(color));
    setPalette(p);
    setAutoFillBackground(true);
}

int Form::showModal()
{
    const TouchGuard::Scope guard;
    return exec();
}

void Form::setVisible(bool visible)
{
    if (visible && !isVisible())
        centreOnScreen(*this);
    QDialog::setVisible(visible);
}

void Form::closeForm()
{
    CloseAction action = CloseAction::Hide;
    if (onClose)
        onClose(this, action);
    switch (action) {
    case CloseAction::None: return;
    case CloseAction::Minimize: showMinimized(); return;
    case CloseAction::Hide:
    case CloseAction::Free: // freeing stays with whoever created the form
        break;
    }
    mClosingByCode = true;
    done(QDialog::Accepted);
    mClosingByCode = false;
}

QObject* Form::findComponent(const std::string& name) const
{
    if (name.empty())
        return nullptr;
    return findChild<QObject*>(QString::fromStdString(name));
}

void Form::bringToFront()
{
    raise();
    activateWindow();
}

void Form::repaintNow()
{
    repaint();
}

void Form::processMessages()
{
    QCoreApplication::processEvents();
}

void Form::dispatchKeyDown(std::uint16_t key, ShiftState shift)
{
    if (onKeyDown)
        onKeyDown(this, key, shift);
}

void Form::dispatchChar(char key)
{
    if (onKeyPress)
        onKeyPress(this, key);
}

bool Form::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::WindowActivate: fireActivate(); break;
    case QEvent::WindowDeactivate:
    case QEvent::WindowBlocked: // a nested modal window takes over
    case QEvent::Hide: mActive = false; break;
    case QEvent::WindowUnblocked:
        // The nested modal window closed: the form is active again, whether or not the
        // platform (offscreen, or a window manager that gives focus elsewhere) says so.
        if (isVisible()) {
            activateWindow();
            fireActivate();
        }
        break;
    default: break;
    }
    return QDialog::event(event);
}

void Form::keyPressEvent(QKeyEvent* event)
{
    // Every key goes to the handlers and nowhere else: QDialog's own Esc and Enter
    // handling would close the form behind their back.
    event->accept();
    const std::uint16_t vk = virtualKeyFromQt(event->key());
    if (vk != 0)
        dispatchKeyDown(vk, shiftStateFromQt(event->modifiers(), QGuiApplication::mouseButtons()));
    if (!isVisible())
        return; // a handler closed the form
    const std::string text = fromQString(event->text());
    for (char c : text)
        dispatchChar(c);
}

void Form::closeEvent(QCloseEvent* event)
{
    // Only the form's own code closes it; a window-manager request is ignored.
    if (mClosingByCode)
        event->accept();
    else
        event->ignore();
}

void Form::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    setFocus(Qt::ActiveWindowFocusReason);
    // A platform that does not activate windows (offscreen) still starts the form's
    // activation once the modal display is up.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (isVisible())
                fireActivate();
        },
        Qt::QueuedConnection);
}

void Form::reject() {}

void Form::fireActivate()
{
    if (mActive)
        return;
    mActive = true;
    // Run the handler outside the activation event: it may open nested modal windows.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (isVisible() && onActivate)
                onActivate(this);
        },
        Qt::QueuedConnection);
}

} // namespace kzt
