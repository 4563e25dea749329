#include "sprite/dc6_sprite.h"

namespace {

// A header field of a file that may be shorter than the header: the bytes
// past its end count as zero.
std::uint32_t FieldAt(const std::uint8_t* bytes, std::uint32_t size, std::uint32_t offset) {
    std::uint32_t value = 0;
    for (std::uint32_t i = 0; i < 4; ++i)
        if (static_cast<std::uint64_t>(offset) + i < size)
            value |= static_cast<std::uint32_t>(bytes[offset + i]) << (8 * i);
    return value;
}

std::optional<Dc6Sprite> Refuse(Diagnostics& diagnostics, NoticeCode code, std::int32_t frame = -1) {
    Diagnostic notice;
    notice.code = code;
    notice.frame = frame;
    diagnostics.Report(notice);
    return std::nullopt;
}

Dc6Frame ReadFrame(const std::uint8_t* bytes, std::uint32_t size, std::uint32_t offset) {
    Dc6Frame frame;
    frame.present = true;
    frame.offset = offset;
    const std::uint8_t* header = bytes + offset;
    frame.header0to3 = ReadUint32(header + kFrameField0Offset);
    frame.width = ReadInt32(header + kFrameWidthOffset);
    frame.height = ReadInt32(header + kFrameHeightOffset);
    frame.xOffset = ReadInt32(header + kFrameXOffset);
    frame.yOffset = ReadInt32(header + kFrameYOffset);
    frame.header20to23 = ReadUint32(header + kFrameField20Offset);
    frame.header24to27 = ReadUint32(header + kFrameField24Offset);
    frame.storedLength = ReadUint32(header + kFrameLengthOffset);
    frame.data = header + kFrameHeaderSize;
    // The header lies inside the file; its coded data may claim more bytes
    // than the file holds.
    const std::uint64_t available = static_cast<std::uint64_t>(size) - offset - kFrameHeaderSize;
    frame.length = frame.storedLength > available ? static_cast<std::uint32_t>(available) : frame.storedLength;
    return frame;
}

}  // namespace

std::optional<Dc6Sprite> ParseDc6(const std::uint8_t* bytes, std::uint32_t size, Diagnostics& diagnostics,
                                  Dc6Damage damage) {
    if (static_cast<std::int32_t>(FieldAt(bytes, size, kVersionOffset)) != kDc6Version)
        return Refuse(diagnostics, NoticeCode::kNotVersion6);
    Dc6Sprite sprite;
    for (std::uint32_t i = 0; i < 4; ++i)
        sprite.terminator[i] = static_cast<std::uint8_t>(FieldAt(bytes, size, kTerminatorOffset) >> (8 * i));
    const auto count = static_cast<std::int32_t>(FieldAt(bytes, size, kBlockCountOffset));
    if (count > kMaxBlocks || count < 1) return Refuse(diagnostics, NoticeCode::kInvalidBlockCount);

    // The frame table and every frame header must lie wholly inside the file.
    if (kFrameTableOffset + std::uint64_t{4} * static_cast<std::uint64_t>(count) > size)
        return Refuse(diagnostics, NoticeCode::kInvalidFrameData);
    sprite.header4to7 = ReadUint32(bytes + kFileField4Offset);
    sprite.header8to11 = ReadUint32(bytes + kFileField8Offset);
    sprite.header16to19 = ReadUint32(bytes + kFileField16Offset);
    for (std::int32_t i = 0; i < count; ++i) {
        const std::uint32_t offset = ReadUint32(bytes + kFrameTableOffset + 4u * static_cast<std::uint32_t>(i));
        if (static_cast<std::uint64_t>(offset) + kFrameHeaderSize > size) {
            if (damage == Dc6Damage::kRefuse) return Refuse(diagnostics, NoticeCode::kInvalidFrameData, i);
            sprite.frames.emplace_back();
            sprite.frames.back().offset = offset;
            continue;
        }
        sprite.frames.push_back(ReadFrame(bytes, size, offset));
    }
    for (const Dc6Frame& frame : sprite.frames)
        if (frame.present && (frame.xOffset != 0 || frame.yOffset != 0)) sprite.separateFrames = true;
    return sprite;
}
