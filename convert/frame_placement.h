// How the frames of one accepted sprite file become images (PCX, or PNG
// where the command line asks), and what else the run writes beside them: a
// sheet, an animation, a manifest. The program's own path over this, with
// its current sprite, is ui/program/frame_placement.h.
//
// Stitched mode (every frame has zero x and y offsets): all frames go onto one
// canvas in rows; a frame continues its predecessor's row only when that
// predecessor is exactly 256 pixels wide, so a picture cut into 256-pixel
// tiles comes back together. One file, "PCXFiles\NAME.pcx".
//
// Separate mode (some frame has an offset): every frame becomes an image of
// its own, "PCXFiles\NAME0.pcx", "PCXFiles\NAME1.pcx", ...
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "convert/run_settings.h"
#include "sprite/dc6_sprite.h"

// Name buffers hold 259 characters and a terminating zero.
inline constexpr int kNameBufferSize = 260;

// What WriteSpriteImages made of a sprite.
struct PlacementReport {
    std::int32_t imagesWritten = 0;  // image files on disk (animations and manifests not counted)
    // Canvas column and row of each frame's top-left pixel in stitched mode.
    std::array<std::int64_t, kMaxBlocks> frameX{};
    std::array<std::int64_t, kMaxBlocks> frameY{};
};

// Lays out, decodes and writes the images of the job's sprite, named after
// baseName (the sprite file's name without its extension; spriteName, with
// it, goes into the manifest), with the job's settings. An image without a
// pixel or too large, whose output path does not fit 259 characters or was
// already written in this run, whose canvas cannot be obtained, or which
// cannot be written gives a notice to the job's diagnostics and is not
// counted. Where the run's settings have claims, the paths are claimed for
// the job's file; the caller finishes the file (FileClaims).
PlacementReport WriteSpriteImages(const SpriteJob& job, const std::string& spriteName, const char* baseName);

// The stitched picture of the sprite as WriteSpriteImages plans it, for a viewer that draws it
// without converting: its size and each frame's top-left pixel, in frame
// order. Returns false, with the places filled all the same, when the picture
// cuts a frame (a converter run with PNG or a manifest then writes the frames
// one image each).
bool PlanStitchedPicture(const Dc6Sprite& sprite, std::int64_t* width, std::int64_t* height,
                         std::vector<std::pair<std::int64_t, std::int64_t>>* places);

// The bytes of the largest canvas WriteSpriteImages would hold at once for
// the sprite with the options: its stitched picture, its largest frame, or
// its sheet. Images too large to be written count as nothing.
std::uint64_t LargestCanvasBytes(const Dc6Sprite& sprite, const OutputOptions& options);

// Cuts the last extension from name in place. The first character is never
// cut (".dc6" stays), and a dot before a path separator is not an extension.
void StripExtension(char* name);
