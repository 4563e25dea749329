#include "convert/index_use.h"

#include <algorithm>
#include <vector>

#include "sprite/frame_decoder.h"

IndexUse CountImageIndices(const Dc6Sprite& sprite, const PlannedImage& image) {
    IndexUse use;
    for (const Placement& placed : image.frames)
        CountFrameIndices(sprite.frames[static_cast<std::size_t>(placed.frame)], sprite.terminator,
                          static_cast<std::int32_t>(image.width), static_cast<std::int32_t>(image.height), placed.x,
                          placed.y, use.count.data());
    return use;
}

bool FramesOverlap(const Dc6Sprite& sprite, const PlannedImage& image) {
    struct Area {
        std::int64_t left, top, right, bottom;  // clipped to the image; right and bottom excluded
    };
    std::vector<Area> areas;
    for (const Placement& placed : image.frames) {
        const Dc6Frame& frame = sprite.frames[static_cast<std::size_t>(placed.frame)];
        const Area area = {std::max<std::int64_t>(placed.x, 0), std::max<std::int64_t>(placed.y, 0),
                           std::min<std::int64_t>(placed.x + std::max(frame.width, 0), image.width),
                           std::min<std::int64_t>(placed.y + std::max(frame.height, 0), image.height)};
        if (area.left >= area.right || area.top >= area.bottom) continue;
        for (const Area& other : areas)
            if (area.left < other.right && other.left < area.right && area.top < other.bottom &&
                other.top < area.bottom)
                return true;
        areas.push_back(area);
    }
    return false;
}
