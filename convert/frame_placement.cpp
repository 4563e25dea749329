#include "convert/frame_placement.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "convert/image_writer.h"
#include "convert/manifest.h"
#include "convert/output_options.h"
#include "image/palette.h"
#include "notice/error_notifier.h"
#include "platform/files.h"
#include "platform/heap_block.h"
#include "sprite/frame_decoder.h"

std::int64_t frameX[kMaxBlocks] = {};
std::int64_t frameY[kMaxBlocks] = {};
std::int32_t imagesWritten = 0;

namespace {

constexpr std::int32_t kTileWidth = 256;  // a frame this wide lets the next one share its row
constexpr std::int64_t kMaxDimension = 0xFFFF;

// Header fields the conversion does not interpret, kept for the manifest.
constexpr std::uint32_t kFileField4 = 4, kFileField8 = 8, kFileField16 = 16;
constexpr std::uint32_t kFrameField0 = 0, kFrameField20 = 20, kFrameField24 = 24;
constexpr std::uint32_t kFrameXOffset = 12, kFrameYOffset = 16;

const char kStitchedPath[] = "%s" KV_PATH_SEPARATOR "%s.%s";
const char kSeparatePath[] = "%s" KV_PATH_SEPARATOR "%s%i.%s";
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
const char kNoFolder[] = "no output folder is open";

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
    // The file's name without its folder, as the manifest names it.
    const char* Name() const {
        const char* slash = std::strrchr(text, platform::kPathSeparator);
        return slash == nullptr ? text : slash + 1;
    }
};

// The folder part of the output paths: the open folder's, or what it would be.
const char* FolderPath() {
    return outputFolder != nullptr ? outputFolder->path().c_str() : outputOptions.folder.c_str();
}

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

// Checks an output path: it fits, the run has a folder for it and has not
// written it yet. False after a notice.
bool PathFree(const OutputPath& path) {
    if (!path.Fits()) {
        Notify(kUnableToWrite, path.text, kPathTooLong);
        return false;
    }
    if (outputFolder == nullptr) {
        Notify(kUnableToWrite, path.text, kNoFolder);
        return false;
    }
    if (pathsWritten.count(PathKey(path.text)) != 0) {
        Notify(kAlreadyWritten, path.text);
        return false;
    }
    return true;
}

// One frame of an image: which frame, and where its top-left pixel lies.
struct Placement {
    std::int32_t frame;
    std::int64_t x;
    std::int64_t y;
};

// One image to write: its path, its size, and the frames decoded onto it.
struct PlannedImage {
    OutputPath path;
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::vector<Placement> frames;
};

// What became of each frame, for the manifest.
struct FrameOutcome {
    const PlannedImage* image = nullptr;  // the image holding it, when written
    std::int64_t x = 0;
    std::int64_t y = 0;
    int transparentIndex = -1;
    bool rgba = false;
};

// Decodes the image's frames onto a fresh canvas and writes it. Returns the
// transparent index and format of the file written, or false after a notice.
bool WritePlannedImage(const PlannedImage& image, WrittenImage* written) {
    if (!ValidImageSize(image.width, image.height)) {
        Notify(kInvalidSize, image.path.text);
        return false;
    }
    if (!PathFree(image.path)) return false;
    const auto width = static_cast<std::int32_t>(image.width);
    const auto height = static_cast<std::int32_t>(image.height);
    HeapBlock canvas(AllocateCanvas(width, height));
    // Which pixels are opaque matters only where transparency is written.
    const bool needsMask = outputOptions.format == ImageFormat::Png && outputOptions.transparency;
    HeapBlock opaque;
    if (canvas && needsMask) opaque.reset(static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(width) * height, 1)));
    if (!canvas || (needsMask && !opaque)) {
        Notify(kNoMemory, image.path.text);
        return false;
    }
    for (const Placement& placed : image.frames) {
        SelectFrame(frameTable[placed.frame]);
        DecodeFrame(frameData, frameLength, frameWidth, frameHeight, canvas.get(), width, height, placed.x, placed.y,
                    opaque.get());
    }
    std::string reason;
    if (!WriteImageFile(*outputFolder, image.path.Name(), canvas.get(), opaque.get(), width, height, written,
                        &reason)) {
        Notify(kUnableToWrite, image.path.text, reason.c_str());
        return false;
    }
    ++imagesWritten;
    pathsWritten.insert(PathKey(image.path.text));
    return true;
}

// Stitched mode: all frames on one image, in rows; a frame continues its
// predecessor's row only when that predecessor is exactly 256 pixels wide.
std::vector<PlannedImage> PlanStitched(const char* name) {
    frameWidth = 0;
    frameHeight = 0;
    std::int64_t x = 0;
    std::int64_t height = 0;
    PlannedImage image;
    for (std::int32_t i = 0; i < blockCount; ++i) {
        if (frameWidth != kTileWidth) x = 0;
        SelectFrame(frameTable[i]);
        frameX[i] = x;
        if (x == 0) height += frameHeight;  // a row is as high as its first frame
        frameY[i] = height - frameHeight;   // frames of a row share its bottom line
        x += frameWidth;
        // Frames that do not fit (a wider row above the last, a frame taller
        // than the rows up to its own) are clipped by the decoder.
        image.frames.push_back({i, frameX[i], frameY[i]});
    }
    image.width = x;  // the last row's width, not the widest row's
    image.height = height;
    std::snprintf(image.path.text, sizeof image.path.text, kStitchedPath, FolderPath(), name,
                  ImageExtension(outputOptions.format));
    return {image};
}

