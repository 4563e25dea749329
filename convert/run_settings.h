// What one sprite's conversion is given: the sprite, the run's settings, and
// the sink its notices go to. The conversion keeps nothing between calls;
// whatever it made is in the report it returns.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/output_options.h"
#include "notice/diagnostics.h"
#include "platform/output_folder.h"
#include "sprite/dc6_sprite.h"

class OutputClaims;

struct RunSettings {
    OutputOptions options;
    // 768 bytes, red, green, blue per entry, as the images hold them.
    const std::uint8_t* palette = nullptr;
    // Where the files go; none: nothing is written, every file gets a notice.
    platform::OutputFolder* folder = nullptr;
    // The run's output paths, which the run owns (convert/output_names.h);
    // none: the sprite is converted as if it were the run's only file.
    OutputClaims* claims = nullptr;
};

struct SpriteJob {
    const Dc6Sprite& sprite;
    const RunSettings& settings;
    Diagnostics& diagnostics;
    std::size_t file = 0;  // the sprite file's place in the run's order
};
