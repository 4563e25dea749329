// Packing images back into a DC6 sprite: the way back from the images the
// converter writes (and an editor changed) to a sprite file.
//
// Images are read one at a time, each only as far as the frames it holds
// (convert/pack_image.h). Which pixels are transparent is the image's to say;
// the manifest's transparent index matters only for images that mark none.
// Opaque pixels become palette indices (convert/colour_mapping.h): by index
// where the image's palette is the sprite's, else by colour. The sprite's
// palette:
//
//   from a manifest   its palette colours; in manifests of earlier versions
//                     the built-in palette when it names that, else the
//                     palette of the first indexed image
//   loose images      the palette file given (-p), else the first indexed
//                     image's palette
//
// Every frame's rectangle must lie wholly inside its image, and an image
// must have the size the manifest gives it. A frame without an image is
// packed without pixels, at no cost whatever its declared size.
//
// Nothing is written here: the caller writes the Dc6File (sprite/dc6_writer.h).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "convert/colour_mapping.h"
#include "convert/pack_image.h"
#include "sprite/dc6_writer.h"

// The terminator of a sprite made from loose images without --like: the one
// most sprite files of the game carry.
inline constexpr std::array<std::uint8_t, 4> kNewSpriteTerminator = {0xEE, 0xEE, 0xEE, 0xEE};

// What a packing run has to say. Notices do not stop it; a refusal does.
struct PackReport {
    std::vector<std::pair<std::string, std::string>> notices;  // (file, text), in the order found
    std::string subject;                                       // refused: the file the refusal is about
    std::string reason;                                        // refused: why, one line
    std::vector<std::string> inputs;  // every file the packing read (paths as opened), but the original sprite
    std::string original;             // the original sprite read for its pixels, or empty
};

// How to pack, beyond what the files say.
struct PackSettings {
    bool nearest = false;                               // a colour not in the palette takes the nearest one
    std::optional<std::string> original;                // the sprite the images were converted from (--like)
    std::optional<PaletteRgb> palette;                  // loose images: the sprite's palette (-p)
    const PackWording* wording = &kCommandLineWording;  // how notices tell the user what to do
};

// Pixels of a sprite that did not come out as their image gave them.
struct PixelCounts {
    std::uint64_t ambiguous = 0;  // took the lowest of several indices of their colour
    std::uint64_t nearest = 0;    // took the nearest colour
    std::uint64_t restored = 0;   // took the original's index of their colour, not the image's

    // Adds the pixels a frame's mapper counted.
    void Add(const ColourMapper& mapper);
};

// The notices of the counted pixels, in the order the packer gives them:
// those that took the original's index of their colour, the lowest of
// several indices, the nearest colour. originalAtHand: whether the
// original sprite was read (the words then differ).
std::vector<std::string> CountedNoticeTexts(const PixelCounts& counts, bool originalAtHand, const PackWording& wording);

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

// Reads a palette file of any format the converter's -p takes
// (image/palette_files.h) into red, green, blue; fewer than 256 colours are
// padded with black, and *colours tells how many the file held. False with
// *reason (a phrase that follows the file's name).
bool ReadPackPalette(const std::string& path, PaletteRgb* palette, int* colours, std::string* reason);

// Whether name may be the sprite file a manifest names: a plain file name
// (as IsManifestFileName) ending in ".dc6", letter case ignored.
bool IsSpriteFileName(const std::string& name);

// Packs the sprite the manifest at manifestPath describes; its images are
// taken from the folder the manifest lies in, and so is the sprite it names,
// when it is there and settings name no other, for the pixels whose colour
// the palette holds at several indices. The original's pixel at the same
// place is the one of the same frame (by number, the original's frame of
// the same size) at the same row and column of the frame, whatever the
// offsets; a frame whose size changed has no original. True with *sprite filled and
// *spriteName the name the manifest gives the sprite file (checked with
// IsSpriteFileName); false with the refusal in *report. Notices go to
// *report either way.
bool PackManifest(const std::string& manifestPath, const PackSettings& settings, Dc6File* sprite,
                  std::string* spriteName, PackReport* report);

// One loose image and the offsets of the frame it becomes.
struct LooseFrame {
    std::string path;
    std::int32_t xOffset = 0;
    std::int32_t yOffset = 0;
};

// Packs loose images, one frame each, in order, with the header values of
// like (and, when settings name it, the pixels of the original sprite for
// shared colours). True with *sprite filled; false with the refusal in *report.
bool PackLooseImages(const std::vector<LooseFrame>& frames, const SpriteTemplate& like, const PackSettings& settings,
                     Dc6File* sprite, PackReport* report);
