#include "platform/ui/touchguard.h"

#include "host/blended.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QTableWidget>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <ostream>
#include <vector>

namespace {

using namespace std::chrono_literals;
using kzt::TouchGuard;

// A window like the dialog: two grid buttons and a list, each counting what reaches it.
class Screen : public QWidget {
public:
    Screen()
    {
        setFixedSize(400, 300);
        for (int n = 0; n < 2; ++n) {
            auto* button = new host::TBlendedBitBtn(this, QStringLiteral("btn%1").arg(n));
            button->setGeometry(10 + n * 110, 10, 100, 60);
            button->OnClick = [this, n](QObject*) { ++clicks[n]; };
            buttons.push_back(button);
        }
        table = new QTableWidget(3, 1, this);
        table->setGeometry(10, 100, 300, 150);
        connect(table, &QTableWidget::cellClicked, this, [this](int row, int) { ++rows[row]; });
    }

    QPoint buttonCentre(int n) const { return buttons[n]->geometry().center(); }
    QPoint rowCentre(int row) const
    {
        const QRect cell = table->visualRect(table->model()->index(row, 0));
        return table->viewport()->mapTo(this, cell.center());
    }

    std::vector<host::TBlendedBitBtn*> buttons;
    QTableWidget* table = nullptr;
    int clicks[2] = {0, 0};
    int rows[3] = {0, 0, 0};
    int keys = 0;

protected:
    void keyPressEvent(QKeyEvent*) override { ++keys; }
};

struct Step {
    enum Kind {
        Opened,      // the screen itself opened as a modal window (first step, at 0 ms)
        ModalClosed, // a modal window over the screen closes
        Tap,         // press and release at a button (`what`) from the platform
        DoubleTap,   // two taps the platform turns into a double click
        TouchTap,    // a finger on a touch screen at a button
        TapRow,      // press and release at a list row (`what`)
        Key,         // a key from the keyboard
        CodeClick,   // a click given straight to a button, as scripts and tests do
    } kind;
    int atMs;
    int what = 0;
};

struct Counts {
    int clicks0, clicks1, row0, row1, keys;
    bool operator==(const Counts&) const = default;
};

void PrintTo(const Counts& c, std::ostream* out)
{
    *out << "clicks " << c.clicks0 << "," << c.clicks1 << " rows " << c.row0 << "," << c.row1
         << " keys " << c.keys;
}

struct Case {
    const char* fault; // what a guard that got this row wrong would do
    std::vector<Step> steps;
    Counts expected;
};

QPointingDevice* touchScreen()
{
    static QPointingDevice* device = QTest::createTouchDevice();
    return device;
}

class TouchGuardTable : public ::testing::TestWithParam<Case> {};

TEST_P(TouchGuardTable, DeliversWhatTheOperatorMeant)
{
    const Case& c = GetParam();
    auto now = std::chrono::steady_clock::time_point(10s);
    TouchGuard guard([&now] { return now; });
    qApp->installEventFilter(&guard);

    Screen screen;
    if (c.steps.front().kind == Step::Opened)
        screen.setWindowModality(Qt::ApplicationModal);
    screen.show();
    QWindow* window = screen.windowHandle();
    ASSERT_NE(window, nullptr);
    QDialog companion;
    companion.setModal(true);

    const auto start = now;
    for (const Step& step : c.steps) {
        now = start + std::chrono::milliseconds(step.atMs);
        switch (step.kind) {
        case Step::Opened: break;
        case Step::ModalClosed:
            companion.show();
            companion.hide();
            break;
        case Step::Tap:
            QTest::mouseClick(window, Qt::LeftButton, {}, screen.buttonCentre(step.what));
            break;
        case Step::DoubleTap:
            QTest::mouseDClick(window, Qt::LeftButton, {}, screen.buttonCentre(step.what));
            break;
        case Step::TouchTap:
            QTest::touchEvent(window, touchScreen()).press(0, screen.buttonCentre(step.what));
            QTest::touchEvent(window, touchScreen()).release(0, screen.buttonCentre(step.what));
            break;
        case Step::TapRow:
            QTest::mouseClick(window, Qt::LeftButton, {}, screen.rowCentre(step.what));
            break;
        case Step::Key: QTest::keyClick(window, Qt::Key_A); break;
        case Step::CodeClick: QTest::mouseClick(screen.buttons[step.what], Qt::LeftButton); break;
        }
    }
    const Counts got{screen.clicks[0], screen.clicks[1], screen.rows[0], screen.rows[1],
                     screen.keys};
    EXPECT_EQ(got, c.expected) << c.fault;
}

using S = Step;
INSTANTIATE_TEST_SUITE_P(
    Touches, TouchGuardTable,
    ::testing::Values(Case{"a second tap 100 ms after a companion closed lands behind it",
                           {{S::ModalClosed, 0}, {S::Tap, 100}},
                           {0, 0, 0, 0, 0}},
                      Case{"a tap 349 ms after the close still lands behind it",
                           {{S::ModalClosed, 0}, {S::Tap, 349}},
                           {0, 0, 0, 0, 0}},
                      Case{"a deliberate tap 351 ms after the close is lost",
                           {{S::ModalClosed, 0}, {S::Tap, 351}},
                           {1, 0, 0, 0, 0}},
                      Case{"a tap 100 ms after the window opened, meant for what was there",
                           {{S::Opened, 0}, {S::Tap, 100}},
                           {0, 0, 0, 0, 0}},
                      Case{"a finger 100 ms after a companion closed lands behind it",
                           {{S::ModalClosed, 0}, {S::TouchTap, 100}},
                           {0, 0, 0, 0, 0}},
                      Case{"the press Qt makes of a finger is taken for a bounce of the finger",
                           {{S::ModalClosed, 0}, {S::TouchTap, 351}},
                           {1, 0, 0, 0, 0}},
                      Case{"a bounce 40 ms after the first press counts twice",
                           {{S::Tap, 0}, {S::Tap, 40}},
                           {1, 0, 0, 0, 0}},
                      Case{"a bounce 299 ms after the first press counts twice",
                           {{S::Tap, 0}, {S::Tap, 299}},
                           {1, 0, 0, 0, 0}},
                      Case{"a deliberate second press 301 ms later is lost",
                           {{S::Tap, 0}, {S::Tap, 301}},
                           {2, 0, 0, 0, 0}},
                      Case{"a press of another button 40 ms later is lost",
                           {{S::Tap, 0}, {S::Tap, 40, 1}},
                           {1, 1, 0, 0, 0}},
                      Case{"a bounce Qt reports as a double click presses the button again",
                           {{S::DoubleTap, 0}},
                           {1, 0, 0, 0, 0}},
                      Case{"a bounced list row is picked twice",
                           {{S::TapRow, 0}, {S::TapRow, 40}},
                           {0, 0, 1, 0, 0}},
                      Case{"another row of the same list 40 ms later is lost",
                           {{S::TapRow, 0}, {S::TapRow, 40, 1}},
                           {0, 0, 1, 1, 0}},
                      Case{"keys from the keyboard are dropped like touches",
                           {{S::ModalClosed, 0}, {S::Key, 10}, {S::Key, 20}},
                           {0, 0, 0, 0, 2}},
                      Case{"clicks given by code are dropped like touches",
                           {{S::ModalClosed, 0}, {S::CodeClick, 10}, {S::CodeClick, 20}},
                           {2, 0, 0, 0, 0}}));

// The module's windows hold the guard only while they are up: a host's own application
// must not keep a filter whose code leaves with the module.
TEST(TouchGuard, ScopeInstallsItOnlyWhileHeld)
{
    Screen screen;
    screen.show();
    QDialog companion;
    companion.setModal(true);
    {
        const TouchGuard::Scope outer;
        {
            const TouchGuard::Scope inner; // a companion over the dialog
        }
        EXPECT_EQ(qApp->findChildren<TouchGuard*>().size(), 1)
            << "a companion's end took the dialog's guard away";
    }
    companion.show();
    companion.hide();
    QTest::mouseClick(screen.windowHandle(), Qt::LeftButton, {}, screen.buttonCentre(0));
    EXPECT_EQ(screen.clicks[0], 1) << "the guard outlived its last scope";
    EXPECT_EQ(qApp->findChildren<TouchGuard*>().size(), 0);
}

} // namespace
