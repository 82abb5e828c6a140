#include "platform/ui/form.h"
#include "platform/ui/keys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace kzt;

struct KeyRow {
    int qtKey;
    std::uint16_t vk;
    int qtBack; // what the code maps back to
};

TEST(VirtualKeys, MapBothWays)
{
    const std::vector<KeyRow> rows = {
        {Qt::Key_A, 'A', Qt::Key_A},
        {Qt::Key_P, 'P', Qt::Key_P},
        {Qt::Key_Z, 'Z', Qt::Key_Z},
        {Qt::Key_0, '0', Qt::Key_0},
        {Qt::Key_9, '9', Qt::Key_9},
        {Qt::Key_F1, 112, Qt::Key_F1},
        {Qt::Key_F4, 115, Qt::Key_F4},
        {Qt::Key_F12, 123, Qt::Key_F12},
        {Qt::Key_Escape, 27, Qt::Key_Escape},
        {Qt::Key_Return, 13, Qt::Key_Return},
        {Qt::Key_Enter, 13, Qt::Key_Return}, // the keypad's Enter is the same key
        {Qt::Key_Tab, 9, Qt::Key_Tab},
        {Qt::Key_Backspace, 8, Qt::Key_Backspace},
        {Qt::Key_Space, 32, Qt::Key_Space},
        {Qt::Key_Left, 37, Qt::Key_Left},
        {Qt::Key_Up, 38, Qt::Key_Up},
        {Qt::Key_Right, 39, Qt::Key_Right},
        {Qt::Key_Down, 40, Qt::Key_Down},
        {Qt::Key_Home, 36, Qt::Key_Home},
        {Qt::Key_End, 35, Qt::Key_End},
        {Qt::Key_PageUp, 33, Qt::Key_PageUp},
        {Qt::Key_PageDown, 34, Qt::Key_PageDown},
        {Qt::Key_Insert, 45, Qt::Key_Insert},
        {Qt::Key_Delete, 46, Qt::Key_Delete},
        {Qt::Key_Alt, 18, Qt::Key_Alt},
        {Qt::Key_F13, 0, Qt::Key_unknown},
        {Qt::Key_Meta, 0, Qt::Key_unknown},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.qtKey);
        EXPECT_EQ(virtualKeyFromQt(row.qtKey), row.vk);
        if (row.vk != 0) {
            EXPECT_EQ(qtKeyFromVirtualKey(row.vk), row.qtBack);
        }
    }
    // Codes with no key of their own stay unknown rather than landing on a neighbour.
    for (std::uint16_t vk : {0, 7, 124, 200, 255})
        EXPECT_EQ(qtKeyFromVirtualKey(vk), Qt::Key_unknown) << vk;
}

TEST(VirtualKeys, ModifierSet)
{
    struct Row {
        Qt::KeyboardModifiers modifiers;
        Qt::MouseButtons buttons;
        ShiftState shift;
    };
    const std::vector<Row> rows = {
        {Qt::NoModifier, Qt::NoButton, 0},
        {Qt::AltModifier, Qt::NoButton, ssAlt},
        {Qt::AltModifier | Qt::ShiftModifier, Qt::NoButton, ssAlt | ssShift},
        {Qt::AltModifier | Qt::ControlModifier, Qt::NoButton, ssAlt | ssCtrl},
        {Qt::KeypadModifier, Qt::NoButton, 0},
        {Qt::NoModifier, Qt::LeftButton | Qt::MiddleButton, ssLeft | ssMiddle},
        {Qt::ShiftModifier, Qt::RightButton, ssShift | ssRight},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(shiftStateFromQt(row.modifiers, row.buttons), row.shift);
        EXPECT_EQ(qtModifiersFromShiftState(row.shift),
                  row.modifiers & ~Qt::KeyboardModifiers(Qt::KeypadModifier));
    }
}

