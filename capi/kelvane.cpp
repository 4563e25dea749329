#include "capi/kelvane.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "convert/animation.h"
#include "convert/colour_mapping.h"
#include "convert/frame_coding.h"
#include "convert/frame_placement.h"
#include "convert/sprite_packing.h"
#include "image/palette.h"
#include "notice/diagnostics.h"
#include "platform/byte_sink.h"
#include "platform/heap_block.h"
#include "sprite/dc6_encoder.h"
#include "sprite/dc6_sprite.h"
#include "sprite/dc6_writer.h"
#include "sprite/frame_decoder.h"

namespace {

// What the packer's notices tell the user to do. The callers of this
// interface (Python, the GIMP plug-in) name their own way of asking for the
// nearest colours, or have none.
const PackWording kInterfaceWording = {
    "give the original sprite", nullptr, "give the sprite's palette", "name the sprite", "keep the fill index",
};

char* CopyText(const std::string& text) {
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy != nullptr) std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

void SetReason(char** reason, const std::string& text) {
    if (reason != nullptr) *reason = CopyText(text);
}

// A notice as the command-line tools print it: its text, and the reason
// after a colon.
std::string NoticeLineText(const Diagnostic& notice) {
    std::string body = NoticeText(notice);
    if (!notice.reason.empty()) body += ": " + notice.reason;
    return body;
}

// Hands each notice to the caller's function, marked with the frame it is about.
class CallbackSink final : public Diagnostics {
public:
    CallbackSink(kelvane_notice_fn notice, void* context) : notice_(notice), context_(context) {}
    void Report(const Diagnostic& notice) override {
        Diagnostic marked = notice;
        if (marked.frame < 0) marked.frame = frame;
        if (notice_ != nullptr) notice_(context_, marked.frame, NoticeLineText(marked).c_str());
    }
    std::int32_t frame = -1;

private:
    kelvane_notice_fn notice_;
    void* context_;
};

void FreeFrames(kelvane_sprite* sprite) {
    if (sprite->frames == nullptr) return;
    for (std::int32_t i = 0; i < sprite->frame_count; ++i) {
        std::free(sprite->frames[i].indices);
        std::free(sprite->frames[i].opaque);
    }
    std::free(sprite->frames);
}

// Decodes one frame into out; false (after a notice) when it cannot be.
bool DecodeInto(const Dc6Sprite& sprite, const Dc6Frame& frame, std::int32_t number, CallbackSink& sink,
                kelvane_frame* out) {
    Diagnostic damaged;
    damaged.frame = number;
    if (!frame.present) {
        damaged.code = NoticeCode::kInvalidFrameData;
        sink.Report(damaged);
        return false;
    }
    const std::uint64_t pixels = static_cast<std::uint64_t>(frame.width < 0 ? 0 : frame.width) *
                                 static_cast<std::uint64_t>(frame.height < 0 ? 0 : frame.height);
    if (frame.width < 0 || frame.height < 0 || pixels > kMaxCanvasPixels) {
        damaged.code = NoticeCode::kInvalidSize;
        damaged.path = "frame " + std::to_string(number);
        sink.Report(damaged);
        return false;
    }
    out->indices = AllocateCanvas(frame.width, frame.height, sprite.terminator[3]);
    out->opaque = static_cast<std::uint8_t*>(std::calloc(pixels + kCanvasSlack, 1));
    if (out->indices == nullptr || out->opaque == nullptr) {
        damaged.code = NoticeCode::kNoMemory;
        damaged.path = "frame " + std::to_string(number);
        sink.Report(damaged);
        std::free(out->indices);
        std::free(out->opaque);
        out->indices = out->opaque = nullptr;
        return false;
    }
    DecodeWatch watch;
    watch.opaque = out->opaque;
    sink.frame = number;
    DecodeFrame(frame, sprite.terminator, {out->indices, frame.width, frame.height}, 0, 0, &sink, &watch);
    sink.frame = -1;
    return true;
}

// The original sprite's frames, for the indices of shared colours.
struct Original {
    HeapBlock bytes;
    std::optional<Dc6Sprite> sprite;
};

}  // namespace