// Separate mode: every frame an image of its own.
std::vector<PlannedImage> PlanSeparate(const char* name) {
    std::vector<PlannedImage> images;
    for (std::int32_t i = 0; i < blockCount; ++i) {
        SelectFrame(frameTable[i]);
        PlannedImage image;
        image.width = frameWidth;
        image.height = frameHeight;
        image.frames.push_back({i, 0, 0});
        std::snprintf(image.path.text, sizeof image.path.text, kSeparatePath, FolderPath(), name, i,
                      ImageExtension(outputOptions.format));
        images.push_back(image);
    }
    return images;
}

// A sheet: the images side by side, left to right, top-aligned. An image
// that could not be written on its own stays out, with its notice.
std::vector<PlannedImage> PlanSheet(std::vector<PlannedImage> images, const char* name) {
    if (images.size() == 1) return images;
    PlannedImage sheet;
    std::snprintf(sheet.path.text, sizeof sheet.path.text, kStitchedPath, FolderPath(), name,
                  ImageExtension(outputOptions.format));
    for (const PlannedImage& image : images) {
        if (!ValidImageSize(image.width, image.height)) {
            Notify(kInvalidSize, image.path.text);
            continue;
        }
        for (const Placement& placed : image.frames) sheet.frames.push_back({placed.frame, sheet.width + placed.x, placed.y});
        sheet.width += image.width;
        if (image.height > sheet.height) sheet.height = image.height;
    }
    if (sheet.frames.empty()) return {};
    return {sheet};
}

// The manifest of the sprite, NAME.json in the output folder.
void WriteManifest(const char* spriteName, const char* name, const std::vector<FrameOutcome>& outcomes) {
    OutputPath path;
    std::snprintf(path.text, sizeof path.text, kStitchedPath, FolderPath(), name, "json");
    if (!PathFree(path)) return;
    if (!IsManifestFileName(spriteName) || !IsManifestFileName(path.Name())) {
        Notify(kUnableToWrite, path.text, "the name cannot stand in a manifest");
        return;
    }
    SpriteManifest manifest;
    manifest.version = KELVANE_VERSION_TEXT;
    manifest.sprite = spriteName;
    manifest.layout = separateFrames ? ManifestLayout::kSeparate : ManifestLayout::kStitched;
    for (int i = 0; i < 4; ++i) manifest.terminator[static_cast<std::size_t>(i)] = terminator[i];
    manifest.header4to7 = ReadUint32(spriteData + kFileField4);
    manifest.header8to11 = ReadUint32(spriteData + kFileField8);
    manifest.header16to19 = ReadUint32(spriteData + kFileField16);
    manifest.palette = outputOptions.paletteName;
    manifest.transparency = outputOptions.format == ImageFormat::Png && outputOptions.transparency;
    bool commonIndex = true;
    for (std::int32_t i = 0; i < blockCount; ++i) {
        const std::uint8_t* header = frameTable[i];
        const FrameOutcome& outcome = outcomes[static_cast<std::size_t>(i)];
        FrameEntry entry;
        if (outcome.image != nullptr) entry.filename = outcome.image->path.Name();
        entry.x = static_cast<std::int32_t>(outcome.x);
        entry.y = static_cast<std::int32_t>(outcome.y);
        entry.width = ReadInt32(header + 4);
        entry.height = ReadInt32(header + 8);
        entry.xOffset = ReadInt32(header + kFrameXOffset);
        entry.yOffset = ReadInt32(header + kFrameYOffset);
        entry.header0to3 = ReadUint32(header + kFrameField0);
        entry.header20to23 = ReadUint32(header + kFrameField20);
        entry.header24to27 = ReadUint32(header + kFrameField24);
        if (outcome.transparentIndex >= 0) entry.transparentIndex = static_cast<std::uint8_t>(outcome.transparentIndex);
        if (i > 0 && entry.transparentIndex != manifest.frames.front().transparentIndex) commonIndex = false;
        if (outcome.image != nullptr && !manifest.image) {
            manifest.image = entry.filename;
            manifest.imageWidth = static_cast<std::int32_t>(outcome.image->width);
            manifest.imageHeight = static_cast<std::int32_t>(outcome.image->height);
            manifest.format = outcome.rgba ? ManifestImageFormat::kRgba : ManifestImageFormat::kIndexed;
        }
        manifest.frames.push_back(entry);
    }
    if (commonIndex) manifest.transparentIndex = manifest.frames.front().transparentIndex;

    const std::string text = ManifestToJson(manifest);
    std::string reason;
    std::unique_ptr<platform::PendingFile> file = outputFolder->Begin(path.Name(), &reason);
    if (!file || !file->Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()) || !file->Commit()) {
        Notify(kUnableToWrite, path.text, file ? file->Reason().c_str() : reason.c_str());
        return;
    }
    pathsWritten.insert(PathKey(path.text));
}

}  // namespace

void StartConversionRun() {
    imagesWritten = 0;
    pathsWritten.clear();
}

void WriteSpriteImages(char* name) {
    const std::string spriteName = name;
    StripExtension(name);
    std::vector<PlannedImage> images = separateFrames ? PlanSeparate(name) : PlanStitched(name);
    if (outputOptions.sheet) images = PlanSheet(std::move(images), name);

    std::vector<FrameOutcome> outcomes(static_cast<std::size_t>(blockCount));
    for (const PlannedImage& image : images) {
        WrittenImage written;
        if (!WritePlannedImage(image, &written)) continue;
        for (const Placement& placed : image.frames) {
            FrameOutcome& outcome = outcomes[static_cast<std::size_t>(placed.frame)];
            outcome = {&image, placed.x, placed.y, written.transparentIndex, written.rgba};
        }
    }
    if (outputOptions.manifest) WriteManifest(spriteName.c_str(), name, outcomes);
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
