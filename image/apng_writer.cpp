#include "image/apng_writer.h"

#include "image/png_chunks.h"

using namespace png;

namespace {

constexpr std::size_t kFctlLength = 26;
constexpr std::uint8_t kDisposeToBackground = 1;  // the frame's rectangle cleared to transparent black
constexpr std::uint8_t kBlendSource = 0;          // the frame replaces the rectangle's pixels

}  // namespace

bool ApngWriter::Start(std::int32_t width, std::int32_t height, std::uint32_t frames, std::uint16_t delayNumerator,
                       std::uint16_t delayDenominator, bool rgba, const std::uint8_t* paletteRgb,
                       int transparentIndex) {
    if (!ValidArguments(width, height, level_) || frames == 0 || delayDenominator == 0 || transparentIndex < -1 ||
        transparentIndex > 255)
        return false;
    width_ = width;
    height_ = height;
    frames_ = frames;
    delayNumerator_ = delayNumerator;
    delayDenominator_ = delayDenominator;
    rgba_ = rgba;
    palette_ = paletteRgb;
    std::uint8_t control[kActlLength];
    PutBigEndian32(control, frames);
    PutBigEndian32(control + 4, 0);  // plays: forever
    return WriteHeader(sink_, width, height, rgba ? kColourRgba : kColourIndexed, paletteRgb,
                       rgba ? -1 : transparentIndex, control);
}

bool ApngWriter::AddFrame(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                          const RowSource& source) {
    const bool first = added_ == 0;
    if (added_ >= frames_ || width < 1 || height < 1 || x < 0 || y < 0 ||
        static_cast<std::int64_t>(x) + width > width_ || static_cast<std::int64_t>(y) + height > height_ ||
        (first && (x != 0 || y != 0 || width != width_ || height != height_)))
        return false;
    std::uint8_t chunk[kChunkFraming + kFctlLength];
    std::uint8_t* data = chunk + 8;
    PutBigEndian32(data, sequence_++);
    PutBigEndian32(data + 4, static_cast<std::uint32_t>(width));
    PutBigEndian32(data + 8, static_cast<std::uint32_t>(height));
    PutBigEndian32(data + 12, static_cast<std::uint32_t>(x));
    PutBigEndian32(data + 16, static_cast<std::uint32_t>(y));
    PutBigEndian16(data + 20, delayNumerator_);
    PutBigEndian16(data + 22, delayDenominator_);
    data[24] = kDisposeToBackground;
    data[25] = kBlendSource;
    if (!sink_.Write(chunk, FrameChunk(chunk, "fcTL", kFctlLength))) return false;

    ImageDataWriter stream(sink_);
    if (!stream.Start(level_, kPngStrategy, first ? nullptr : &sequence_)) return false;
    for (std::int32_t row = 0; row < height; ++row) {
        const std::uint8_t* indices = nullptr;
        const std::uint8_t* opaque = nullptr;
        if (!source(row, &indices, &opaque)) return false;
        if (!(rgba_ ? StageRgbaRow(stream, indices, opaque, width, palette_) : StageIndexedRow(stream, indices, width)))
            return false;
    }
    if (!stream.Finish()) return false;
    ++added_;
    return true;
}

bool ApngWriter::Finish() { return added_ == frames_ && WriteEnd(sink_); }
