// Which palette indices the opaque pixels of an image use, found from the
// frames' coded data alone, before any canvas exists: the transparent index
// can then be chosen before the canvas is filled, and no mask of the opaque
// pixels is needed.
#pragma once

#include <array>
#include <cstdint>

#include "convert/image_plan.h"
#include "sprite/dc6_sprite.h"

struct IndexUse {
    // Pixels of each index that the frames' literal runs write inside the
    // image. A pixel that a later frame writes again counts for both values.
    std::array<std::uint64_t, 256> count{};

    bool Uses(std::uint8_t index) const { return count[index] != 0; }
};

// Counts the opaque pixels of the image of the sprite, frame by frame as
// they would be decoded onto it (width and height within 1..65535).
IndexUse CountImageIndices(const Dc6Sprite& sprite, const PlannedImage& image);

// Whether two frames of the image cover a common pixel of it, so that a later
// one may write over what an earlier one wrote (and the counts above may
// hold indices that no pixel keeps).
bool FramesOverlap(const Dc6Sprite& sprite, const PlannedImage& image);
