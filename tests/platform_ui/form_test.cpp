#include "platform/ui/controls.h"
#include "platform/ui/form.h"
#include "platform/ui/screen.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace kzt;

TEST(Form, FramelessFixedSizeAndCentred)
{
    Form form;
    form.setClientSize(746, 571);
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(form.minimumSize(), QSize(746, 571));
    EXPECT_EQ(form.maximumSize(), QSize(746, 571));

    QPoint shownAt;
    QTimer::singleShot(0, &form, [&] {
        shownAt = form.pos();
        form.closeForm();
    });
    form.showModal();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(shownAt,
              QPoint(area.x() + (area.width() - 746) / 2, area.y() + (area.height() - 571) / 2));
}

TEST(Form, OnlyCodeClosesIt)
{
    Form form;
    std::vector<std::string> events;
    form.onClose = [&](QObject* sender, CloseAction& action) {
        EXPECT_EQ(sender, &form);
        EXPECT_EQ(action, CloseAction::Hide);
        events.push_back("close");
    };
    form.show();

    // The window manager asks (Alt+F4, a title-bar button elsewhere): refused, no handler.
    EXPECT_FALSE(form.close());
    QCloseEvent request;
    QApplication::sendEvent(&form, &request);
    EXPECT_FALSE(request.isAccepted());
    static_cast<QDialog&>(form).reject(); // QDialog's own Esc path
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(events.empty());

    form.closeForm();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(events, std::vector<std::string>{"close"});
}

TEST(Form, CloseHandlerCanKeepItOpen)
{
    struct Row {
        CloseAction action;
        bool staysOpen;
    };
    for (const Row row : {Row{CloseAction::None, true}, Row{CloseAction::Hide, false},
                          Row{CloseAction::Free, false}}) {
        Form form;
        form.onClose = [&](QObject*, CloseAction& action) { action = row.action; };
        int result = -1;
        bool openAfterClose = false;
        QTimer::singleShot(0, &form, [&] {
            form.closeForm();
            openAfterClose = form.isVisible();
            if (openAfterClose) {
                form.onClose = nullptr;
                form.closeForm();
            }
        });
        result = form.showModal();
        EXPECT_EQ(openAfterClose, row.staysOpen) << static_cast<int>(row.action);
        EXPECT_EQ(result, QDialog::Accepted);
    }
}

TEST(Form, ActivateFiresOnceWhenModalDisplayStarts)
{
    Form form;
    form.setClientSize(300, 200);
    int activations = 0;
    bool visibleWhenActivated = false;
    form.onActivate = [&](QObject* sender) {
        EXPECT_EQ(sender, &form);
        visibleWhenActivated = form.isVisible();
        ++activations;
    };
    // Let the display settle (activation events from the platform included) before closing.
    QTimer::singleShot(200, &form, [&] { form.closeForm(); });
    form.showModal();
    EXPECT_EQ(activations, 1);
    EXPECT_TRUE(visibleWhenActivated);

    // A second modal display is a new activation.
    QTimer::singleShot(200, &form, [&] { form.closeForm(); });
    form.showModal();
    EXPECT_EQ(activations, 2);
}

TEST(Form, ActivateFiresAgainAfterANestedModalWindowCloses)
{
    Form outer;
    outer.setClientSize(300, 200);
    int activations = 0;
    outer.onActivate = [&](QObject*) {
        ++activations;
        if (activations == 1) {
            Form nested(&outer);
            nested.setClientSize(100, 50);
            QTimer::singleShot(100, &nested, [&] { nested.closeForm(); });
            nested.showModal();
        }
    };
    QTimer::singleShot(600, &outer, [&] { outer.closeForm(); });
    outer.showModal();
    EXPECT_EQ(activations, 2);
}

TEST(Form, FindsItsControlsByName)
{
    Form form;
    auto* label = new Label(&form, QStringLiteral("lblDesc"));  // owned by the form
    auto* shape = new Shape(&form, QStringLiteral("blsBorda")); // owned by the form
    EXPECT_EQ(form.findComponent("lblDesc"), label);
    EXPECT_EQ(form.findComponent("blsBorda"), shape);
    EXPECT_EQ(form.findComponent("lbldesc"), nullptr);
    EXPECT_EQ(form.findComponent(""), nullptr);
    // None takes the focus from the form, which must see every key.
    EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(shape->focusPolicy(), Qt::NoFocus);
}

TEST(ScreenCursor, BusyAndDefaultWithoutStacking)
{
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    setScreenCursor(crHourGlass);
    EXPECT_EQ(screenCursor(), -11);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);

    setScreenCursor(crHourGlass); // twice: one restore must still clear it
    setScreenCursor(crDefault);
    EXPECT_EQ(screenCursor(), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    setScreenCursor(crDefault); // restoring with nothing set changes nothing
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    // Another value reads back but leaves the busy state.
    setScreenCursor(crHourGlass);
    setScreenCursor(-2);
    EXPECT_EQ(screenCursor(), -2);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    setScreenCursor(crDefault);
}

} // namespace
