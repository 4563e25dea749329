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
#include "convert/output_paths.h"
#include "convert/placement_notices.h"
#include "convert/transparency.h"
#include "platform/files.h"
#include "platform/heap_block.h"
#include "sprite/frame_decoder.h"

namespace {

constexpr std::int32_t kTileWidth = 256;  // a frame this wide lets the next one share its row

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
bool ImagesMarkTransparency(const OutputOptions& options) {
    return options.format == ImageFormat::Png && options.transparency;
}

const Dc6Frame& FrameOf(const SpriteJob& job, std::int32_t frame) {
    return job.sprite.frames[static_cast<std::size_t>(frame)];
}

std::uint8_t FillOf(const SpriteJob& job) { return job.sprite.terminator[3]; }

// The frames of an image whose literal runs write the fill index inside it:
// opaque pixels that the image cannot tell from transparent ones; their
// count in *pixels. Found from the coded data, before anything is decoded.
std::vector<std::int32_t> FramesWithOpaqueFill(const SpriteJob& job, const PlannedImage& image, std::uint64_t* pixels) {
    std::vector<std::int32_t> frames;
    *pixels = 0;
    for (const Placement& placed : image.frames) {
        PlannedImage alone = image;
        alone.frames = {placed};
        const std::uint64_t count = CountImageIndices(job.sprite, alone).count[FillOf(job)];
        if (count > 0) frames.push_back(placed.frame);
        *pixels += count;
    }
    return frames;
}

// The claimed image's pixels onto a fresh canvas, and the canvas to its file.
// With a manifest to say so where the images mark no transparency, the
// frames whose opaque pixels the fill index stands for go to *opaqueFill, and
// the command line is told.
bool DecodeAndWrite(const SpriteJob& job, const PlannedImage& image, WrittenImage* written,
                    std::vector<std::int32_t>* opaqueFill) {
    const RunSettings& settings = job.settings;
    const auto width = static_cast<std::int32_t>(image.width);
    const auto height = static_cast<std::int32_t>(image.height);
    // Where transparency is written, its index is known before the canvas
    // is filled: the canvas starts out as it.
    const bool transparency = ImagesMarkTransparency(settings.options);
    TransparencyPlan plan;
    if (transparency) plan = PlanTransparency(CountImageIndices(job.sprite, image), FillOf(job));
    std::vector<std::uint32_t> marked;
    DecodeWatch watch;
    watch.marker = plan.fill;
    watch.marked = transparency && plan.index == kNoIndexLeft ? &marked : nullptr;
    HeapBlock canvas(AllocateCanvas(width, height, transparency ? plan.fill : FillOf(job)));
    if (!canvas) {
        Notify(job.diagnostics, kNoMemory, image.path.text);
        return false;
    }
    for (const Placement& placed : image.frames)
        DecodeFrame(FrameOf(job, placed.frame), job.sprite.terminator, {canvas.get(), width, height}, placed.x,
                    placed.y, &job.diagnostics, &watch);
    if (!transparency && settings.options.manifest) {
        std::uint64_t pixels = 0;
        *opaqueFill = FramesWithOpaqueFill(job, image, &pixels);
        if (pixels > 0)
            NotifyRemark(job.diagnostics, std::to_string(pixels) + " opaque pixels of " + image.path.text +
                                              " have the fill index " + std::to_string(FillOf(job)) +
                                              ", which the image cannot tell from transparent ones "
                                              "(-f png keeps them)");
    }
    CanvasTransparency settled;
    if (transparency)
        settled =
            SettleTransparency(plan, canvas.get(), static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                               std::move(marked), FramesOverlap(job.sprite, image), FillOf(job));
    std::string reason;
    if (!WriteImageFile(settings, job.diagnostics, image.path.Name(), canvas.get(), transparency ? &settled : nullptr,
                        width, height, written, &reason)) {
        Notify(job.diagnostics, kUnableToWrite, image.path.text, reason.c_str());
        return false;
    }
    return true;
}

// Decodes the image's frames onto a fresh canvas and writes it. True with
// *written telling the transparent index and format of the file written;
// false after a notice.
// With a manifest to write and images that do not mark transparency, the
// frames with opaque pixels of the fill index go to *opaqueFill, and the
// command line is told.
bool WritePlannedImage(const SpriteJob& job, const PlannedImage& image, WrittenImage* written,
                       std::vector<std::int32_t>* opaqueFill) {
    if (!ValidImageSize(image.width, image.height)) {
        Notify(job.diagnostics, kInvalidSize, image.path.text);
        return false;
    }
    if (!ClaimPath(job, image.path)) return false;
    const bool done = DecodeAndWrite(job, image, written, opaqueFill);
    SettlePath(job, image.path, done);
    return done;
}

// Stitched mode: all frames on one image, in rows; a frame continues its
// predecessor's row only when that predecessor is exactly 256 pixels wide.
std::vector<PlannedImage> PlanStitched(const SpriteJob& job, const char* name, PlacementReport* report) {
    std::int32_t previousWidth = 0;
    std::int64_t x = 0;
    std::int64_t height = 0;
    PlannedImage image;
    for (std::size_t i = 0; i < job.sprite.frames.size(); ++i) {
        const Dc6Frame& frame = job.sprite.frames[i];
        if (previousWidth != kTileWidth) x = 0;
        report->frameX[i] = x;
        if (x == 0) height += frame.height;         // a row is as high as its first frame
        report->frameY[i] = height - frame.height;  // frames of a row share its bottom line
        x += frame.width;
        previousWidth = frame.width;
        // Frames that do not fit (a wider row above the last, a frame taller
        // than the rows up to its own) are clipped by the decoder.
        image.frames.push_back({static_cast<std::int32_t>(i), report->frameX[i], report->frameY[i]});
    }
    image.width = x;  // the last row's width, not the widest row's
    image.height = height;
    image.path = StitchedImagePath(job.settings, name);
    return {image};
}

// Separate mode: every frame an image of its own.
std::vector<PlannedImage> PlanSeparate(const SpriteJob& job, const char* name) {
    std::vector<PlannedImage> images;
    for (std::size_t i = 0; i < job.sprite.frames.size(); ++i) {
        PlannedImage image;
        image.width = job.sprite.frames[i].width;
        image.height = job.sprite.frames[i].height;
        image.frames.push_back({static_cast<std::int32_t>(i), 0, 0});
        image.path = SeparateImagePath(job.settings, name, static_cast<int>(i));
        images.push_back(image);
    }
    return images;
}

// A sheet: the images side by side, left to right, top-aligned. An image
// that could not be written on its own stays out, with its notice.
std::vector<PlannedImage> PlanSheet(const SpriteJob& job, std::vector<PlannedImage> images, const char* name) {
    if (images.size() == 1) return images;
    PlannedImage sheet;
    sheet.path = StitchedImagePath(job.settings, name);
    for (const PlannedImage& image : images) {
        if (!ValidImageSize(image.width, image.height)) {
            Notify(job.diagnostics, kInvalidSize, image.path.text);
            continue;
        }
        for (const Placement& placed : image.frames)
            sheet.frames.push_back({placed.frame, sheet.width + placed.x, placed.y});
        sheet.width += image.width;
        if (image.height > sheet.height) sheet.height = image.height;
    }
    if (sheet.frames.empty()) return {};
    return {sheet};
}

// The manifest of the sprite, NAME.json in the output folder.
void WriteManifest(const SpriteJob& job, const char* spriteName, const OutputPath& path, ManifestLayout layout,
                   const std::vector<FrameOutcome>& outcomes) {
    const RunSettings& settings = job.settings;
    if (!ClaimPath(job, path)) return;
    if (!IsManifestFileName(spriteName) || !IsManifestFileName(path.Name())) {
        Notify(job.diagnostics, kUnableToWrite, path.text, "the name cannot stand in a manifest");
        SettlePath(job, path, false);
        return;
    }
    SpriteManifest manifest;
    manifest.version = KELVANE_VERSION_TEXT;
    manifest.sprite = spriteName;
    manifest.layout = layout;
    const Dc6Sprite& sprite = job.sprite;
    manifest.terminator = sprite.terminator;
    manifest.header4to7 = sprite.header4to7;
    manifest.header8to11 = sprite.header8to11;
    manifest.header16to19 = sprite.header16to19;
    manifest.palette = settings.options.paletteName;
    // The colours themselves, red, green, blue as the run writes them: the
    // packer maps edited images by them, whatever palette file was used.
    if (settings.palette != nullptr) {
        manifest.paletteRgb.emplace();
        std::memcpy(manifest.paletteRgb->data(), settings.palette, manifest.paletteRgb->size());
    }
    manifest.transparency = ImagesMarkTransparency(settings.options);
    bool commonIndex = true;
    for (std::size_t i = 0; i < sprite.frames.size(); ++i) {
        const Dc6Frame& frame = sprite.frames[i];
        const FrameOutcome& outcome = outcomes[i];
        FrameEntry entry;
        if (outcome.image != nullptr) entry.filename = outcome.image->path.Name();
        entry.x = static_cast<std::int32_t>(outcome.x);
        entry.y = static_cast<std::int32_t>(outcome.y);
        entry.width = frame.width;
        entry.height = frame.height;
        entry.xOffset = frame.xOffset;
        entry.yOffset = frame.yOffset;
        entry.header0to3 = frame.header0to3;
        entry.header20to23 = frame.header20to23;
        entry.header24to27 = frame.header24to27;
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
    if (sprite.separateFrames) {
        const AnimationCanvas canvas = CanvasOfFrames(sprite);
        if (ValidImageSize(canvas.width, canvas.height))
            manifest.canvas =
                ManifestCanvas{static_cast<std::int32_t>(canvas.x), static_cast<std::int32_t>(canvas.y),
                               static_cast<std::int32_t>(canvas.width), static_cast<std::int32_t>(canvas.height)};
    }

    const std::string text = ManifestToJson(manifest);
    std::string reason;
    std::unique_ptr<platform::PendingFile> file = settings.folder->Begin(path.Name(), &reason);
    if (!file || !file->Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()) || !file->Commit()) {
        Notify(job.diagnostics, kUnableToWrite, path.text, file ? file->Reason().c_str() : reason.c_str());
        SettlePath(job, path, false);
        return;
    }
    SettlePath(job, path, true);
}

// The frames that a stitched picture cuts: rows of uneven width reach past
// its right edge (it is as wide as its last row), a frame taller than the
// rows up to its own starts above its top.
std::vector<std::int32_t> FramesCut(const SpriteJob& job, const PlannedImage& picture) {
    std::vector<std::int32_t> cut;
    for (const Placement& placed : picture.frames)
        if (placed.y < 0 || placed.x + FrameOf(job, placed.frame).width > picture.width) cut.push_back(placed.frame);
    return cut;
}

// Plans the images of a stitched sprite. The program's picture stays as it
// has always been, cut frames and all; where nothing may be lost (PNG, a
// manifest to pack from) a sprite whose picture cuts frames is written one
// image per frame instead. Either way the command line is told.
std::vector<PlannedImage> PlanStitchedOrApart(const SpriteJob& job, const char* name, ManifestLayout* layout,
                                              PlacementReport* report) {
    std::vector<PlannedImage> images = PlanStitched(job, name, report);
    *layout = ManifestLayout::kStitched;
    const std::vector<std::int32_t> cut = FramesCut(job, images.front());
    if (cut.empty()) return images;
    const bool apart = job.settings.options.format == ImageFormat::Png || job.settings.options.manifest;
    std::string frames;
    for (const std::int32_t frame : cut) frames += (frames.empty() ? "" : ", ") + std::to_string(frame);
    NotifyRemark(job.diagnostics, "the stitched picture cuts frame" + std::string(cut.size() > 1 ? "s " : " ") +
                                      frames + " (its rows are of uneven width, or a frame is taller than its row)" +
                                      (apart ? "; every frame is written as an image of its own" : ""));
    if (!apart) return images;
    *layout = ManifestLayout::kStitchedSeparately;
    return PlanSeparate(job, name);
}

}  // namespace

