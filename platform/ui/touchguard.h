#pragma once

// Keeps a fast second touch from doing what the operator did not see. A press that starts
// just after a modal window closed or opened was meant for the window that is gone (or not
// yet there), and would land on whatever now lies under the finger; a press of the same
// control right after the last one is a bounce. Both are dropped, with the rest of their
// gesture (moves, the double-click Qt makes of it, the release), so nothing clicks.
//
// Only pointer input that reaches a window from the platform is looked at: clicks given to
// a control by code, keys and text sent to a form are never touched.

#include "platform/platform_global.h"

#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <optional>

class QWidget;
class QWindow;

namespace kzt {

class KZT_PLATFORM_API TouchGuard : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // After a modal window closed or was shown, no press reaches any window for this long.
    static constexpr std::chrono::milliseconds kSettle{350};
    // A press of the control pressed last, this soon after that press, counts once.
    static constexpr std::chrono::milliseconds kRepeat{300};

    // `clock` must be monotonic; tests give their own.
    explicit TouchGuard(Clock clock = &std::chrono::steady_clock::now, QObject* parent = nullptr);

    bool eventFilter(QObject* watched, QEvent* event) override;

    // While one lives, the application's guard filters its pointer input. The module's
    // dialog, its message boxes and the companion dialogs hold one while they are shown, so
    // a host's own windows are left alone outside those calls. GUI thread only.
    class KZT_PLATFORM_API Scope {
    public:
        Scope();
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
    };

private:
    // Where a press lands: the control under it and, in an item view, the row.
    struct Target {
        QPointer<QWidget> widget;
        int row = -1;
        bool operator==(const Target& other) const
        {
            return widget && widget == other.widget && row == other.row;
        }
    };

    bool dropPress(QWindow* window, const QPointF& position);
    static Target targetAt(QWindow* window, const QPointF& position);

    Clock mClock;
    // When the last modal window closed or was shown.
    std::optional<std::chrono::steady_clock::time_point> mSettledAt;
    std::chrono::steady_clock::time_point mLastPressAt{};
    Target mLastTarget;
    bool mDroppingMouse = false;
    bool mDroppingTouch = false;
    bool mTouchSeen = false;
};

} // namespace kzt
