#include "sprite/frame_decoder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "notice/error_notifier.h"
#include "platform/seam.h"
#include "sprite/dc6_file.h"

namespace {

constexpr std::uint8_t kZeroByte = 0x00;
constexpr std::uint8_t kEndOfRow = 0x80;

void ShowDecoderFault(const char* text) {
    platform::MessageBoxA(progressWindow, text, kConverterCaption, MB_OK | MB_ICONINFORMATION);
}

// A damaged frame can hold thousands of faulty codes: each kind of fault is
// shown for its first occurrence in a frame only.
struct FaultsShown {
    bool zeroByte = false;
    bool overrun = false;
};

void ShowOverrun(std::uint64_t position, FaultsShown& shown) {
    if (shown.overrun) return;
    shown.overrun = true;
    char text[64];
    std::snprintf(text, sizeof text, "Span overrun @ %llX\n", static_cast<unsigned long long>(position));
    ShowDecoderFault(text);
}

bool EndsFrame(const std::uint8_t* p) {
    return p[1] == terminator[1] && p[2] == terminator[2] && p[3] == terminator[3];
}

}  // namespace

std::uint8_t* AllocateCanvas(std::int32_t width, std::int32_t height) {
    if (width < 0 || height < 0) return nullptr;
    const std::uint64_t pixels = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (pixels > kMaxCanvasPixels) return nullptr;
    const std::size_t size = static_cast<std::size_t>(pixels) + kCanvasSlack;
    auto* canvas = static_cast<std::uint8_t*>(std::malloc(size));
    if (canvas != nullptr) std::memset(canvas, terminator[3], size);
    return canvas;
}

void DecodeFrame(const std::uint8_t* data, std::uint32_t length, std::int32_t width, std::int32_t height,
                 std::uint8_t* canvas, std::int32_t canvasWidth, std::int32_t canvasHeight, std::int64_t x,
                 std::int64_t y, std::uint8_t* opaque) {
    if (length == 0) return;
    FaultsShown shown;
    const std::uint8_t* const end = data + length;
    const std::uint8_t* p = data;
    // Positions in 64 bits: frame and canvas sizes come from the file.
    std::int64_t row = static_cast<std::int64_t>(height) - 1;  // frame row being decoded, bottom first
    std::int64_t column = 0;                                   // pixels taken in this row
    for (;;) {
        if (row < 0) return;  // the row above the frame's top row has been entered
        const std::uint8_t code = *p++;
        if (code == kEndOfRow) {
            if (EndsFrame(p)) return;
            --row;
            column = 0;
        } else if (code > kEndOfRow) {
            const std::int64_t run = code - kEndOfRow;
            const std::int64_t room = std::max<std::int64_t>(0, width - column);
            column += std::min(run, room);
            if (run > room) ShowOverrun(static_cast<std::uint64_t>(p - data), shown);
        } else if (code == kZeroByte) {
            if (!shown.zeroByte) ShowDecoderFault("Found ZERO Byte");
            shown.zeroByte = true;
        } else {
            const std::int64_t run = code;
            const std::int64_t taken = std::min(run, std::max<std::int64_t>(0, width - column));
            const std::int64_t canvasRow = y + row;
            if (canvasRow >= 0 && canvasRow < canvasHeight) {
                const std::int64_t first = std::max<std::int64_t>(x + column, 0);
                const std::int64_t last = std::min<std::int64_t>(x + column + taken, canvasWidth);
                if (first < last) {
                    const std::int64_t at = canvasRow * canvasWidth + first;
                    std::memcpy(canvas + at, p + (first - (x + column)), static_cast<std::size_t>(last - first));
                    if (opaque != nullptr) std::memset(opaque + at, 1, static_cast<std::size_t>(last - first));
                }
            }
            p += taken;
            column += taken;
            if (run > taken) ShowOverrun(static_cast<std::uint64_t>(p - data), shown);
        }
        if (p >= end) return;
    }
}
