#pragma once

// The application-wide mouse cursor.

#include "platform/platform_global.h"

namespace kzt {

constexpr int crDefault = 0;
constexpr int crHourGlass = -11;

// Setting crHourGlass shows the busy cursor over the whole application; crDefault
// restores the normal one. Other values are kept and read back but show the default.
KZT_PLATFORM_API void setScreenCursor(int cursor);
KZT_PLATFORM_API int screenCursor();

} // namespace kzt
