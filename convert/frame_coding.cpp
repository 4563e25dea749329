#include "convert/frame_coding.h"

#include <cstdio>

#include "sprite/dc6_encoder.h"

namespace {

std::string TerminatorText(const std::array<std::uint8_t, 4>& t) {
    char text[16];
    std::snprintf(text, sizeof text, "%02X %02X %02X %02X", t[0], t[1], t[2], t[3]);
    return text;
}

}  // namespace

bool CodePackedFrame(const std::uint8_t* pixels, const std::uint8_t* opaque, Dc6FrameRecord* record,
                     const std::array<std::uint8_t, 4>& terminator, std::size_t number, std::string* reason) {
    record->coded = EncodeFrame(pixels, opaque, record->width, record->height, record->width, terminator.data());
    if (record->coded.empty()) {
        *reason = "frame " + std::to_string(number) + " cannot be coded with the terminator " +
                  TerminatorText(terminator) + ": a row would read as the frame's end; change its first pixels";
        return false;
    }
    return true;
}
