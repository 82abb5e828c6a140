#pragma once

// Scrolling a wrapped text by touch, in whole lines: a finger dragged over it moves it
// along and, let go, it settles on the nearest line; a page keeps one line of the last in
// view, so the operator does not lose the thread.

#include "platform/platform_global.h"

#include <optional>

namespace kzt {

class KZT_PLATFORM_API DragScroll {
public:
    void press(int y, int offset);
    // The offset for a finger now at y; nothing while no drag runs.
    std::optional<int> move(int y) const;
    // Ends the drag: the offset settled on a whole line, or nothing when none ran.
    std::optional<int> release(int y, int lineHeight);

    static int settled(int offset, int lineHeight);
    static int paged(int offset, int lineHeight, int visibleLines, int pages);

private:
    int mStartY = -1;
    int mStartOffset = 0;
};

} // namespace kzt
