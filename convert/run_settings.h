// What one sprite's conversion is given: the sprite, the run's settings, and
// the sink its notices go to. The conversion keeps nothing between calls;
// whatever it made is in the report it returns.
#pragma once

#include <cstdint>
#include <functional>

#include "convert/output_options.h"
#include "notice/diagnostics.h"
#include "platform/output_folder.h"
#include "sprite/dc6_sprite.h"

struct OutputPath;
struct AnimationCanvas;

struct RunSettings {
    OutputOptions options;
    // 768 bytes, red, green, blue per entry, as the images hold them.
    const std::uint8_t* palette = nullptr;
    // Where the files go; none: nothing is written, every file gets a notice.
    platform::OutputFolder* folder = nullptr;
};

// Writes the animation of the job's sprite at path on canvas; the caller
// has checked that the run wants one.
using AnimationStep = std::function<void(const OutputPath& path, const AnimationCanvas& canvas)>;

struct SpriteJob {
    const Dc6Sprite& sprite;
    const RunSettings& settings;
    Diagnostics& diagnostics;
    AnimationStep animation;  // none: no animation is written
};
