#include "platform/ui/touchguard.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QMouseEvent>
#include <QTouchEvent>
#include <QWidget>
#include <QWindow>

namespace kzt {

namespace {

QPointer<TouchGuard> gGuard; // while a Scope lives
int gScopes = 0;

bool isModalWindow(QObject* object)
{
    const auto* widget = qobject_cast<QWidget*>(object);
    return widget && widget->isWindow() && widget->isModal();
}

} // namespace

TouchGuard::TouchGuard(Clock clock, QObject* parent) : QObject(parent), mClock(std::move(clock)) {}

TouchGuard::Target TouchGuard::targetAt(QWindow* window, const QPointF& position)
{
    Target target;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->windowHandle() != window)
            continue;
        const QPoint point = position.toPoint();
        QWidget* widget = top->childAt(point);
        target.widget = widget ? widget : top;
        // An item view's rows are all one widget, its viewport.
        if (auto* view = qobject_cast<QAbstractItemView*>(target.widget->parentWidget());
            view && view->viewport() == target.widget) {
            target.row = view->indexAt(target.widget->mapFrom(top, point)).row();
        }
        break;
    }
    return target;
}

bool TouchGuard::dropPress(QWindow* window, const QPointF& position)
{
    const auto now = mClock();
    if (mSettledAt && now - *mSettledAt < kSettle)
        return true;
    Target target = targetAt(window, position);
    if (target == mLastTarget && now - mLastPressAt < kRepeat)
        return true;
    mLastTarget = std::move(target);
    mLastPressAt = now;
    return false;
}

bool TouchGuard::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::Hide:
        if (isModalWindow(watched))
            mSettledAt = mClock();
        return false;
    default: break;
    }
    // Input from the platform comes to the window first; events a program sends straight
    // to a control are its own business.
    if (!watched->isWindowType())
        return false;
    auto* window = static_cast<QWindow*>(watched);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        // Mouse events made from a touch follow the touch's fate, where the touch itself
        // came by; a platform that sends only those has them judged as presses.
        if (mTouchSeen && mouse->source() != Qt::MouseEventNotSynthesized)
            return mDroppingTouch;
        if (event->type() == QEvent::MouseButtonPress && !mDroppingMouse)
            mDroppingMouse = dropPress(window, mouse->position());
        const bool drop = mDroppingMouse;
        if (event->type() == QEvent::MouseButtonRelease && mouse->buttons() == Qt::NoButton)
            mDroppingMouse = false;
        return drop;
    }
    case QEvent::TouchBegin: {
        const auto* touch = static_cast<QTouchEvent*>(event);
        mTouchSeen = true;
        mDroppingTouch =
            !touch->points().isEmpty() && dropPress(window, touch->points().front().position());
        return mDroppingTouch;
    }
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel: return mDroppingTouch;
    default: return false;
    }
}

TouchGuard::Scope::Scope()
{
    if (gScopes++ > 0 || qApp == nullptr)
        return;
    gGuard = new TouchGuard(&std::chrono::steady_clock::now, qApp); // owned by the application
    qApp->installEventFilter(gGuard);
}

TouchGuard::Scope::~Scope()
{
    // Gone with the last window that wanted it: a host's application outlives the module
    // whose code this object's is.
    if (--gScopes == 0)
        delete gGuard.data();
}

} // namespace kzt
