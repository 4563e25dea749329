// Which palette index marks the transparent pixels of an image.
//
// A pixel is opaque when a literal run of a frame wrote it; every other pixel
// (skipped, after a row's last literal, in rows never reached, between the
// frames of a stitched image or a sheet) is transparent. All transparent
// pixels share one index T: the fill byte when no opaque pixel uses it, so
// that the indices stay those of the PCX file, else the lowest index no
// opaque pixel uses.
#pragma once

#include <cstddef>
#include <cstdint>

// Returns T for count pixels with their opaque marks (non-zero: opaque);
// kNoTransparentPixel when every pixel is opaque and none needs an index;
// kNoIndexLeft when opaque pixels use all 256 indices and some pixel is
// transparent.
inline constexpr int kNoTransparentPixel = -1;
inline constexpr int kNoIndexLeft = -2;
int ChooseTransparentIndex(const std::uint8_t* pixels, const std::uint8_t* opaque, std::size_t count,
                           std::uint8_t fill);

// Gives every transparent pixel the index T, in place.
void MarkTransparent(std::uint8_t* pixels, const std::uint8_t* opaque, std::size_t count, std::uint8_t index);
