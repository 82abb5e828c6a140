#pragma once

// Virtual-key codes, the modifier set, and window messages.

#include "platform/platform_global.h"

#include <qnamespace.h>

#include <cstdint>

namespace kzt {

enum : std::uint16_t {
    VK_BACK = 8,
    VK_TAB = 9,
    VK_RETURN = 13,
    VK_SHIFT = 16,
    VK_CONTROL = 17,
    VK_MENU = 18,
    VK_ESCAPE = 27,
    VK_SPACE = 32,
    VK_PRIOR = 33,
    VK_NEXT = 34,
    VK_END = 35,
    VK_HOME = 36,
    VK_LEFT = 37,
    VK_UP = 38,
    VK_RIGHT = 39,
    VK_DOWN = 40,
    VK_INSERT = 45,
    VK_DELETE = 46,
    VK_F1 = 112,
    VK_F2,
    VK_F3,
    VK_F4,
    VK_F5,
    VK_F6,
    VK_F7,
    VK_F8,
    VK_F9,
    VK_F10,
    VK_F11,
    VK_F12,
};

// The set of held modifiers and mouse buttons that comes with a key.
enum ShiftFlag : unsigned {
    ssShift = 1u << 0,
    ssAlt = 1u << 1,
    ssCtrl = 1u << 2,
    ssLeft = 1u << 3,
    ssRight = 1u << 4,
    ssMiddle = 1u << 5,
    ssDouble = 1u << 6,
};
using ShiftState = unsigned;

// Qt key -> virtual-key code (letters as upper case 'A'..'Z', digits '0'..'9'); 0 when
// there is none.
KZT_PLATFORM_API std::uint16_t virtualKeyFromQt(int qtKey);
// Virtual-key code -> Qt key; Qt::Key_unknown when there is none.
KZT_PLATFORM_API int qtKeyFromVirtualKey(std::uint16_t vk);
KZT_PLATFORM_API ShiftState shiftStateFromQt(Qt::KeyboardModifiers modifiers,
                                             Qt::MouseButtons buttons);
KZT_PLATFORM_API Qt::KeyboardModifiers qtModifiersFromShiftState(ShiftState shift);

// Window messages and their delivery.
using HWND = std::uintptr_t;
using UINT = unsigned;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
constexpr UINT WM_KEYDOWN = 256;
constexpr UINT WM_CHAR = 258;

// Delivers the message synchronously to the form whose handle() is hwnd: WM_KEYDOWN
// reaches its key-down handler with the code as given and no modifiers; WM_CHAR its
// character handler, if any. Returns 0; an unknown handle does nothing.
KZT_PLATFORM_API LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace kzt
