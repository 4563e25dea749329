// Which palette index marks the transparent pixels of an image.
//
// A pixel is opaque when a literal run of a frame wrote it; every other pixel
// (skipped, after a row's last literal, in rows never reached, between the
// frames of a stitched image or a sheet) is transparent. All transparent
// pixels share one index T: the fill byte when no opaque pixel uses it, so
// that the indices stay those of the PCX file, else the lowest index no
// opaque pixel uses. T is chosen before the canvas is filled, from the
// indices the frames' literal runs write (convert/index_use.h), and the
// canvas starts out as T: afterwards a pixel is transparent exactly when it
// holds T, and no mask of the opaque pixels is needed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "convert/index_use.h"

// When opaque pixels use all 256 indices, no index is left for T.
inline constexpr int kNoIndexLeft = -2;

struct TransparencyPlan {
    int index = kNoIndexLeft;  // T, or kNoIndexLeft
    // What the canvas starts out as: T; with no index left, the index opaque
    // pixels use least, whose opaque pixels the decoder then lists
    // (DecodeWatch), so that they can be told from the transparent ones.
    std::uint8_t fill = 0;
};

TransparencyPlan PlanTransparency(const IndexUse& use, std::uint8_t fillByte);

// The transparency of a decoded canvas, for its writer.
struct CanvasTransparency {
    int index = -1;     // T, held by the transparent pixels; -1: no pixel is transparent
    bool rgba = false;  // no index was left, and some pixel is transparent: those of
                        // index marker that opaqueMarked does not list
    std::uint8_t marker = 0;
    std::vector<std::uint32_t> opaqueMarked;  // canvas offsets, ascending
};

// Settles the transparency of count decoded canvas pixels, which started out
// as plan.fill; marked: the offsets the decoder listed (any order, repeats
// allowed) when no index was left. Where frames overlapped, an index counted
// in the plan may be held by no pixel any more: the choice is then made again
// from what the canvas holds, and the transparent pixels take the index so
// chosen (the canvas changes), exactly as if it had been known before.
CanvasTransparency SettleTransparency(const TransparencyPlan& plan, std::uint8_t* canvas, std::size_t count,
                                      std::vector<std::uint32_t> marked, bool framesOverlap, std::uint8_t fillByte);
