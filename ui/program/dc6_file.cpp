#include "ui/program/dc6_file.h"

#include <cstring>

#include "sprite/file_bytes.h"
#include "ui/program/error_notifier.h"

std::uint8_t* spriteData = nullptr;
std::uint32_t spriteSize = 0;
std::uint8_t terminator[4] = {0, 0, 0, 0};
std::int32_t blockCount = 0;
std::uint8_t* frameTable[kMaxBlocks] = {};
bool separateFrames = false;

std::int32_t frameWidth = 0;
std::int32_t frameHeight = 0;
std::uint8_t* frameData = nullptr;
std::uint32_t frameLength = 0;

std::uint8_t* LoadWholeFile(const char* path, std::uint32_t* size) { return ReadFileWithSlack(path, size); }

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
