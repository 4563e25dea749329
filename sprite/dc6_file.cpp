#include "sprite/dc6_file.h"

#include <cstdio>
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

constexpr std::uint32_t kVersionOffset = 0;
constexpr std::uint32_t kTerminatorOffset = 12;
constexpr std::uint32_t kBlockCountOffset = 20;
constexpr std::uint32_t kFrameTableOffset = 24;
constexpr std::int32_t kVersion = 6;


// Files larger than this are not read: offsets and lengths are 32-bit, and
// the block must also hold the slack.
constexpr std::uint64_t kMaxFileSize = 0xFFFFFFFFull - kFileSlack;

const char kNotVersion6[] =
    "GetFileInfoDC6: dc6 file is not version 6 and can not be converted!\n\n"
    "Do you wish to receive further error notification?";
const char kInvalidBlockCount[] =
    "DC6 file has invalid number of blocks and can not be converted!\n\n"
    "Do you wish to receive further error notification?";
const char kInvalidFrameData[] =
    "DC6 file has invalid frame data and can not be converted!\n\n"
    "Do you wish to receive further error notification?";

// Reads a header field that may reach past a short file: the bytes beyond the
// file come from the zero-filled slack, so the value is defined.
std::int32_t HeaderField(std::uint32_t offset) { return ReadInt32(spriteData + offset); }

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
    if (HeaderField(kVersionOffset) != kVersion) {
        NotifyError(progressWindow, kNotVersion6);
        return 0;
    }
    std::memcpy(terminator, spriteData + kTerminatorOffset, sizeof terminator);
    blockCount = HeaderField(kBlockCountOffset);
    if (blockCount > kMaxBlocks || blockCount < 1) {
        NotifyError(progressWindow, kInvalidBlockCount);
        return 0;
    }

    // The frame table and every frame header must lie wholly inside the file.
    const std::uint64_t size = spriteSize;
    if (kFrameTableOffset + 4ull * static_cast<std::uint64_t>(blockCount) > size) {
        NotifyError(progressWindow, kInvalidFrameData);
        return 0;
    }
    for (std::int32_t i = 0; i < blockCount; ++i) {
        const std::uint64_t offset = ReadUint32(spriteData + kFrameTableOffset + 4u * static_cast<std::uint32_t>(i));
        if (offset + kFrameHeaderSize > size) {
            NotifyError(progressWindow, kInvalidFrameData);
            return 0;
        }
        frameTable[i] = spriteData + offset;
    }

    separateFrames = false;
    for (std::int32_t i = 0; i < blockCount; ++i) {
        if (ReadInt32(frameTable[i] + kFrameYOffset) != 0 || ReadInt32(frameTable[i] + kFrameXOffset) != 0) {
            separateFrames = true;
            break;
        }
    }
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
