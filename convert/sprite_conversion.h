// One sprite file through the conversion: validate, write its images. The
// program's Convert (ui/program/sprite_conversion.h) and the command-line
// converter both go through here, so they write the same bytes under the
// same names.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "convert/output_options.h"
#include "convert/run_settings.h"
#include "platform/output_folder.h"

enum class SpriteOutcome {
    Unreadable,  // could not be read whole; nothing was shown
    Rejected,    // the header was refused; the notice has been given
    Converted,   // its images went through WriteSpriteImages
};

struct SpriteReport {
    SpriteOutcome outcome = SpriteOutcome::Rejected;
    std::int32_t imagesWritten = 0;
};

// Validates the sprite file of size bytes at bytes (followed by kFileSlack
// readable bytes) and writes its images with the settings as file of the
// run, its notices to diagnostics. fileName is the file's name (without its
// folder); its images are named after it without its extension. admit (when
// given) is asked, once the header is accepted and before any image is made,
// with the bytes the file needs at most at any moment (the file itself and
// its largest canvas); it may wait. When it says false, nothing is written
// and the outcome is Rejected, without a notice: the caller has given the
// file up.
SpriteReport ConvertSprite(const std::uint8_t* bytes, std::uint32_t size, const std::string& fileName,
                           const RunSettings& settings, std::size_t file, Diagnostics& diagnostics,
                           const std::function<bool(std::uint64_t)>& admit = nullptr);
