// The frame manifest: NAME.json beside a sprite's images, written by the
// converter and read by the packer to rebuild the sprite file.
//
// It has the shape sprite-sheet tools give their "json-array" output, so that
// sheet loaders read it, plus the fields a rebuild needs:
//
//   { "frames": [ {                       one entry per frame, in table order
//       "filename": "walk0.png" | null,   the image holding the frame; null when none was written
//       "frame": {"x","y","w","h"},       where the frame's pixels lie in that image
//       "rotated": false, "trimmed": false,
//       "spriteSourceSize": {"x":0,"y":0,"w","h"}, "sourceSize": {"w","h"},
//       "duration": milliseconds,
//       "index": position in the table, "width", "height", "xOffset", "yOffset",
//       "header": {"bytes0to3", "bytes20to23", "bytes24to27"},   raw frame header fields
//       "transparentIndex": 0..255 | null,
//       "opaqueFillIndex": true           only where opaque pixels use the fill index, which a
//                                         PCX image cannot tell from transparency } ],
//     "meta": {
//       "app", "version", "image": first image | null, "format": "I8" | "RGBA8888",
//       "size": {"w","h"} of that image, "scale": "1",
//       "sprite": the sprite file's name, "layout": "stitched" | "separate" |
//                 "stitched-separately" (a stitched sprite whose rows are uneven,
//                 so that one picture would cut frames: each frame an image),
//       "terminator": [t0, t1, t2, t3],
//       "header": {"bytes4to7", "bytes8to11", "bytes16to19"},    raw file header fields
//       "palette": "built-in" | the palette file's name,
//       "paletteColours": ["#RRGGBB" x 256]   the palette's colours, entry 0 first
//                         (absent in manifests of earlier versions),
//       "transparentIndex": the index common to all images | null,
//       "transparency": true when the images mark their transparent pixels
//                       (a null transparentIndex then means an image has none);
//                       false or absent: the fill byte stands for them,
//       "canvas": {"x","y","w","h"}   separate layout: the union of the frames'
//                       rectangles, each placed by its offsets (the canvas of
//                       the animation); absent otherwise } }
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class ManifestLayout { kStitched, kSeparate, kStitchedSeparately };
enum class ManifestImageFormat { kIndexed, kRgba };  // "I8", "RGBA8888"

struct FrameEntry {
    std::optional<std::string> filename;  // a plain file name; none when no image holds the frame
    std::int32_t x = 0;                   // the frame's top-left pixel in its image, 0..kMaxManifestExtent
    std::int32_t y = 0;                   // kMinManifestFrameY..kMaxManifestExtent
    std::int32_t width = 0;               // 0..65535, also the rectangle's size
    std::int32_t height = 0;
    std::int32_t xOffset = 0;
    std::int32_t yOffset = 0;
    std::uint32_t header0to3 = 0;
    std::uint32_t header20to23 = 0;
    std::uint32_t header24to27 = 0;
    std::optional<std::uint8_t> transparentIndex;
    bool opaqueFillIndex = false;  // opaque pixels of the fill index are in the frame
    std::int32_t duration = 100;   // for sheet loaders; the sprite file has none

    bool operator==(const FrameEntry& other) const;
};

// The canvas of a separate sprite's frames: origin (the smallest offsets)
// and size (1..65535 each way).
struct ManifestCanvas {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool operator==(const ManifestCanvas& other) const {
        return x == other.x && y == other.y && width == other.width && height == other.height;
    }
};

struct SpriteManifest {
    std::string app = "kelvane-convert";
    std::string version;
    std::optional<std::string> image;  // a plain file name
    ManifestImageFormat format = ManifestImageFormat::kIndexed;
    std::int32_t imageWidth = 0;  // 0..kMaxManifestExtent
    std::int32_t imageHeight = 0;
    std::string sprite;  // a plain file name
    ManifestLayout layout = ManifestLayout::kStitched;
    std::array<std::uint8_t, 4> terminator = {0, 0, 0, 0};
    std::uint32_t header4to7 = 0;
    std::uint32_t header8to11 = 0;
    std::uint32_t header16to19 = 0;
    std::string palette = "built-in";                         // "built-in" or a plain file name
    std::optional<std::array<std::uint8_t, 768>> paletteRgb;  // its colours, red, green, blue
    std::optional<std::uint8_t> transparentIndex;
    bool transparency = false;  // transparent pixels are marked in the images
    std::optional<ManifestCanvas> canvas;
    std::vector<FrameEntry> frames;  // 1..12

    bool operator==(const SpriteManifest& other) const;
};

// Images and sheets hold up to 12 frames side by side or stacked, each up to
// 65535 pixels: positions and image sizes may exceed one frame's limit.
inline constexpr std::int32_t kMaxManifestExtent = 12 * 0xFFFF;

// A stitched frame taller than the first frame of its row starts above the
// image (the part above is cut off): its y may be as low as minus a frame's
// largest height.
inline constexpr std::int32_t kMinManifestFrameY = -0xFFFF;

// Largest manifest text ManifestFromJson reads.
inline constexpr std::size_t kMaxManifestSize = 1 << 20;

// Whether name may stand in a manifest as a file beside it: not empty, not
// "." or "..", valid UTF-8, no '/', '\\' or ':' (a drive on Windows) and no
// control characters. The packer opens these names, so nothing else passes.
bool IsManifestFileName(const std::string& name);

// The manifest as JSON text: two-space indents, keys in the order above, a
// newline at the end. The same manifest always gives the same text. Names
// that IsManifestFileName refuses are the caller's to keep out: bytes that are
// not UTF-8 come out as U+FFFD.
std::string ManifestToJson(const SpriteManifest& manifest);

// Reads a manifest from JSON text that may come from anywhere. Returns true
// and fills *out when the text is at most kMaxManifestSize bytes of JSON with
// every field above present with a value of its type and range (the
// sheet-tool fields "rotated", "trimmed", "spriteSourceSize", "sourceSize",
// "scale" may be absent; rotated and trimmed frames cannot be rebuilt and are
// refused). Unknown keys are passed over. On failure returns false, leaves
// *out untouched and sets *reason (when not null) to one line naming the
// field, such as "frames[3].frame.w: expected a whole number 0 to 65535".
bool ManifestFromJson(const std::string& text, SpriteManifest* out, std::string* reason);
