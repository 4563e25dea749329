// From what an image shows to the sprite's palette indices.
//
// The sprite's palette is the one its images were converted with (the
// manifest's colours, the built-in palette, or -p). An indexed image whose
// palette agrees with it entry for entry keeps its indices as they are. Any
// other image (a palette an editor shrank, reordered or rewrote; RGB or RGBA)
// is mapped by colour: every opaque pixel takes the index of exactly its
// colour. A colour the palette holds at several indices takes the index the
// original sprite has at that pixel, where the original is at hand and shows
// that colour there, else the lowest such index (counted). Editors do not
// tell such indices apart either, even where they keep the palette: an
// indexed pixel showing the colour the original has there, under another
// index of that colour, takes the original's index back (counted). A colour the
// palette lacks is refused, or, when asked for, takes the nearest colour:
// the least squared distance in red, green and blue, the lowest index among
// equals (counted).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "image/palette.h"

// A colour as 0xRRGGBB.
inline std::uint32_t ColourOf(const std::uint8_t* rgb) {
    return static_cast<std::uint32_t>(rgb[0]) << 16 | static_cast<std::uint32_t>(rgb[1]) << 8 | rgb[2];
}

// "#RRGGBB".
std::string ColourText(std::uint32_t colour);

// The frame of the original sprite at the same place: its indices and which
// of them are opaque, laid out as the frame being made. Null when not at hand.
struct OriginalFrame {
    const std::uint8_t* pixels = nullptr;
    const std::uint8_t* opaque = nullptr;
};

class ColourMapper {
public:
    ColourMapper(const PaletteRgb& palette, bool nearest);

    // Makes the indices of an image with this palette (3 bytes an entry,
    // entries 1..256) the ones MapIndex takes. Returns whether every entry
    // the image has equals the sprite's, so that all indices stay as they are.
    bool UseImagePalette(const std::uint8_t* rgb, std::size_t entries);

    // The sprite index for an opaque pixel of image index `index` (after
    // UseImagePalette) at frame pixel `at`, or -1 when its colour is not in
    // the palette and nearness was not asked for.
    int MapIndex(std::uint8_t index, std::size_t at, const OriginalFrame& original) {
        const std::int16_t known = byIndex_[index];
        if (known < 0) return MapColour(imageColours_[index], at, original);
        if (original.pixels != nullptr && original.opaque[at] != 0 && original.pixels[at] != known)
            return OriginalOfSameColour(known, original.pixels[at]);
        return known;
    }

    // The sprite index for an opaque pixel of this colour, as MapIndex.
    int MapColour(std::uint32_t colour, std::size_t at, const OriginalFrame& original);

    // Pixels that took the lowest of several indices of their colour,
    // pixels that took the nearest colour, and indexed pixels that took the
    // original's index of their colour instead of their own.
    std::uint64_t ambiguousPixels() const { return ambiguous_; }
    std::uint64_t nearestPixels() const { return nearest_; }
    std::uint64_t restoredPixels() const { return restored_; }

private:
    // Index of a colour in the palette: its lowest index, -1 when absent.
    int Find(std::uint32_t colour) const;
    bool Shared(std::uint32_t colour) const;
    int Nearest(std::uint32_t colour) const;
    // The original's index where it shows the colour of `index`, else index.
    int OriginalOfSameColour(int index, std::uint8_t there);

    static constexpr std::size_t kSlots = 1024;          // at most 256 used: probes stay short
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFF;  // no 24-bit colour
    static std::size_t Slot(std::uint32_t colour) { return (colour * 2654435761u) >> 22; }

    PaletteRgb palette_;
    bool nearestAsked_;
    std::array<std::uint32_t, kSlots> keys_;
    std::array<std::int16_t, kSlots> lowest_{};
    std::array<bool, kSlots> shared_{};
    std::array<std::int16_t, 256> byIndex_{};  // a fixed answer per image index, or -1: ask MapColour
    std::array<std::uint32_t, 256> imageColours_{};
    std::uint64_t ambiguous_ = 0;
    std::uint64_t nearest_ = 0;
    std::uint64_t restored_ = 0;
};