extern "C" {

kelvane_sprite* kelvane_read(const uint8_t* bytes, size_t size, kelvane_notice_fn notice, void* context,
                             char** reason) {
    if (reason != nullptr) *reason = nullptr;
    // The reader's files: up to 4 GiB less the slack the decoder reads into.
    if (size > 0xFFFFFFFFull - kFileSlack) {
        SetReason(reason, "the file is too large for a sprite");
        return nullptr;
    }
    HeapBlock block(static_cast<std::uint8_t*>(std::calloc(size + kFileSlack, 1)));
    if (!block) {
        SetReason(reason, "not enough memory to read the sprite");
        return nullptr;
    }
    if (size > 0) std::memcpy(block.get(), bytes, size);
    DiagnosticList refusal;
    const std::optional<Dc6Sprite> parsed =
        ParseDc6(block.get(), static_cast<std::uint32_t>(size), refusal, Dc6Damage::kTolerate);
    if (!parsed) {
        SetReason(reason, refusal.notices.empty() ? std::string("the sprite is refused")
                                                  : NoticeLineText(refusal.notices.front()));
        return nullptr;
    }
    CallbackSink sink(notice, context);
    for (const Diagnostic& d : refusal.notices) sink.Report(d);
    auto* sprite = static_cast<kelvane_sprite*>(std::calloc(1, sizeof(kelvane_sprite)));
    const std::size_t count = parsed->frames.size();
    if (sprite != nullptr) sprite->frames = static_cast<kelvane_frame*>(std::calloc(count, sizeof(kelvane_frame)));
    if (sprite == nullptr || sprite->frames == nullptr) {
        std::free(sprite);
        SetReason(reason, "not enough memory to read the sprite");
        return nullptr;
    }
    sprite->header4to7 = parsed->header4to7;
    sprite->header8to11 = parsed->header8to11;
    sprite->header16to19 = parsed->header16to19;
    std::memcpy(sprite->terminator, parsed->terminator.data(), 4);
    sprite->separate = parsed->separateFrames ? 1 : 0;
    sprite->frame_count = static_cast<std::int32_t>(count);
    std::vector<std::pair<std::int64_t, std::int64_t>> places;
    std::int64_t width = 0, height = 0;
    sprite->stitched_cuts = PlanStitchedPicture(*parsed, &width, &height, &places) ? 0 : 1;
    sprite->stitched_width = width;
    sprite->stitched_height = height;
    const AnimationCanvas canvas = CanvasOfFrames(*parsed);
    sprite->canvas_x = canvas.x;
    sprite->canvas_y = canvas.y;
    sprite->canvas_width = canvas.width;
    sprite->canvas_height = canvas.height;
    for (std::size_t i = 0; i < count; ++i) {
        const Dc6Frame& frame = parsed->frames[i];
        kelvane_frame& out = sprite->frames[i];
        out.width = frame.width;
        out.height = frame.height;
        out.x_offset = frame.xOffset;
        out.y_offset = frame.yOffset;
        out.header0to3 = frame.header0to3;
        out.header20to23 = frame.header20to23;
        out.header24to27 = frame.header24to27;
        if (i < places.size()) {
            out.place_x = places[i].first;
            out.place_y = places[i].second;
        }
        out.decoded = DecodeInto(*parsed, frame, static_cast<std::int32_t>(i), sink, &out) ? 1 : 0;
    }
    return sprite;
}

void kelvane_sprite_free(kelvane_sprite* sprite) {
    if (sprite == nullptr) return;
    FreeFrames(sprite);
    std::free(sprite);
}

void kelvane_string_free(char* text) { std::free(text); }

void kelvane_bytes_free(uint8_t* bytes) { std::free(bytes); }

int kelvane_write(const kelvane_sprite_in* in, kelvane_notice_fn notice, void* context, uint8_t** out, size_t* out_size,
                  char** reason) {
    if (reason != nullptr) *reason = nullptr;
    if (out != nullptr) *out = nullptr;
    if (out_size != nullptr) *out_size = 0;
    if (in == nullptr || out == nullptr || out_size == nullptr) {
        SetReason(reason, "nothing to pack");
        return 0;
    }
    if (in->frame_count < 1 || in->frame_count > kMaxBlocks || in->frames == nullptr) {
        SetReason(reason, "a sprite holds 1 to 12 frames, not " + std::to_string(in->frame_count));
        return 0;
    }
    PackWording wording = kInterfaceWording;
    wording.nearest = in->nearest_advice;
    PaletteRgb palette = BuiltInPaletteRgb();
    if (in->palette != nullptr) std::memcpy(palette.data(), in->palette, palette.size());
    Original original;
    if (in->original != nullptr && in->original_size <= 0xFFFFFFFFull - kFileSlack) {
        original.bytes.reset(static_cast<std::uint8_t*>(std::calloc(in->original_size + kFileSlack, 1)));
        if (original.bytes) {
            std::memcpy(original.bytes.get(), in->original, in->original_size);
            DiagnosticList ignored;
            original.sprite = ParseDc6(original.bytes.get(), static_cast<std::uint32_t>(in->original_size), ignored,
                                       Dc6Damage::kTolerate);
        }
    }
    PixelCounts counts;
    Dc6File file;
    std::memcpy(file.terminator.data(), in->terminator, 4);
    file.header4to7 = in->header4to7;
    file.header8to11 = in->header8to11;
    file.header16to19 = in->header16to19;
    for (std::int32_t n = 0; n < in->frame_count; ++n) {
        const kelvane_frame_in& f = in->frames[n];
        const std::string frameName = "frame " + std::to_string(n);
        if (f.width < 0 || f.height < 0 || f.width > 65535 || f.height > 65535) {
            SetReason(reason, frameName + " has a size a sprite cannot hold (" + std::to_string(f.width) + " x " +
                                  std::to_string(f.height) + ")");
            return 0;
        }
        const std::size_t pixels = static_cast<std::size_t>(f.width) * static_cast<std::size_t>(f.height);
        if (pixels > 0 && f.indices == nullptr && f.rgba == nullptr) {
            SetReason(reason, frameName + " has no pixels");
            return 0;
        }
        std::vector<std::uint8_t> indices(pixels), opaque(pixels);
        // The original's frame of the same number and size, for shared colours.
        std::vector<std::uint8_t> originalPixels, originalOpaque;
        OriginalFrame originalFrame;
        if (original.sprite && static_cast<std::size_t>(n) < original.sprite->frames.size()) {
            const Dc6Frame& o = original.sprite->frames[static_cast<std::size_t>(n)];
            if (o.present && o.length == o.storedLength && o.width == f.width && o.height == f.height && pixels > 0) {
                originalPixels.assign(pixels + kCanvasSlack, 0);
                originalOpaque.assign(pixels + kCanvasSlack, 0);
                DecodeWatch watch;
                watch.opaque = originalOpaque.data();
                DecodeFrame(o, original.sprite->terminator, {originalPixels.data(), f.width, f.height}, 0, 0, nullptr,
                            &watch);
                originalFrame.pixels = originalPixels.data();
                originalFrame.opaque = originalOpaque.data();
            }
        }
        ColourMapper mapper(palette, in->nearest != 0);
        if (f.indices != nullptr) {
            if (f.image_palette != nullptr && (f.image_palette_entries < 1 || f.image_palette_entries > 256)) {
                SetReason(reason, frameName + " has a palette of " + std::to_string(f.image_palette_entries) +
                                      " entries (1 to 256)");
                return 0;
            }
            if (f.image_palette != nullptr)
                mapper.UseImagePalette(f.image_palette, f.image_palette_entries);
            else
                mapper.UseImagePalette(palette.data(), 256);
        }
        for (std::size_t at = 0; at < pixels; ++at) {
            const auto column = static_cast<std::int64_t>(at % static_cast<std::size_t>(f.width));
            const auto row = static_cast<std::int64_t>(at / static_cast<std::size_t>(f.width));
            int index = 0;
            std::uint32_t colour = 0;
            if (f.rgba != nullptr) {
                const std::uint8_t* p = f.rgba + 4 * at;
                if (p[3] == 0) continue;
                if (p[3] != 255) {
                    SetReason(reason, frameName + ": " + PartlyTransparentText(column, row));
                    return 0;
                }
                colour = ColourOf(p);
                index = mapper.MapColour(colour, at, originalFrame);
            } else {
                if (f.opaque != nullptr && f.opaque[at] == 0) continue;
                const std::uint8_t value = f.indices[at];
                if (f.image_palette != nullptr && value >= f.image_palette_entries) {
                    SetReason(reason, frameName + ": pixel " + std::to_string(column) + "," + std::to_string(row) +
                                          " has index " + std::to_string(value) + ", past the image's palette");
                    return 0;
                }
                colour = ColourOf((f.image_palette != nullptr ? f.image_palette : palette.data()) + 3 * value);
                index = mapper.MapIndex(value, at, originalFrame);
            }
            if (index < 0) {
                SetReason(reason, frameName + ": " + NotInPaletteText(colour, column, row, wording));
                return 0;
            }
            indices[at] = static_cast<std::uint8_t>(index);
            opaque[at] = 1;
        }
        counts.Add(mapper);
        Dc6FrameRecord record;
        record.width = f.width;
        record.height = f.height;
        record.xOffset = f.x_offset;
        record.yOffset = f.y_offset;
        record.header0to3 = f.header0to3;
        record.header20to23 = f.header20to23;
        record.header24to27 = f.header24to27;
        std::string why;
        if (!CodePackedFrame(indices.data(), opaque.data(), &record, file.terminator, static_cast<std::size_t>(n),
                             &why)) {
            SetReason(reason, why);
            return 0;
        }
        file.frames.push_back(std::move(record));
    }
    MemorySink sink;
    std::string why;
    if (!WriteDc6(sink, file, &why)) {
        SetReason(reason, why);
        return 0;
    }
    // The pixels that did not come out as given, as kelvane-pack counts them.
    if (notice != nullptr)
        for (const std::string& text : CountedNoticeTexts(counts, original.sprite.has_value(), wording))
            notice(context, -1, text.c_str());
    auto* bytes = static_cast<std::uint8_t*>(std::malloc(sink.data.size() + 1));
    if (bytes == nullptr) {
        SetReason(reason, "not enough memory for the sprite");
        return 0;
    }
    std::memcpy(bytes, sink.data.data(), sink.data.size());
    *out = bytes;
    *out_size = sink.data.size();
    return 1;
}

void kelvane_builtin_palette(uint8_t rgb[768]) {
    const PaletteRgb palette = BuiltInPaletteRgb();
    std::memcpy(rgb, palette.data(), palette.size());
}

int kelvane_read_palette_file(const char* path, uint8_t rgb[768], char** reason) {
    if (reason != nullptr) *reason = nullptr;
    PaletteRgb palette{};
    int colours = 0;
    std::string why;
    if (path == nullptr || !ReadPackPalette(path, &palette, &colours, &why)) {
        SetReason(reason, why.empty() ? std::string("cannot be read") : why);
        return 0;
    }
    std::memcpy(rgb, palette.data(), palette.size());
    return colours > 0 ? colours : 0;
}

}  // extern "C"
