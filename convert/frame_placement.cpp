#include "convert/frame_placement.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "convert/animation.h"
#include "convert/image_plan.h"
#include "convert/image_writer.h"
#include "convert/index_use.h"
#include "convert/manifest.h"
#include "convert/output_names.h"
#include "convert/output_options.h"
#include "convert/placement_notices.h"
#include "convert/transparency.h"
#include "image/palette.h"
#include "notice/error_notifier.h"
#include "notice/notice_collector.h"
#include "platform/files.h"
#include "platform/heap_block.h"
#include "sprite/frame_decoder.h"

thread_local std::int64_t frameX[kMaxBlocks] = {};
thread_local std::int64_t frameY[kMaxBlocks] = {};
thread_local std::int32_t imagesWritten = 0;

namespace {

constexpr std::int32_t kTileWidth = 256;  // a frame this wide lets the next one share its row

// Header fields the conversion does not interpret, kept for the manifest.
constexpr std::uint32_t kFileField4 = 4, kFileField8 = 8, kFileField16 = 16;
constexpr std::uint32_t kFrameField0 = 0, kFrameField20 = 20, kFrameField24 = 24;

const char kStitchedPath[] = "%s" KV_PATH_SEPARATOR "%s.%s";
const char kSeparatePath[] = "%s" KV_PATH_SEPARATOR "%s%i.%s";
// What became of each frame, for the manifest.
struct FrameOutcome {
    const PlannedImage* image = nullptr;  // the image holding it, when written
    std::int64_t x = 0;
    std::int64_t y = 0;
    int transparentIndex = -1;
    bool rgba = false;
    bool opaqueFillIndex = false;  // opaque pixels of the fill index, which the image cannot tell from transparency
};

// Whether the images of this run mark their transparent pixels; in the
// others (PCX, PNG without transparency) the fill index stands for them.
bool ImagesMarkTransparency() { return outputOptions.format == ImageFormat::Png && outputOptions.transparency; }

// The frames of an image whose literal runs write the fill index inside it:
// opaque pixels that the image cannot tell from transparent ones; their
// count in *pixels. Found from the coded data, before anything is decoded.
std::vector<std::int32_t> FramesWithOpaqueFill(const PlannedImage& image, std::uint64_t* pixels) {
    std::vector<std::int32_t> frames;
    *pixels = 0;
    for (const Placement& placed : image.frames) {
        PlannedImage alone = image;
        alone.frames = {placed};
        const std::uint64_t count = CountImageIndices(alone).count[terminator[3]];
        if (count > 0) frames.push_back(placed.frame);
        *pixels += count;
    }
    return frames;
}

// The claimed image's pixels onto a fresh canvas, and the canvas to its file.
// With a manifest to say so where the images mark no transparency, the
// frames whose opaque pixels the fill index stands for go to *opaqueFill, and
// the command line is told.
bool DecodeAndWrite(const PlannedImage& image, WrittenImage* written, std::vector<std::int32_t>* opaqueFill) {
    const auto width = static_cast<std::int32_t>(image.width);
    const auto height = static_cast<std::int32_t>(image.height);
    // Where transparency is written, its index is known before the canvas
    // is filled: the canvas starts out as it.
    const bool transparency = ImagesMarkTransparency();
    TransparencyPlan plan;
    if (transparency) plan = PlanTransparency(CountImageIndices(image), terminator[3]);
    std::vector<std::uint32_t> marked;
    DecodeWatch watch;
    watch.marker = plan.fill;
    watch.marked = transparency && plan.index == kNoIndexLeft ? &marked : nullptr;
    HeapBlock canvas(transparency ? AllocateCanvas(width, height, plan.fill) : AllocateCanvas(width, height));
    if (!canvas) {
        Notify(kNoMemory, image.path.text);
        return false;
    }
    for (const Placement& placed : image.frames) {
        SelectFrame(frameTable[placed.frame]);
        DecodeFrame(frameData, frameLength, frameWidth, frameHeight, canvas.get(), width, height, placed.x, placed.y,
                    &watch);
    }
    if (!transparency && outputOptions.manifest) {
        std::uint64_t pixels = 0;
        *opaqueFill = FramesWithOpaqueFill(image, &pixels);
        if (pixels > 0)
            Remark(std::to_string(pixels) + " opaque pixels of " + image.path.text + " have the fill index " +
                   std::to_string(terminator[3]) + ", which the image cannot tell from transparent ones "
                   "(-f png keeps them)");
    }
    CanvasTransparency settled;
    if (transparency)
        settled = SettleTransparency(plan, canvas.get(), static_cast<std::size_t>(width) * height, std::move(marked),
                                     FramesOverlap(image), terminator[3]);
    std::string reason;
    if (!WriteImageFile(*outputFolder, image.path.Name(), canvas.get(), transparency ? &settled : nullptr, width,
                        height, written, &reason)) {
        Notify(kUnableToWrite, image.path.text, reason.c_str());
        return false;
    }
    ++imagesWritten;
    return true;
}

// Decodes the image's frames onto a fresh canvas and writes it. Returns the
// transparent index and format of the file written, or false after a notice.
// With a manifest to write and images that do not mark transparency, the
// frames with opaque pixels of the fill index go to *opaqueFill, and the
// command line is told.
bool WritePlannedImage(const PlannedImage& image, WrittenImage* written, std::vector<std::int32_t>* opaqueFill) {
    if (!ValidImageSize(image.width, image.height)) {
        Notify(kInvalidSize, image.path.text);
        return false;
    }
    if (!ClaimPath(image.path)) return false;
    const bool done = DecodeAndWrite(image, written, opaqueFill);
    SettlePath(image.path, done);
    return done;
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
OutputPath ManifestPath(const char* name) {
    OutputPath path;
    std::snprintf(path.text, sizeof path.text, kStitchedPath, FolderPath(), name, "json");
    return path;
}

void WriteManifest(const char* spriteName, const OutputPath& path, ManifestLayout layout,
                   const std::vector<FrameOutcome>& outcomes) {
    if (!ClaimPath(path)) return;
    if (!IsManifestFileName(spriteName) || !IsManifestFileName(path.Name())) {
        Notify(kUnableToWrite, path.text, "the name cannot stand in a manifest");
        SettlePath(path, false);
        return;
    }
    SpriteManifest manifest;
    manifest.version = KELVANE_VERSION_TEXT;
    manifest.sprite = spriteName;
    manifest.layout = layout;
    for (int i = 0; i < 4; ++i) manifest.terminator[static_cast<std::size_t>(i)] = terminator[i];
    manifest.header4to7 = ReadUint32(spriteData + kFileField4);
    manifest.header8to11 = ReadUint32(spriteData + kFileField8);
    manifest.header16to19 = ReadUint32(spriteData + kFileField16);
    manifest.palette = outputOptions.paletteName;
    // The colours themselves, red, green, blue as the run writes them: the
    // packer maps edited images by them, whatever palette file was used.
    if (currentPalette != nullptr) {
        manifest.paletteRgb.emplace();
        std::memcpy(manifest.paletteRgb->data(), currentPalette, manifest.paletteRgb->size());
    }
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
        entry.opaqueFillIndex = outcome.opaqueFillIndex;
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
    if (separateFrames) {
        const AnimationCanvas canvas = CanvasOfFrames();
        if (ValidImageSize(canvas.width, canvas.height))
            manifest.canvas = ManifestCanvas{static_cast<std::int32_t>(canvas.x), static_cast<std::int32_t>(canvas.y),
                                             static_cast<std::int32_t>(canvas.width),
                                             static_cast<std::int32_t>(canvas.height)};
    }

    const std::string text = ManifestToJson(manifest);
    std::string reason;
    std::unique_ptr<platform::PendingFile> file = outputFolder->Begin(path.Name(), &reason);
    if (!file || !file->Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()) || !file->Commit()) {
        Notify(kUnableToWrite, path.text, file ? file->Reason().c_str() : reason.c_str());
        SettlePath(path, false);
        return;
    }
    SettlePath(path, true);
}

// The frames that a stitched picture cuts: rows of uneven width reach past
// its right edge (it is as wide as its last row), a frame taller than the
// rows up to its own starts above its top.
std::vector<std::int32_t> FramesCut(const PlannedImage& picture) {
    std::vector<std::int32_t> cut;
    for (const Placement& placed : picture.frames) {
        SelectFrame(frameTable[placed.frame]);
        if (placed.y < 0 || placed.x + frameWidth > picture.width) cut.push_back(placed.frame);
    }
    return cut;
}

// Plans the images of a stitched sprite. The program's picture stays as it
// has always been, cut frames and all; where nothing may be lost (PNG, a
// manifest to pack from) a sprite whose picture cuts frames is written one
// image per frame instead. Either way the command line is told.
std::vector<PlannedImage> PlanStitchedOrApart(const char* name, ManifestLayout* layout) {
    std::vector<PlannedImage> images = PlanStitched(name);
    *layout = ManifestLayout::kStitched;
    const std::vector<std::int32_t> cut = FramesCut(images.front());
    if (cut.empty()) return images;
    const bool apart = outputOptions.format == ImageFormat::Png || outputOptions.manifest;
    std::string frames;
    for (const std::int32_t frame : cut) frames += (frames.empty() ? "" : ", ") + std::to_string(frame);
    Remark("the stitched picture cuts frame" + std::string(cut.size() > 1 ? "s " : " ") + frames +
           " (its rows are of uneven width, or a frame is taller than its row)" +
           (apart ? "; every frame is written as an image of its own" : ""));
    if (!apart) return images;
    *layout = ManifestLayout::kStitchedSeparately;
    return PlanSeparate(name);
}

}  // namespace