struct KeyLog {
    std::vector<std::pair<std::uint16_t, ShiftState>> downs;
    std::vector<char> chars;

    void attach(Form& form)
    {
        form.onKeyDown = [this](QObject*, std::uint16_t& key, ShiftState shift) {
            downs.emplace_back(key, shift);
        };
        form.onKeyPress = [this](QObject*, char& key) { chars.push_back(key); };
    }
};

TEST(SendMessage, KeyDownAndCharReachTheirOwnHandlers)
{
    Form form;
    KeyLog log;
    log.attach(form);

    // A character code goes through as a key code, untranslated: 'p' is F1's code.
    EXPECT_EQ(SendMessageA(form.handle(), WM_KEYDOWN, 'p', 0), 0);
    SendMessageA(form.handle(), WM_KEYDOWN, 13, 0);
    SendMessageA(form.handle(), WM_CHAR, 0xE7, 0);  // "ç"
    SendMessageA(form.handle(), 0x0100 + 1, 65, 0); // WM_KEYUP: not delivered

    ASSERT_EQ(log.downs.size(), 2u);
    EXPECT_EQ(log.downs[0], std::make_pair(std::uint16_t{112}, ShiftState{0}));
    EXPECT_EQ(log.downs[1], std::make_pair(std::uint16_t{13}, ShiftState{0}));
    ASSERT_EQ(log.chars.size(), 1u);
    EXPECT_EQ(static_cast<unsigned char>(log.chars[0]), 0xE7);
}

TEST(SendMessage, HandlesAreUniqueAndDieWithTheirForm)
{
    KeyLog log;
    HWND gone = 0;
    {
        Form first;
        Form second;
        EXPECT_NE(first.handle(), second.handle());
        EXPECT_EQ(Form::fromHandle(first.handle()), &first);
        EXPECT_EQ(Form::fromHandle(second.handle()), &second);
        gone = first.handle();
    }
    EXPECT_EQ(Form::fromHandle(gone), nullptr);
    EXPECT_EQ(SendMessageA(gone, WM_KEYDOWN, 13, 0), 0); // nothing to reach, no crash
    Form later;
    EXPECT_NE(later.handle(), gone);
}

TEST(Keyboard, RealKeysReachKeyDownWithTheirModifiers)
{
    Form form;
    form.setClientSize(200, 100);
    KeyLog log;
    log.attach(form);
    form.show();

    QTest::keyClick(&form, Qt::Key_F4, Qt::AltModifier);
    QTest::keyClick(&form, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(&form, Qt::Key_Escape);
    QTest::keyClick(&form, Qt::Key_A, Qt::ShiftModifier | Qt::ControlModifier);

    // The modifier keys go down too, as keys of their own.
    const std::vector<std::pair<std::uint16_t, ShiftState>> expected = {
        {VK_MENU, ssAlt},       {VK_F4, ssAlt},      {VK_RETURN, 0},
        {VK_ESCAPE, 0},         {VK_SHIFT, ssShift}, {VK_CONTROL, ssShift | ssCtrl},
        {'A', ssShift | ssCtrl}};
    EXPECT_EQ(log.downs, expected);
    // Esc went to the handler only: the form did not close behind its back.
    EXPECT_TRUE(form.isVisible());
}

TEST(Keyboard, TypedCharactersReachKeyPressAsCodePageBytes)
{
    Form form;
    KeyLog log;
    log.attach(form);
    form.show();
    QTest::keyClick(&form, Qt::Key_A);
    QKeyEvent cedilla(QEvent::KeyPress, Qt::Key_Ccedilla, Qt::NoModifier, QString::fromUtf8("ç"));
    QApplication::sendEvent(&form, &cedilla);
    ASSERT_EQ(log.chars.size(), 2u);
    EXPECT_EQ(log.chars[0], 'a');
    EXPECT_EQ(static_cast<unsigned char>(log.chars[1]), 0xE7);
}

} // namespace
