// What the page's worker (web/worker.js) calls in the core compiled to
// WebAssembly. Every file named here lives in emscripten's in-memory file
// system, where the worker wrote the user's files; the calls run one at a
// time on the worker's one thread.
//
// The commands are the command-line tools themselves: their standard output
// and standard error reach the worker line by line, and they return the
// tools' exit statuses. The sprite view serves the page's drawing: the
// frames' sizes and the decoder's notices for the list, and the decoded
// palette indices with their opaque marks for the canvases.
#pragma once

#include <cstdint>

extern "C" {

// Runs kelvane-convert with argv[0..argc) (argv[0] the program's name) and
// returns its exit status. The worker always passes -q, and -j 1: the
// WebAssembly build has no threads.
int KelvaneConvert(int argc, char** argv);

// Runs kelvane-pack with argv[0..argc) and returns its exit status.
int KelvanePack(int argc, char** argv);

// Reads the sprite file at path (relative to the current directory, as the
// converter takes its FILEs) and describes it as JSON text:
//   {"accepted": bool, "layout": "stitched" | "separate",
//    "frames": [{"width", "height", "xOffset", "yOffset"}...],
//    "stitched": {"width", "height", "places": [{"x", "y"}...]},
//    "notices": ["kelvane-convert: NAME: TEXT", ...]}
// where the notices, naming the file as path does, are the lines
// kelvane-convert prints for the file's header and for the faults of its
// frames' coded data; layout and frames are present only when accepted, and
// stitched (the converter's picture: its size and each frame's place) only
// for a stitched sprite whose picture cuts no frame. An unreadable file gives accepted false and
// the tool's "cannot be read" line; a description the core had no memory
// for gives accepted false, no notices and "outOfMemory": true. The text
// stays valid until the next call.
const char* KelvaneDescribeSprite(const char* path);

// Decodes the frames of the sprite file at path for display. Returns a new
// block (release it with KelvaneRelease), or null when the file is
// unreadable or refused or the block cannot be had:
//   int32 frame count, then per frame int32 width, height, shown (1 or 0);
//   then for each shown frame in order width x height palette indices (rows
//   top first) followed by width x height opaque marks (1 where a literal
//   run wrote the pixel, 0 where it is transparent).
// A frame is not shown (shown 0, no bytes) when it has no pixel, or when the
// frames shown before it and it would exceed kMaxShownPixels.
std::uint8_t* KelvaneDecodeSprite(const char* path);
void KelvaneRelease(std::uint8_t* block);

// Deflates size bytes at data at level (0 to 9) as a ZIP entry holds them
// (raw deflate). Returns a new block (release it with KelvaneRelease), or
// null when memory fails: uint32 CRC-32 of the data, uint32 the deflated
// size N, then the N deflated bytes.
std::uint8_t* KelvaneDeflate(const std::uint8_t* data, std::uint32_t size, int level);

// The CRC-32 of size bytes at data, as a ZIP entry records it.
std::uint32_t KelvaneCrc32(const std::uint8_t* data, std::uint32_t size);

// The order the sprites are listed in, as the converter takes them: names
// is a JSON array of the names (strings), each a name or a path below the
// folder the user chose (a/x.dc6), which are ordered as a run over that
// folder's tree (-r) takes them: a folder's own sprites first, then its
// sub-folders, each whole, both by name. Returns the JSON array of their
// indices in that order ("[2,0,1]"), or null when names is not such an
// array or there was no memory. The text stays valid until the next call.
const char* KelvaneSpriteOrder(const char* names);

// The canvas an animation of the sprite file at path is drawn on, as JSON
// text: {"x", "y", "w", "h"}, the smallest offsets and the size, as the
// manifest's meta.canvas gives it and kelvane-convert --anim draws; "null"
// when the file is unreadable or refused, its frames have no offsets, or no
// image could be that large. The text stays valid until the next call.
const char* KelvaneAnimationCanvas(const char* path);

// The frame rates an animation is played and written at (frames a second).
int KelvaneMinFps();
int KelvaneMaxFps();
int KelvaneDefaultFps();

}  // extern "C"

// The most pixels of one sprite that the page draws: beyond this the frames
// are listed but not drawn (the converter still writes them).
inline constexpr std::uint64_t kMaxShownPixels = 64ull << 20;