bool PlanStitchedPicture(std::int64_t* width, std::int64_t* height,
                         std::vector<std::pair<std::int64_t, std::int64_t>>* places) {
    const std::vector<PlannedImage> images = PlanStitched("");
    const PlannedImage& picture = images.front();
    *width = picture.width;
    *height = picture.height;
    places->clear();
    for (const Placement& placed : picture.frames) places->emplace_back(placed.x, placed.y);
    return FramesCut(picture).empty();
}

void StartConversionRun() {
    imagesWritten = 0;
    ForgetOutputPaths();
}

void WriteSpriteImages(char* name) {
    // On one thread each sprite is the file after the last; a run on several
    // threads says which file of the run this is.
    std::optional<ConvertingFile> file;
    if (!ConvertingAFile()) file.emplace();
    const std::string spriteName = name;
    StripExtension(name);
    ManifestLayout layout = ManifestLayout::kSeparate;
    std::vector<PlannedImage> images = separateFrames ? PlanSeparate(name) : PlanStitchedOrApart(name, &layout);
    if (outputOptions.sheet) images = PlanSheet(std::move(images), name);
    const OutputPath manifest = ManifestPath(name);
    const bool animated = WantsAnimation();
    const OutputPath animation = animated ? AnimationPath(name) : OutputPath{};
    std::vector<std::string> keys;
    for (const PlannedImage& image : images) keys.push_back(OutputPathKey(image.path.text));
    if (animated) keys.push_back(OutputPathKey(animation.text));
    if (outputOptions.manifest) keys.push_back(OutputPathKey(manifest.text));
    PlanOutputPaths(keys);

    std::vector<FrameOutcome> outcomes(static_cast<std::size_t>(blockCount));
    for (const PlannedImage& image : images) {
        WrittenImage written;
        std::vector<std::int32_t> opaqueFill;
        if (!WritePlannedImage(image, &written, &opaqueFill)) continue;
        for (const Placement& placed : image.frames) {
            FrameOutcome& outcome = outcomes[static_cast<std::size_t>(placed.frame)];
            outcome = {&image, placed.x, placed.y, written.transparentIndex, written.rgba, false};
        }
        for (const std::int32_t frame : opaqueFill) outcomes[static_cast<std::size_t>(frame)].opaqueFillIndex = true;
    }
    if (animated) WriteAnimation(animation, CanvasOfFrames());
    if (outputOptions.manifest) WriteManifest(spriteName.c_str(), manifest, layout, outcomes);
}

std::uint64_t LargestCanvasBytes() {
    const auto bytes = [](std::int64_t width, std::int64_t height) {
        return ValidImageSize(width, height) ? static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height)
                                             : std::uint64_t{0};
    };
    std::uint64_t largest = 0;
    std::int64_t x = 0, height = 0, sheetWidth = 0, sheetHeight = 0;
    frameWidth = 0;
    for (std::int32_t i = 0; i < blockCount; ++i) {
        // The stitched picture's rows, as PlanStitched lays them out.
        if (frameWidth != kTileWidth) x = 0;
        SelectFrame(frameTable[i]);
        if (x == 0) height += frameHeight;
        x += frameWidth;
        largest = std::max(largest, bytes(frameWidth, frameHeight));
        if (ValidImageSize(frameWidth, frameHeight)) {
            sheetWidth += frameWidth;
            sheetHeight = std::max<std::int64_t>(sheetHeight, frameHeight);
        }
    }
    if (!separateFrames) largest = std::max(largest, bytes(x, height));
    if (outputOptions.sheet) largest = std::max(largest, bytes(sheetWidth, sheetHeight));
    return largest;
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
