#include "convert/index_use.h"

#include <algorithm>
#include <vector>

#include "sprite/dc6_file.h"
#include "sprite/frame_decoder.h"

IndexUse CountImageIndices(const PlannedImage& image) {
    IndexUse use;
    for (const Placement& placed : image.frames) {
        SelectFrame(frameTable[placed.frame]);
        CountFrameIndices(frameData, frameLength, frameWidth, frameHeight, static_cast<std::int32_t>(image.width),
                          static_cast<std::int32_t>(image.height), placed.x, placed.y, use.count.data());
    }
    return use;
}

bool FramesOverlap(const PlannedImage& image) {
    struct Area {
        std::int64_t left, top, right, bottom;  // clipped to the image; right and bottom excluded
    };
    std::vector<Area> areas;
    for (const Placement& placed : image.frames) {
        const std::uint8_t* header = frameTable[placed.frame];
        const Area area = {std::max<std::int64_t>(placed.x, 0), std::max<std::int64_t>(placed.y, 0),
                           std::min<std::int64_t>(placed.x + std::max(ReadInt32(header + 4), 0), image.width),
                           std::min<std::int64_t>(placed.y + std::max(ReadInt32(header + 8), 0), image.height)};
        if (area.left >= area.right || area.top >= area.bottom) continue;
        for (const Area& other : areas)
            if (area.left < other.right && other.left < area.right && area.top < other.bottom &&
                other.top < area.bottom)
                return true;
        areas.push_back(area);
    }
    return false;
}