bool PlanStitchedPicture(const Dc6Sprite& sprite, std::int64_t* width, std::int64_t* height,
                         std::vector<std::pair<std::int64_t, std::int64_t>>* places) {
    const RunSettings settings;
    DiagnosticList none;  // planning says nothing
    const SpriteJob job{sprite, settings, none};
    PlacementReport report;
    const std::vector<PlannedImage> images = PlanStitched(job, "", &report);
    const PlannedImage& picture = images.front();
    *width = picture.width;
    *height = picture.height;
    places->clear();
    for (const Placement& placed : picture.frames) places->emplace_back(placed.x, placed.y);
    return FramesCut(job, picture).empty();
}

PlacementReport WriteSpriteImages(const SpriteJob& job, const std::string& spriteName, const char* name) {
    const OutputOptions& options = job.settings.options;
    PlacementReport report;
    ManifestLayout layout = ManifestLayout::kSeparate;
    std::vector<PlannedImage> images =
        job.sprite.separateFrames ? PlanSeparate(job, name) : PlanStitchedOrApart(job, name, &layout, &report);
    if (options.sheet) images = PlanSheet(job, std::move(images), name);
    const OutputPath manifest = ManifestPath(job.settings, name);
    // An animation: the run asks for one, and the sprite's frames have
    // offsets and are two or more.
    const bool animated =
        options.animation != AnimationFormat::None && job.sprite.separateFrames && job.sprite.frames.size() >= 2;
    const OutputPath animation = animated ? AnimationPath(job.settings, name) : OutputPath{};
    std::vector<std::string> keys;
    for (const PlannedImage& image : images) keys.push_back(OutputPathKey(image.path.text));
    if (animated) keys.push_back(OutputPathKey(animation.text));
    if (options.manifest) keys.push_back(OutputPathKey(manifest.text));
    if (job.settings.claims != nullptr) job.settings.claims->Plan(job.file, keys);

    std::vector<FrameOutcome> outcomes(job.sprite.frames.size());
    for (const PlannedImage& image : images) {
        WrittenImage written;
        std::vector<std::int32_t> opaqueFill;
        if (!WritePlannedImage(job, image, &written, &opaqueFill)) continue;
        ++report.imagesWritten;
        for (const Placement& placed : image.frames) {
            FrameOutcome& outcome = outcomes[static_cast<std::size_t>(placed.frame)];
            outcome = {&image, placed.x, placed.y, written.transparentIndex, written.rgba, false};
        }
        for (const std::int32_t frame : opaqueFill) outcomes[static_cast<std::size_t>(frame)].opaqueFillIndex = true;
    }
    if (animated) WriteAnimation(job, animation, CanvasOfFrames(job.sprite));
    if (options.manifest) WriteManifest(job, spriteName.c_str(), manifest, layout, outcomes);
    return report;
}

std::uint64_t LargestCanvasBytes(const Dc6Sprite& sprite, const OutputOptions& options) {
    const auto bytes = [](std::int64_t width, std::int64_t height) {
        return ValidImageSize(width, height) ? static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height)
                                             : std::uint64_t{0};
    };
    std::uint64_t largest = 0;
    std::int64_t x = 0, height = 0, sheetWidth = 0, sheetHeight = 0;
    std::int32_t previousWidth = 0;
    for (const Dc6Frame& frame : sprite.frames) {
        // The stitched picture's rows, as PlanStitched lays them out.
        if (previousWidth != kTileWidth) x = 0;
        if (x == 0) height += frame.height;
        x += frame.width;
        previousWidth = frame.width;
        largest = std::max(largest, bytes(frame.width, frame.height));
        if (ValidImageSize(frame.width, frame.height)) {
            sheetWidth += frame.width;
            sheetHeight = std::max<std::int64_t>(sheetHeight, frame.height);
        }
    }
    if (!sprite.separateFrames) largest = std::max(largest, bytes(x, height));
    if (options.sheet) largest = std::max(largest, bytes(sheetWidth, sheetHeight));
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
