// An image as the frame placement plans it before anything is decoded: its
// output path, its size, and where each of its frames goes.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "convert/frame_placement.h"
#include "platform/files.h"

// An output path, formatted with room to spare so that an overlong one is
// seen whole rather than cut into another file's name.
struct OutputPath {
    char text[2 * kNameBufferSize];
    bool Fits() const { return std::strlen(text) < static_cast<std::size_t>(kNameBufferSize); }
    // The file's name without its folder, as the manifest names it.
    const char* Name() const {
        const char* slash = std::strrchr(text, platform::kPathSeparator);
        return slash == nullptr ? text : slash + 1;
    }
};

// One frame of an image: which frame (its place in the sprite's frames), and where its
// top-left pixel lies in the image.
struct Placement {
    std::int32_t frame;
    std::int64_t x;
    std::int64_t y;
};

// One image to write: its path, its size, and the frames decoded onto it in
// this order (where they overlap, the later frame's pixels win).
struct PlannedImage {
    OutputPath path;
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::vector<Placement> frames;
};
