#include "sprite/dc6_file.h"

#include <cstring>

#include "notice/error_notifier.h"
#include "platform/directory.h"
#include "platform/files.h"

thread_local std::uint8_t* spriteData = nullptr;
thread_local std::uint32_t spriteSize = 0;
thread_local std::uint8_t terminator[4] = {0, 0, 0, 0};
thread_local std::int32_t blockCount = 0;
thread_local std::uint8_t* frameTable[kMaxBlocks] = {};
thread_local bool separateFrames = false;

thread_local std::int32_t frameWidth = 0;
thread_local std::int32_t frameHeight = 0;
thread_local std::uint8_t* frameData = nullptr;
thread_local std::uint32_t frameLength = 0;

namespace {

// Files larger than this are not read: offsets and lengths are 32-bit, and
// the block must also hold the slack.
constexpr std::uint64_t kMaxFileSize = 0xFFFFFFFFull - kFileSlack;

}  // namespace

std::uint8_t* LoadWholeFile(const char* path, std::uint32_t* size) {
    std::uint64_t length = 0;
    std::uint8_t* block = platform::ReadWholeFile(path, kFileSlack, kMaxFileSize, &length);
    if (block != nullptr) *size = static_cast<std::uint32_t>(length);
    return block;
}

std::uint8_t* LoadWholeFileIn(const platform::FolderHandle& folder, const char* name, std::uint32_t* size,
                              bool* missing) {
    std::uint64_t length = 0;
    std::uint8_t* block = folder.ReadWholeFile(name, kFileSlack, kMaxFileSize, &length, missing);
    if (block != nullptr) *size = static_cast<std::uint32_t>(length);
    return block;
}

int GetFileInfoDC6() {
    // The terminator is taken as soon as the version is right, whatever the
    // rest of the header says.
    const bool version6 = ReadInt32(spriteData + kVersionOffset) == kDc6Version;
    if (version6) std::memcpy(terminator, spriteData + kTerminatorOffset, sizeof terminator);
    const std::optional<Dc6Sprite> sprite = ParseDc6(spriteData, spriteSize, ProgramDiagnostics());
    if (!sprite) {
        // A block count that was read before the sprite was refused stays.
        if (version6) blockCount = ReadInt32(spriteData + kBlockCountOffset);
        return 0;
    }
    blockCount = static_cast<std::int32_t>(sprite->frames.size());
    for (std::int32_t i = 0; i < blockCount; ++i)
        frameTable[i] = spriteData + sprite->frames[static_cast<std::size_t>(i)].offset;
    separateFrames = sprite->separateFrames;
    return 1;
}

void SelectFrame(const std::uint8_t* frame) {
    frameWidth = ReadInt32(frame + kFrameWidthOffset);
    frameHeight = ReadInt32(frame + kFrameHeightOffset);
    frameLength = ReadUint32(frame + kFrameLengthOffset);
    frameData = const_cast<std::uint8_t*>(frame) + kFrameHeaderSize;
    // GetFileInfoDC6 placed every header inside the file; the coded data may
    // still claim more bytes than the file holds.
    const std::uint64_t available = static_cast<std::uint64_t>(spriteData + spriteSize - frameData);
    if (frameLength > available) frameLength = static_cast<std::uint32_t>(available);
}

namespace {

Dc6Frame CodedFrame(const std::uint8_t* data, std::uint32_t length, std::int32_t width, std::int32_t height) {
    Dc6Frame frame;
    frame.present = true;
    frame.width = width;
    frame.height = height;
    frame.data = data;
    frame.length = length;
    frame.storedLength = length;
    return frame;
}

Dc6Terminator CurrentTerminator() { return {terminator[0], terminator[1], terminator[2], terminator[3]}; }

}  // namespace

void DecodeFrame(const std::uint8_t* data, std::uint32_t length, std::int32_t width, std::int32_t height,
                 std::uint8_t* canvas, std::int32_t canvasWidth, std::int32_t canvasHeight, std::int64_t x,
                 std::int64_t y, const DecodeWatch* watch) {
    Diagnostics* faults = watch != nullptr && watch->quiet ? nullptr : &ProgramDiagnostics();
    DecodeFrame(CodedFrame(data, length, width, height), CurrentTerminator(), {canvas, canvasWidth, canvasHeight}, x, y,
                faults, watch);
}

void CountFrameIndices(const std::uint8_t* data, std::uint32_t length, std::int32_t width, std::int32_t height,
                       std::int32_t canvasWidth, std::int32_t canvasHeight, std::int64_t x, std::int64_t y,
                       std::uint64_t counts[256]) {
    CountFrameIndices(CodedFrame(data, length, width, height), CurrentTerminator(), canvasWidth, canvasHeight, x, y,
                      counts);
}

std::uint8_t* AllocateCanvas(std::int32_t width, std::int32_t height) {
    return AllocateCanvas(width, height, terminator[3]);
}
