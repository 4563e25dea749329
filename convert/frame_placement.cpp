#include "convert/frame_placement.h"

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "convert/error_notifier.h"
#include "image/palette.h"
#include "image/pcx_writer.h"
#include "platform/files.h"
#include "platform/heap_block.h"
#include "sprite/frame_decoder.h"

std::int64_t frameX[kMaxBlocks] = {};
std::int64_t frameY[kMaxBlocks] = {};
std::int32_t imagesWritten = 0;

namespace {

constexpr std::int32_t kTileWidth = 256;  // a frame this wide lets the next one share its row
constexpr std::int64_t kMaxDimension = 0xFFFF;

const char kStitchedPath[] = "PCXFiles" KV_PATH_SEPARATOR "%s.pcx";
const char kSeparatePath[] = "PCXFiles" KV_PATH_SEPARATOR "%s%i.pcx";
const char kInvalidSize[] =
    "Image %s is too large or has invalid dimensions and was not written.\n\n"
    "Do you wish to receive further error notification?";
const char kUnableToWrite[] =
    "Unable to write %s!\n\n"
    "Do you wish to receive further error notification?";
const char kAlreadyWritten[] =
    "Image %s was already written in this run and was not replaced.\n\n"
    "Do you wish to receive further error notification?";
const char kNoMemory[] =
    "Not enough memory for image %s; it was not written.\n\n"
    "Do you wish to receive further error notification?";
const char kPathTooLong[] = "path longer than 259 characters";

// The images this run has written, so that a later image of the run with the
// same output path (walk.dc6 in separate mode and walk0.dc6; b.dc6 and b.DC6)
// cannot silently replace an earlier one. Windows finds names without regard
// to letter case, so there they are kept folded.
std::set<std::string> pathsWritten;

std::string PathKey(const char* path) {
    std::string key(path);
#ifdef _WIN32
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
#endif
    return key;
}

// An output path, formatted with room to spare so that an overlong one is
// seen whole rather than cut into another file's name.
struct OutputPath {
    char text[2 * kNameBufferSize];
    bool Fits() const { return std::strlen(text) < static_cast<std::size_t>(kNameBufferSize); }
};

void Notify(const char* format, const char* path, const char* reason = nullptr) {
    char text[3 * kNameBufferSize + 200];
    std::snprintf(text, sizeof text, format, path);
    NotifyError(progressWindow, text, reason);
}

// An image needs at least one pixel each way (a PCX header cannot describe
// fewer) and at most what its 16-bit fields can.
bool ValidImageSize(std::int64_t width, std::int64_t height) {
    return width >= 1 && height >= 1 && width <= kMaxDimension && height <= kMaxDimension &&
           static_cast<std::uint64_t>(width * height) <= kMaxCanvasPixels;
}

// Writes a decoded canvas and counts it, or tells the user why not.
void WriteImage(const OutputPath& path, const std::uint8_t* canvas, std::int32_t width, std::int32_t height) {
    std::string reason;
    if (WritePcx(path.text, canvas, width, height, width, currentPalette, &reason)) {
        ++imagesWritten;
        pathsWritten.insert(PathKey(path.text));
    } else {
        Notify(kUnableToWrite, path.text, reason.c_str());
    }
}

// Checks an image before its canvas is made: size, path, not yet written in
// this run. False after a notice.
bool Writable(const OutputPath& path, std::int64_t width, std::int64_t height) {
    if (!ValidImageSize(width, height)) {
        Notify(kInvalidSize, path.text);
        return false;
    }
    if (!path.Fits()) {
        Notify(kUnableToWrite, path.text, kPathTooLong);
        return false;
    }
    if (pathsWritten.count(PathKey(path.text)) != 0) {
        Notify(kAlreadyWritten, path.text);
        return false;
    }
    return true;
}

// A canvas for the image at path, or null after telling the user.
std::uint8_t* CanvasFor(const OutputPath& path, std::int32_t width, std::int32_t height) {
    std::uint8_t* canvas = AllocateCanvas(width, height);
    if (canvas == nullptr) Notify(kNoMemory, path.text);
    return canvas;
}

void WriteStitched(char* name) {
    // The layout first: the canvas size depends on every frame.
    frameWidth = 0;
    frameHeight = 0;
    std::int64_t x = 0;
    std::int64_t height = 0;
    for (std::int32_t i = 0; i < blockCount; ++i) {
        if (frameWidth != kTileWidth) x = 0;
        SelectFrame(frameTable[i]);
        frameX[i] = x;
        if (x == 0) height += frameHeight;  // a row is as high as its first frame
        frameY[i] = height - frameHeight;   // frames of a row share its bottom line
        x += frameWidth;
    }
    const std::int64_t width = x;  // the last row's width, not the widest row's

    StripExtension(name);
    OutputPath path;
    std::snprintf(path.text, sizeof path.text, kStitchedPath, name);
    if (!Writable(path, width, height)) return;
    const auto canvasWidth = static_cast<std::int32_t>(width);
    const auto canvasHeight = static_cast<std::int32_t>(height);
    HeapBlock canvas(CanvasFor(path, canvasWidth, canvasHeight));
    if (!canvas) return;

    // Frames that do not fit (a wider row above the last, a frame taller than
    // the rows up to its own) are clipped by the decoder.
    for (std::int32_t i = 0; i < blockCount; ++i) {
        SelectFrame(frameTable[i]);
        DecodeFrame(frameData, frameLength, frameWidth, frameHeight, canvas.get(), canvasWidth, canvasHeight,
                    frameX[i], frameY[i]);
    }
    WriteImage(path, canvas.get(), canvasWidth, canvasHeight);
}

void WriteSeparate(char* name) {
    StripExtension(name);
    for (std::int32_t i = 0; i < blockCount; ++i) {
        SelectFrame(frameTable[i]);
        OutputPath path;
        std::snprintf(path.text, sizeof path.text, kSeparatePath, name, i);
        if (!Writable(path, frameWidth, frameHeight)) continue;
        HeapBlock canvas(CanvasFor(path, frameWidth, frameHeight));
        if (!canvas) continue;
        DecodeFrame(frameData, frameLength, frameWidth, frameHeight, canvas.get(), frameWidth, frameHeight, 0, 0);
        WriteImage(path, canvas.get(), frameWidth, frameHeight);
    }
}

}  // namespace

void StartConversionRun() {
    imagesWritten = 0;
    pathsWritten.clear();
}

void WriteSpriteImages(char* name) {
    if (separateFrames)
        WriteSeparate(name);
    else
        WriteStitched(name);
}

void StripExtension(char* name) {
    const std::size_t length = std::strlen(name);
    if (length <= 1) return;
    for (std::size_t i = length - 1; i >= 1; --i) {
        if (name[i] == '.') {
            name[i] = '\0';
            return;
        }
        if (name[i - 1] == platform::kPathSeparator) return;
    }
}
