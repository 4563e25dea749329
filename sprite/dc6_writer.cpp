#include "sprite/dc6_writer.h"

#include <string>
#include <utility>

#include "sprite/dc6_sprite.h"

namespace {

constexpr std::int32_t kVersion = 6;
constexpr std::uint64_t kFileHeaderSize = 24;  // up to the frame table
constexpr std::int32_t kMaxDimension = 0xFFFF;
// The reader takes files whose size plus its slack fits in 32 bits.
constexpr std::uint64_t kMaxFileSize = 0xFFFFFFFFull - kFileSlack;

void PutUint32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutInt32(std::vector<std::uint8_t>& out, std::int32_t value) { PutUint32(out, static_cast<std::uint32_t>(value)); }

bool Refuse(std::string* reason, std::string text) {
    if (reason != nullptr) *reason = std::move(text);
    return false;
}

}  // namespace

bool WriteDc6(ByteSink& sink, const Dc6File& file, std::string* reason) {
    const std::size_t count = file.frames.size();
    if (count < 1 || count > static_cast<std::size_t>(kMaxBlocks))
        return Refuse(reason, "a sprite holds 1 to 12 frames, not " + std::to_string(count));

    // Every offset before any byte goes out, in 64 bits.
    std::vector<std::uint64_t> offsets(count);
    std::uint64_t position = kFileHeaderSize + 4 * count;
    for (std::size_t i = 0; i < count; ++i) {
        const Dc6FrameRecord& frame = file.frames[i];
        if (frame.width < 0 || frame.width > kMaxDimension || frame.height < 0 || frame.height > kMaxDimension)
            return Refuse(reason, "frame " + std::to_string(i) + " is " + std::to_string(frame.width) + " x " +
                                      std::to_string(frame.height) + " pixels; each side may be 0 to 65535");
        offsets[i] = position;
        position += kFrameHeaderSize + frame.coded.size();
        if (position > kMaxFileSize) return Refuse(reason, "the sprite file would be larger than 4 GiB");
    }

    std::vector<std::uint8_t> head;
    head.reserve(static_cast<std::size_t>(kFileHeaderSize + 4 * count));
    PutInt32(head, kVersion);
    PutUint32(head, file.header4to7);
    PutUint32(head, file.header8to11);
    head.insert(head.end(), file.terminator.begin(), file.terminator.end());
    PutUint32(head, file.header16to19);
    PutInt32(head, static_cast<std::int32_t>(count));
    for (std::uint64_t offset : offsets) PutUint32(head, static_cast<std::uint32_t>(offset));
    if (!sink.Write(head.data(), head.size())) return Refuse(reason, "the sprite file could not be written");

    for (const Dc6FrameRecord& frame : file.frames) {
        head.clear();
        PutUint32(head, frame.header0to3);
        PutInt32(head, frame.width);
        PutInt32(head, frame.height);
        PutInt32(head, frame.xOffset);
        PutInt32(head, frame.yOffset);
        PutUint32(head, frame.header20to23);
        PutUint32(head, frame.header24to27);
        PutUint32(head, static_cast<std::uint32_t>(frame.coded.size()));
        if (!sink.Write(head.data(), head.size()) ||
            (!frame.coded.empty() && !sink.Write(frame.coded.data(), frame.coded.size())))
            return Refuse(reason, "the sprite file could not be written");
    }
    return true;
}
