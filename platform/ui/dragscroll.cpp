#include "platform/ui/dragscroll.h"

#include <algorithm>

namespace kzt {

void DragScroll::press(int y, int offset)
{
    mStartY = y;
    mStartOffset = offset;
}

std::optional<int> DragScroll::move(int y) const
{
    if (mStartY < 0)
        return std::nullopt;
    return mStartOffset - (y - mStartY);
}

std::optional<int> DragScroll::release(int y, int lineHeight)
{
    const std::optional<int> offset = move(y);
    mStartY = -1;
    if (!offset)
        return std::nullopt;
    return settled(*offset, lineHeight);
}

int DragScroll::settled(int offset, int lineHeight)
{
    const int step = std::max(lineHeight, 1);
    return (offset + step / 2) / step * step;
}

int DragScroll::paged(int offset, int lineHeight, int visibleLines, int pages)
{
    return settled(offset, lineHeight) + pages * std::max(1, visibleLines - 1) * lineHeight;
}

} // namespace kzt
