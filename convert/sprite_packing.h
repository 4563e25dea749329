// Packing images back into a DC6 sprite: the way back from the images the
// converter writes (and an editor changed) to a sprite file.
//
// Images are PNG (recognised by its signature; indexed at 1, 2, 4 or 8 bits)
// or 8-bit single-plane PCX. Pixels are taken by their palette index, never
// by their colour; every pixel that is not transparent becomes an opaque
// pixel of the frame. Which index is transparent:
//
//   from a manifest   the frame's transparentIndex, else the manifest's, else
//                     the fill byte (terminator byte 3), as in the converter's
//                     PCX images and PNG images written without transparency
//   loose PNG         the one palette entry tRNS makes fully transparent;
//                     none: every pixel is opaque
//   loose PCX         the fill byte of the sprite made
//
// The converter's RGBA images (written when an image uses all 256 indices)
// are taken from a manifest only: alpha 0 is transparent, every other pixel
// goes back to the palette entry of exactly its colour. The palette is the
// built-in one when the manifest says so, else the palette of an indexed
// image of the same manifest.
//
// Nothing is written here: the caller writes the Dc6File (sprite/dc6_writer.h).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "sprite/dc6_writer.h"

// The terminator of a sprite made from loose images without --like: the one
// most sprite files of the game carry.
inline constexpr std::array<std::uint8_t, 4> kNewSpriteTerminator = {0xEE, 0xEE, 0xEE, 0xEE};

// What a packing run has to say. Notices do not stop it; a refusal does.
struct PackReport {
    std::vector<std::pair<std::string, std::string>> notices;  // (file, text), in the order found
    std::string subject;  // refused: the file the refusal is about
    std::string reason;   // refused: why, one line
};

// The header values of a sprite made from loose images: a new sprite's
// (zero fields, kNewSpriteTerminator) or those of an existing sprite file.
struct SpriteTemplate {
    std::array<std::uint8_t, 4> terminator = kNewSpriteTerminator;
    std::uint32_t header4to7 = 0;
    std::uint32_t header8to11 = 0;
    std::uint32_t header16to19 = 0;
    // Per frame of the existing sprite: header0to3, header20to23, header24to27.
    std::vector<std::array<std::uint32_t, 3>> frameFields;
};

// Reads the header values of the sprite file at path. False with *reason
// when the file cannot be read or is no sprite file of version 6 whose frame
// table and frame headers lie inside it.
bool ReadSpriteTemplate(const std::string& path, SpriteTemplate* out, std::string* reason);

// Packs the sprite the manifest at manifestPath describes; its images are
// taken from the folder the manifest lies in. True with *sprite filled and
// *spriteName the name the manifest gives the sprite file; false with the
// refusal in *report. Notices go to *report either way.
bool PackManifest(const std::string& manifestPath, Dc6File* sprite, std::string* spriteName, PackReport* report);

// One loose image and the offsets of the frame it becomes.
struct LooseFrame {
    std::string path;
    std::int32_t xOffset = 0;
    std::int32_t yOffset = 0;
};

// Packs loose images, one frame each, in order, with the header values of
// like. True with *sprite filled; false with the refusal in *report.
bool PackLooseImages(const std::vector<LooseFrame>& frames, const SpriteTemplate& like, Dc6File* sprite,
                     PackReport* report);
