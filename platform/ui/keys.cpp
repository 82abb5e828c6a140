#include "platform/ui/keys.h"

#include "platform/ui/form.h"

#include <array>
#include <utility>

namespace kzt {

namespace {

// Keys whose code is neither a letter, a digit nor a function key. The first Qt key of a
// code is the one given back for it.
constexpr std::array<std::pair<int, std::uint16_t>, 21> kKeys{{
    {Qt::Key_Backspace, VK_BACK},  {Qt::Key_Tab, VK_TAB},       {Qt::Key_Backtab, VK_TAB},
    {Qt::Key_Return, VK_RETURN},   {Qt::Key_Enter, VK_RETURN},  {Qt::Key_Shift, VK_SHIFT},
    {Qt::Key_Control, VK_CONTROL}, {Qt::Key_Alt, VK_MENU},      {Qt::Key_Escape, VK_ESCAPE},
    {Qt::Key_Space, VK_SPACE},     {Qt::Key_PageUp, VK_PRIOR},  {Qt::Key_PageDown, VK_NEXT},
    {Qt::Key_End, VK_END},         {Qt::Key_Home, VK_HOME},     {Qt::Key_Left, VK_LEFT},
    {Qt::Key_Up, VK_UP},           {Qt::Key_Right, VK_RIGHT},   {Qt::Key_Down, VK_DOWN},
    {Qt::Key_Insert, VK_INSERT},   {Qt::Key_Delete, VK_DELETE}, {Qt::Key_Clear, 12},
}};

} // namespace

std::uint16_t virtualKeyFromQt(int qtKey)
{
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return static_cast<std::uint16_t>('A' + (qtKey - Qt::Key_A));
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return static_cast<std::uint16_t>('0' + (qtKey - Qt::Key_0));
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12)
        return static_cast<std::uint16_t>(VK_F1 + (qtKey - Qt::Key_F1));
    for (const auto& [qt, vk] : kKeys)
        if (qt == qtKey)
            return vk;
    return 0;
}

int qtKeyFromVirtualKey(std::uint16_t vk)
{
    if (vk >= 'A' && vk <= 'Z')
        return Qt::Key_A + (vk - 'A');
    if (vk >= '0' && vk <= '9')
        return Qt::Key_0 + (vk - '0');
    if (vk >= VK_F1 && vk <= VK_F12)
        return Qt::Key_F1 + (vk - VK_F1);
    for (const auto& [qt, code] : kKeys)
        if (code == vk)
            return qt;
    return Qt::Key_unknown;
}

ShiftState shiftStateFromQt(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons)
{
    ShiftState shift = 0;
    if (modifiers & Qt::ShiftModifier)
        shift |= ssShift;
    if (modifiers & Qt::AltModifier)
        shift |= ssAlt;
    if (modifiers & Qt::ControlModifier)
        shift |= ssCtrl;
    if (buttons & Qt::LeftButton)
        shift |= ssLeft;
    if (buttons & Qt::RightButton)
        shift |= ssRight;
    if (buttons & Qt::MiddleButton)
        shift |= ssMiddle;
    return shift;
}

Qt::KeyboardModifiers qtModifiersFromShiftState(ShiftState shift)
{
    Qt::KeyboardModifiers modifiers;
    if (shift & ssShift)
        modifiers |= Qt::ShiftModifier;
    if (shift & ssAlt)
        modifiers |= Qt::AltModifier;
    if (shift & ssCtrl)
        modifiers |= Qt::ControlModifier;
    return modifiers;
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    Form* form = Form::fromHandle(hwnd);
    if (!form)
        return 0;
    if (message == WM_KEYDOWN)
        form->dispatchKeyDown(static_cast<std::uint16_t>(wParam & 0xFFFF), 0);
    else if (message == WM_CHAR)
        form->dispatchChar(static_cast<char>(wParam & 0xFF));
    return 0;
}

} // namespace kzt
