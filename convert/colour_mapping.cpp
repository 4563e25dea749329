#include "convert/colour_mapping.h"

#include <cstdio>
#include <limits>

std::string ColourText(std::uint32_t colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%06X", static_cast<unsigned>(colour & 0xFFFFFF));
    return text;
}

ColourMapper::ColourMapper(const PaletteRgb& palette, bool nearest) : palette_(palette), nearestAsked_(nearest) {
    keys_.fill(kEmpty);
    for (int i = 0; i < 256; ++i) {
        const std::uint32_t colour = ColourOf(palette.data() + 3 * i);
        std::size_t slot = Slot(colour);
        while (keys_[slot] != kEmpty && keys_[slot] != colour) slot = (slot + 1) % kSlots;
        if (keys_[slot] == kEmpty) {
            keys_[slot] = colour;
            lowest_[slot] = static_cast<std::int16_t>(i);
        } else {
            shared_[slot] = true;
        }
    }
    for (int i = 0; i < 256; ++i) byIndex_[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i);
}

int ColourMapper::Find(std::uint32_t colour) const {
    for (std::size_t slot = Slot(colour);; slot = (slot + 1) % kSlots) {
        if (keys_[slot] == colour) return lowest_[slot];
        if (keys_[slot] == kEmpty) return -1;
    }
}

bool ColourMapper::Shared(std::uint32_t colour) const {
    for (std::size_t slot = Slot(colour);; slot = (slot + 1) % kSlots) {
        if (keys_[slot] == colour) return shared_[slot];
        if (keys_[slot] == kEmpty) return false;
    }
}

int ColourMapper::Nearest(std::uint32_t colour) const {
    std::int64_t best = std::numeric_limits<std::int64_t>::max();
    int index = 0;
    for (int i = 0; i < 256; ++i) {
        const std::uint8_t* entry = palette_.data() + 3 * i;
        const std::int64_t red = static_cast<std::int64_t>(colour >> 16 & 0xFF) - entry[0];
        const std::int64_t green = static_cast<std::int64_t>(colour >> 8 & 0xFF) - entry[1];
        const std::int64_t blue = static_cast<std::int64_t>(colour & 0xFF) - entry[2];
        const std::int64_t distance = red * red + green * green + blue * blue;
        if (distance < best) {
            best = distance;
            index = i;
        }
    }
    return index;
}

bool ColourMapper::UseImagePalette(const std::uint8_t* rgb, std::size_t entries) {
    bool same = true;
    for (std::size_t i = 0; i < 256; ++i) {
        imageColours_[i] = i < entries ? ColourOf(rgb + 3 * i) : 0;
        if (i < entries && imageColours_[i] != ColourOf(palette_.data() + 3 * i)) same = false;
    }
    // A palette of the sprite's entries, in their order, keeps every index.
    // Any other goes by colour, all of it: an entry that happens to show the
    // sprite's colour at its own index may stand for another index of that
    // colour (an editor that sorted the palette put it there).
    for (std::size_t i = 0; i < 256; ++i) {
        if (same) {
            byIndex_[i] = static_cast<std::int16_t>(i);
            continue;
        }
        // Colours with one index, and colours the palette lacks, are settled
        // once per entry; shared ones pixel by pixel.
        const int found = Find(imageColours_[i]);
        byIndex_[i] =
            found >= 0 && !Shared(imageColours_[i]) ? static_cast<std::int16_t>(found) : static_cast<std::int16_t>(-1);
    }
    return same;
}

int ColourMapper::MapColour(std::uint32_t colour, std::size_t at, const OriginalFrame& original) {
    const int found = Find(colour);
    if (found < 0) {
        if (!nearestAsked_) return -1;
        ++nearest_;
        return Nearest(colour);
    }
    if (!Shared(colour)) return found;
    if (original.pixels != nullptr && original.opaque[at] != 0) {
        const std::uint8_t there = original.pixels[at];
        if (ColourOf(palette_.data() + 3 * there) == colour) return there;
    }
    ++ambiguous_;
    return found;
}

int ColourMapper::OriginalOfSameColour(int index, std::uint8_t there) {
    if (ColourOf(palette_.data() + 3 * index) != ColourOf(palette_.data() + 3 * there)) return index;
    ++restored_;
    return there;
}
