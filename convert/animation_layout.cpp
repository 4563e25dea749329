// How large an animation's canvas is, from the sprite alone.
#include <algorithm>

#include "convert/animation.h"

AnimationCanvas CanvasOfFrames(const Dc6Sprite& sprite) {
    AnimationCanvas canvas;
    std::int64_t right = 0, bottom = 0;
    bool any = false;
    for (const Dc6Frame& frame : sprite.frames) {
        const std::int64_t width = frame.width;
        const std::int64_t height = frame.height;
        if (width < 1 || height < 1) continue;
        const std::int64_t x = frame.xOffset;
        const std::int64_t y = frame.yOffset;
        canvas.x = any ? std::min(canvas.x, x) : x;
        canvas.y = any ? std::min(canvas.y, y) : y;
        right = any ? std::max(right, x + width) : x + width;
        bottom = any ? std::max(bottom, y + height) : y + height;
        any = true;
    }
    if (!any) return {0, 0, 1, 1};
    canvas.width = right - canvas.x;
    canvas.height = bottom - canvas.y;
    return canvas;
}
