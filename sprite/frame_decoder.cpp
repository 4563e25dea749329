#include "sprite/frame_decoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::uint8_t kZeroByte = 0x00;
constexpr std::uint8_t kEndOfRow = 0x80;

// A damaged frame can hold thousands of faulty codes: each kind of fault is
// shown for its first occurrence in a frame only.
struct FaultsShown {
    bool zeroByte = false;
    bool overrun = false;
};

void ShowOverrun(std::uint64_t position, FaultsShown& shown, Diagnostics& faults) {
    if (shown.overrun) return;
    shown.overrun = true;
    Diagnostic notice;
    notice.code = NoticeCode::kSpanOverrun;
    notice.offset = position;
    faults.Report(notice);
}

void ShowZeroByte(FaultsShown& shown, Diagnostics& faults) {
    if (!shown.zeroByte) {
        Diagnostic notice;
        notice.code = NoticeCode::kZeroByte;
        faults.Report(notice);
    }
    shown.zeroByte = true;
}

// Walks the coded data as the decoder reads it and hands every literal run's
// pixels that land inside the canvas to place(canvas offset, source, count),
// and every fault to fault(position or -1 for a zero byte). Positions in 64
// bits: frame and canvas sizes come from the file.
template <typename Place, typename Fault>
void WalkFrame(const Dc6Frame& frame, const Dc6Terminator& terminator, std::int32_t canvasWidth,
               std::int32_t canvasHeight, std::int64_t x, std::int64_t y, Place&& place, Fault&& fault) {
    const std::uint8_t* const data = frame.data;
    const std::uint32_t length = frame.length;
    const std::int32_t width = frame.width;
    const std::int32_t height = frame.height;
    if (length == 0 || data == nullptr) return;
    // The end of the frame: an end of row whose bytes 2, 3 and 4 after it
    // are terminator bytes 1, 2 and 3.
    const auto endsFrame = [&](const std::uint8_t* p) {
        return p[1] == terminator[1] && p[2] == terminator[2] && p[3] == terminator[3];
    };
    const std::uint8_t* const end = data + length;
    const std::uint8_t* p = data;
    std::int64_t row = static_cast<std::int64_t>(height) - 1;  // frame row being decoded, bottom first
    std::int64_t column = 0;                                   // pixels taken in this row
    for (;;) {
        if (row < 0) return;  // the row above the frame's top row has been entered
        const std::uint8_t code = *p++;
        if (code == kEndOfRow) {
            if (endsFrame(p)) return;
            --row;
            column = 0;
        } else if (code > kEndOfRow) {
            const std::int64_t run = code - kEndOfRow;
            const std::int64_t room = std::max<std::int64_t>(0, width - column);
            column += std::min(run, room);
            if (run > room) fault(static_cast<std::int64_t>(p - data));
        } else if (code == kZeroByte) {
            fault(-1);
        } else {
            const std::int64_t run = code;
            const std::int64_t taken = std::min(run, std::max<std::int64_t>(0, width - column));
            const std::int64_t canvasRow = y + row;
            if (canvasRow >= 0 && canvasRow < canvasHeight) {
                const std::int64_t first = std::max<std::int64_t>(x + column, 0);
                const std::int64_t last = std::min<std::int64_t>(x + column + taken, canvasWidth);
                if (first < last)
                    place(canvasRow * canvasWidth + first, p + (first - (x + column)),
                          static_cast<std::size_t>(last - first));
            }
            p += taken;
            column += taken;
            if (run > taken) fault(static_cast<std::int64_t>(p - data));
        }
        if (p >= end) return;
    }
}

}  // namespace

std::uint8_t* AllocateCanvas(std::int32_t width, std::int32_t height, std::uint8_t fill) {
    if (width < 0 || height < 0) return nullptr;
    const std::uint64_t pixels = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (pixels > kMaxCanvasPixels) return nullptr;
    const std::size_t size = static_cast<std::size_t>(pixels) + kCanvasSlack;
    auto* canvas = static_cast<std::uint8_t*>(std::malloc(size));
    if (canvas != nullptr) std::memset(canvas, fill, size);
    return canvas;
}

void DecodeFrame(const Dc6Frame& frame, const Dc6Terminator& terminator, CanvasView canvasView, std::int64_t x,
                 std::int64_t y, Diagnostics* faults, const DecodeWatch* watch) {
    FaultsShown shown;
    std::uint8_t* const canvas = canvasView.pixels;
    std::vector<std::uint32_t>* marked = watch != nullptr ? watch->marked : nullptr;
    const std::uint8_t marker = watch != nullptr ? watch->marker : 0;
    std::uint8_t* const opaque = watch != nullptr ? watch->opaque : nullptr;
    WalkFrame(
        frame, terminator, canvasView.width, canvasView.height, x, y,
        [&](std::int64_t at, const std::uint8_t* source, std::size_t count) {
            std::memcpy(canvas + at, source, count);
            if (opaque != nullptr) std::memset(opaque + at, 1, count);
            if (marked == nullptr) return;
            for (const std::uint8_t* hit = source;
                 (hit = static_cast<const std::uint8_t*>(
                      std::memchr(hit, marker, count - static_cast<std::size_t>(hit - source)))) != nullptr;
                 ++hit)
                marked->push_back(static_cast<std::uint32_t>(at + (hit - source)));
        },
        [&](std::int64_t position) {
            if (faults == nullptr) return;
            if (position < 0)
                ShowZeroByte(shown, *faults);
            else
                ShowOverrun(static_cast<std::uint64_t>(position), shown, *faults);
        });
}

void CountFrameIndices(const Dc6Frame& frame, const Dc6Terminator& terminator, std::int32_t canvasWidth,
                       std::int32_t canvasHeight, std::int64_t x, std::int64_t y, std::uint64_t counts[256]) {
    WalkFrame(
        frame, terminator, canvasWidth, canvasHeight, x, y,
        [&](std::int64_t, const std::uint8_t* source, std::size_t count) {
            for (std::size_t i = 0; i < count; ++i) ++counts[source[i]];
        },
        [](std::int64_t) {});
}
