// An image opened for packing: its header read (nothing decoded yet), then
// the pixels of one frame's rectangle cut out and turned into sprite indices,
// one row at a time, so that memory follows the frame, not the image.
//
// Images are PNG (indexed at 1 to 8 bits, grey, RGB, grey with alpha or RGBA
// at 8 bits) or 8-bit single-plane PCX. Which pixels are transparent is the
// image's to say: palette entries that tRNS makes fully transparent, alpha 0,
// or the colour tRNS names. Only an image that marks none (a PCX image, a PNG
// written without transparency) has a fill index stand for its transparent
// pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "convert/colour_mapping.h"
#include "image/pcx_reader.h"
#include "image/png_reader.h"
#include "platform/heap_block.h"

// The words of the packer's notices that tell the user what to do: the
// command line names its options, the page its controls. Each fills a
// sentence whose rest is the same for both.
struct PackWording {
    const char* original;  // "...; <original> to take the original sprite's"
    const char* nearest;   // "paint with the palette's colours, or <nearest> to take the nearest of them";
                           // null or empty: the front end has no such choice, and the "or" is left out
    const char* palette;   // "holds colours, not palette indices: <palette>, or save the image indexed"
    const char* name;      // "... no plain file name ending in .dc6; <name>"
    const char* keepFill;  // "(<keepFill> to keep them)"
};

// The command line's words: its options.
extern const PackWording kCommandLineWording;

// The refusals of a pixel at image column, row that cannot be packed: one
// partly transparent, and one of a colour the sprite's palette lacks.
std::string PartlyTransparentText(std::int64_t column, std::int64_t row);
std::string NotInPaletteText(std::uint32_t colour, std::int64_t column, std::int64_t row, const PackWording& wording);

// A frame's pixels and opaque marks, width x height, rows top first.
struct FramePixels {
    HeapBlock pixels;
    HeapBlock opaque;
};

class PackImage {
public:
    // Reads the file at path and its header, and checks what can be checked
    // before any pixel is decoded (a PCX image is read through once, for its
    // palette and to see that every row is there). False with *reason, a
    // phrase that follows the file's name, when it is no image that can be packed.
    bool Open(const std::string& path, std::string* reason);

    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    bool pcx() const { return pcx_; }
    // Whether pixels are palette indices (indexed PNG, PCX) rather than colours.
    bool indexed() const { return !palette_.empty(); }
    // Indexed images: 3 bytes an entry, red, green, blue.
    const std::vector<std::uint8_t>& palette() const { return palette_; }
    // Whether the image itself says which pixels are transparent.
    bool marksTransparency() const { return marks_; }

    // Cuts the rectangle (x, y, width, height), which lies wholly inside the
    // image, into *frame with every opaque pixel mapped by mapper (whose image
    // palette the caller has set for indexed images). fillIndex (-1: none)
    // is the image index that stands for transparent pixels in an image that
    // marks none. False with *reason when a pixel cannot be packed (partly
    // transparent, a colour not in the palette) or the data is damaged.
    // fillColour (-1: none), for an image that marks none, is the colour
    // that stands for them instead, where the image's indices are not the
    // sprite's (an editor dropped the marks along with the palette's order).
    // wording tells the user, in a refusal, how to ask for nearest colours.
    bool Cut(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, int fillIndex,
             std::int64_t fillColour, ColourMapper& mapper, const OriginalFrame& original, const PackWording& wording,
             FramePixels* frame, std::string* reason) const;

private:
    HeapBlock bytes_;
    std::uint32_t length_ = 0;
    bool pcx_ = false;
    PngHeader png_;
    PcxHeader pcxHeader_;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::vector<std::uint8_t> palette_;
    std::vector<bool> transparentEntry_;  // indexed PNG: per palette entry
    bool marks_ = false;
};

// Allocates a frame of width x height, every pixel transparent. False when
// it is larger than a frame may be or memory is short.
bool AllocateFrame(std::int32_t width, std::int32_t height, FramePixels* frame, std::string* reason);
