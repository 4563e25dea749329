#include "convert/animation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "convert/index_use.h"
#include "convert/placement_notices.h"
#include "convert/transparency.h"
#include "image/apng_writer.h"
#include "image/gif_writer.h"
#include "platform/heap_block.h"
#include "sprite/frame_decoder.h"

namespace {

const char kNoIndexForGif[] =
    "a frame uses every colour of the palette, which leaves GIF no index to mark the transparent pixels around "
    "and inside it";

// A frame as the animation places it.
struct Frame {
    const Dc6Frame* coded = nullptr;  // the sprite's
    std::int32_t width = 0;           // 0 x 0 when the frame has no pixel
    std::int32_t height = 0;
    std::int32_t x = 0;  // on the canvas
    std::int32_t y = 0;
    IndexUse use;
};

// A frame decoded onto a canvas of its own size, which started out as fill:
// where no index is free, the opaque pixels of fill are listed.
struct Decoded {
    HeapBlock pixels;
    std::uint8_t fill = 0;
    std::vector<std::uint32_t> marked;  // ascending, when listing
    bool listing = false;
};

bool Decode(const SpriteJob& job, const Frame& frame, const TransparencyPlan& plan, Decoded* out) {
    out->fill = plan.fill;
    out->listing = plan.index == kNoIndexLeft;
    out->marked.clear();
    out->pixels.reset(AllocateCanvas(frame.width, frame.height, plan.fill));
    if (!out->pixels) return false;
    DecodeWatch watch;
    watch.marker = plan.fill;
    watch.marked = out->listing ? &out->marked : nullptr;
    // Quietly: the faults were told with the frame's image.
    DecodeFrame(*frame.coded, job.sprite.terminator, {out->pixels.get(), frame.width, frame.height}, 0, 0, nullptr,
                &watch);
    std::sort(out->marked.begin(), out->marked.end());
    out->marked.erase(std::unique(out->marked.begin(), out->marked.end()), out->marked.end());
    return true;
}

// The opacity of row row of a decoded frame (width pixels) into opaque.
void RowOpacity(const Decoded& frame, std::int32_t width, std::int32_t row, std::uint8_t* opaque) {
    const std::uint8_t* pixels = frame.pixels.get() + static_cast<std::size_t>(row) * static_cast<std::size_t>(width);
    const std::uint64_t start = static_cast<std::uint64_t>(row) * static_cast<std::uint64_t>(width);
    auto next = std::lower_bound(frame.marked.begin(), frame.marked.end(), start);
    for (std::int32_t x = 0; x < width; ++x) {
        if (pixels[x] != frame.fill) {
            opaque[x] = 1;
            continue;
        }
        while (next != frame.marked.end() && *next < start + static_cast<std::uint64_t>(x)) ++next;
        opaque[x] = frame.listing && next != frame.marked.end() && *next == start + static_cast<std::uint64_t>(x);
    }
}

std::vector<Frame> FramesOn(const SpriteJob& job, const AnimationCanvas& canvas) {
    std::vector<Frame> frames;
    for (const Dc6Frame& coded : job.sprite.frames) {
        Frame frame;
        frame.coded = &coded;
        if (coded.width >= 1 && coded.height >= 1) {
            frame.width = coded.width;
            frame.height = coded.height;
            frame.x = static_cast<std::int32_t>(coded.xOffset - canvas.x);
            frame.y = static_cast<std::int32_t>(coded.yOffset - canvas.y);
            CountFrameIndices(coded, job.sprite.terminator, coded.width, coded.height, 0, 0, frame.use.count.data());
        }
        frames.push_back(frame);
    }
    return frames;
}

// Every frame fits the canvas, so the whole canvas and each frame are images
// a 16-bit format can hold.
bool FramesFit(const std::vector<Frame>& frames, const AnimationCanvas& canvas) {
    if (!ValidImageSize(canvas.width, canvas.height)) return false;
    for (const Frame& frame : frames)
        if (frame.width > 0 && !ValidImageSize(frame.width, frame.height)) return false;
    return true;
}

bool EncodeApng(const SpriteJob& job, platform::PendingFile& file, const std::vector<Frame>& frames,
                const AnimationCanvas& canvas, const IndexUse& all, bool* noMemory) {
    const TransparencyPlan plan = PlanTransparency(all, job.sprite.terminator[3]);
    const bool rgba = plan.index == kNoIndexLeft;
    const auto width = static_cast<std::int32_t>(canvas.width);
    const auto height = static_cast<std::int32_t>(canvas.height);
    ApngWriter apng(file);
    if (!apng.Start(width, height, static_cast<std::uint32_t>(frames.size()), 1,
                    static_cast<std::uint16_t>(job.settings.options.fps), rgba, job.settings.palette,
                    rgba ? -1 : plan.index))
        return false;
    std::vector<std::uint8_t> indices(static_cast<std::size_t>(width)), opaque(static_cast<std::size_t>(width));
    for (std::size_t k = 0; k < frames.size(); ++k) {
        const Frame& frame = frames[k];
        Decoded decoded;
        if (frame.width > 0 && !Decode(job, frame, plan, &decoded)) {
            *noMemory = true;
            return false;
        }
        const auto frameRow = [&](std::int32_t row, std::uint8_t* toIndices, std::uint8_t* toOpaque) {
            std::copy_n(decoded.pixels.get() + static_cast<std::size_t>(row) * static_cast<std::size_t>(frame.width),
                        frame.width, toIndices);
            if (rgba) RowOpacity(decoded, frame.width, row, toOpaque);
        };
        bool added;
        if (k == 0) {
            // The first frame is the still image: the whole canvas.
            added = apng.AddFrame(0, 0, width, height,
                                  [&](std::int32_t row, const std::uint8_t** i, const std::uint8_t** o) {
                                      std::fill(indices.begin(), indices.end(), plan.fill);
                                      std::fill(opaque.begin(), opaque.end(), 0);
                                      if (frame.width > 0 && row >= frame.y && row < frame.y + frame.height)
                                          frameRow(row - frame.y, indices.data() + frame.x, opaque.data() + frame.x);
                                      *i = indices.data();
                                      *o = opaque.data();
                                      return true;
                                  });
        } else if (frame.width == 0) {
            // Nothing to show: one transparent pixel.
            indices[0] = plan.fill;
            opaque[0] = 0;
            added = apng.AddFrame(0, 0, 1, 1, [&](std::int32_t, const std::uint8_t** i, const std::uint8_t** o) {
                *i = indices.data();
                *o = opaque.data();
                return true;
            });
        } else {
            added = apng.AddFrame(frame.x, frame.y, frame.width, frame.height,
                                  [&](std::int32_t row, const std::uint8_t** i, const std::uint8_t** o) {
                                      frameRow(row, indices.data(), opaque.data());
                                      *i = indices.data();
                                      *o = opaque.data();
                                      return true;
                                  });
        }
        if (!added) return false;
    }
    return apng.Finish();
}

// Two palette entries of one colour, when the palette has them: keep and
// spare (keep < spare, the lowest such spare). A frame that uses every index
// can show its spare pixels as keep and give spare to transparency.
bool SpareEntry(const std::uint8_t* paletteRgb, int* keep, int* spare) {
    for (int b = 1; b < 256; ++b)
        for (int a = 0; a < b; ++a)
            if (std::equal(paletteRgb + 3 * a, paletteRgb + 3 * a + 3, paletteRgb + 3 * b)) {
                *keep = a;
                *spare = b;
                return true;
            }
    return false;
}

// The index a GIF frame names transparent: the plan's, or for a frame that
// leaves no index free, the spare of two palette entries of one colour
// (*keep is then the entry its pixels take); -1 when the palette has none.
int GifTransparentIndex(const SpriteJob& job, const Frame& frame, const TransparencyPlan& plan, int* keep) {
    *keep = -1;
    if (frame.width == 0) return job.sprite.terminator[3];  // no opaque pixel: any index marks it
    if (plan.index >= 0) return plan.index;
    int spare = -1;
    return SpareEntry(job.settings.palette, keep, &spare) ? spare : -1;
}

// The frame covers the whole canvas with opaque pixels.
bool CoversCanvas(const Frame& frame, const AnimationCanvas& canvas) {
    std::uint64_t opaque = 0;
    for (const std::uint64_t count : frame.use.count) opaque += count;
    return frame.x == 0 && frame.y == 0 && frame.width == canvas.width && frame.height == canvas.height &&
           opaque >= static_cast<std::uint64_t>(frame.width) * static_cast<std::uint64_t>(frame.height);
}

// Every frame names a transparent index, with or without transparent
// pixels, and is restored to the background after it is shown: what readers
// paint there is transparent only when the frame named one (one reader
// paints the screen's background colour otherwise, and takes the whole
// animation as opaque when the first frame names none). The screen's
// background is the first frame's index, for the readers that paint the
// background around the first frame. A frame that leaves no index free takes
// one from two palette entries of one colour; where the palette has no such
// pair, a later frame names none and is restored to what was there before it
// (the transparent canvas); an animation whose first frame is left without
// one cannot be written, unless it shows no transparent pixel at all.
bool EncodeGif(const SpriteJob& job, platform::PendingFile& file, const std::vector<Frame>& frames,
               const AnimationCanvas& canvas, const IndexUse& all, bool* noMemory, std::string* reason) {
    // One index for every frame where one is free; else each frame its own.
    const std::uint8_t fill = job.sprite.terminator[3];
    const TransparencyPlan shared = PlanTransparency(all, fill);
    const auto planFor = [&](const Frame& frame) {
        return shared.index != kNoIndexLeft ? shared : PlanTransparency(frame.use, fill);
    };
    const auto delay = static_cast<std::uint16_t>(std::lround(100.0 / job.settings.options.fps));
    int keep = -1;
    int background = frames.empty() ? 0 : GifTransparentIndex(job, frames.front(), planFor(frames.front()), &keep);
    const bool opaque =
        std::all_of(frames.begin(), frames.end(), [&](const Frame& f) { return CoversCanvas(f, canvas); });
    if (background < 0 && !opaque) {
        *reason = kNoIndexForGif;
        return false;
    }
    if (background < 0) background = 0;  // nothing is transparent: no index is needed
    GifWriter gif(file);
    if (!gif.Start(static_cast<std::int32_t>(canvas.width), static_cast<std::int32_t>(canvas.height),
                   job.settings.palette, static_cast<std::uint8_t>(background)))
        return false;
    std::vector<std::uint8_t> row, opacity;
    for (const Frame& frame : frames) {
        const TransparencyPlan plan = planFor(frame);
        const int index = GifTransparentIndex(job, frame, plan, &keep);
        if (frame.width == 0) {
            const auto none = static_cast<std::uint8_t>(index);
            if (!gif.AddFrame(0, 0, 1, 1, delay, index, [&](std::int32_t, const std::uint8_t** i) {
                    *i = &none;
                    return true;
                }))
                return false;
            continue;
        }
        Decoded decoded;
        if (!Decode(job, frame, plan, &decoded)) {
            *noMemory = true;
            return false;
        }
        const CanvasTransparency settled = SettleTransparency(
            plan, decoded.pixels.get(), static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height),
            decoded.marked, false, fill);
        if (settled.rgba && index < 0) {
            *reason = kNoIndexForGif;
            return false;
        }
        const std::uint8_t* pixels = decoded.pixels.get();
        GifWriter::RowSource source = [&](std::int32_t r, const std::uint8_t** i) {
            *i = pixels + static_cast<std::size_t>(r) * static_cast<std::size_t>(frame.width);
            return true;
        };
        if (keep >= 0) {
            // The spare entry's pixels take the entry of the same colour, and
            // the transparent pixels (those of the fill the decoder did not
            // list) take the spare.
            row.resize(static_cast<std::size_t>(frame.width));
            opacity.resize(static_cast<std::size_t>(frame.width));
            source = [&](std::int32_t r, const std::uint8_t** i) {
                const std::uint8_t* in = pixels + static_cast<std::size_t>(r) * static_cast<std::size_t>(frame.width);
                RowOpacity(decoded, frame.width, r, opacity.data());
                for (std::size_t x = 0; x < row.size(); ++x)
                    row[x] = opacity[x] == 0  ? static_cast<std::uint8_t>(index)
                             : in[x] == index ? static_cast<std::uint8_t>(keep)
                                              : in[x];
                *i = row.data();
                return true;
            };
        }
        const auto disposal = index < 0 && !opaque ? GifWriter::Disposal::Previous : GifWriter::Disposal::Background;
        if (!gif.AddFrame(frame.x, frame.y, frame.width, frame.height, delay, index, source, disposal)) return false;
    }
    return gif.Finish();
}

}  // namespace

void WriteAnimation(const SpriteJob& job, const OutputPath& path, const AnimationCanvas& canvas) {
    const std::vector<Frame> frames = FramesOn(job, canvas);
    if (!FramesFit(frames, canvas)) {
        Notify(job.diagnostics, kInvalidSize, path.text);
        return;
    }
    if (!ClaimPath(job, path)) return;
    IndexUse all;
    for (const Frame& frame : frames)
        for (std::size_t i = 0; i < all.count.size(); ++i) all.count[i] += frame.use.count[i];
    std::string reason;
    std::unique_ptr<platform::PendingFile> file = job.settings.folder->Begin(path.Name(), &reason);
    bool noMemory = false;
    bool written = file != nullptr;
    if (written) {
        written = job.settings.options.animation == AnimationFormat::Gif
                      ? EncodeGif(job, *file, frames, canvas, all, &noMemory, &reason)
                      : EncodeApng(job, *file, frames, canvas, all, &noMemory);
        if (!written && reason.empty()) reason = file->Reason().empty() ? "the image cannot be coded" : file->Reason();
        written = written && file->Commit();
        if (!written && reason.empty()) reason = file->Reason();
    }
    SettlePath(job, path, written);
    if (noMemory)
        Notify(job.diagnostics, kNoMemory, path.text);
    else if (!written)
        Notify(job.diagnostics, kUnableToWrite, path.text, reason.c_str());
}
