#include "convert/sprite_packing.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "convert/frame_coding.h"
#include "convert/manifest.h"
#include "convert/pack_image.h"
#include "convert/palette_reading.h"
#include "image/palette.h"
#include "image/palette_files.h"
#include "platform/files.h"
#include "platform/heap_block.h"
#include "sprite/dc6_encoder.h"
#include "sprite/dc6_sprite.h"
#include "sprite/file_bytes.h"
#include "sprite/frame_decoder.h"

namespace {

bool Refuse(PackReport* report, const std::string& subject, const std::string& reason) {
    report->subject = subject;
    report->reason = reason;
    return false;
}

std::string SizeText(std::int64_t width, std::int64_t height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

PaletteRgb PaddedPalette(const std::vector<std::uint8_t>& rgb) {
    PaletteRgb padded{};
    std::memcpy(padded.data(), rgb.data(), std::min(rgb.size(), padded.size()));
    return padded;
}

// A frame without pixels: the end of the bottom row ends it.
std::vector<std::uint8_t> EmptyFrameCoding(const std::array<std::uint8_t, 4>& terminator) {
    return {0x80, terminator[0], terminator[1], terminator[2], terminator[3]};
}

std::string FolderOf(const std::string& path) {
#ifdef _WIN32
    const std::size_t cut = path.find_last_of("/\\");
#else
    const std::size_t cut = path.find_last_of('/');
#endif
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

bool ReadManifest(const std::string& path, SpriteManifest* manifest, std::string* reason) {
    std::FILE* file = platform::OpenRegularFile(path.c_str());
    if (file == nullptr) {
        *reason = platform::PathExists(path.c_str()) ? "cannot be read" : "does not exist";
        return false;
    }
    std::string text(kMaxManifestSize + 1, '\0');
    const std::size_t length = std::fread(&text[0], 1, text.size(), file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        *reason = "cannot be read";
        return false;
    }
    text.resize(length);
    std::string why;
    if (!ManifestFromJson(text, manifest, &why)) {
        *reason = "is not a manifest this program reads: " + why;
        return false;
    }
    return true;
}

// The sprite the images were converted from, read for the pixels whose
// colour the palette holds at several indices. Damaged frames are simply
// not at hand.
class OriginalSprite {
public:
    bool Load(const std::string& path) {
        bytes_.reset(ReadFileWithSlack(path.c_str(), &length_));
        if (!bytes_) return false;
        DiagnosticList ignored;
        sprite_ = ParseDc6(bytes_.get(), length_, ignored, Dc6Damage::kTolerate);
        return sprite_.has_value();
    }

    // Decodes frame i when it is width x height; false when it is not at hand.
    bool Decode(std::size_t i, std::int32_t width, std::int32_t height, FramePixels* out) {
        if (!sprite_ || i >= sprite_->frames.size()) return false;
        const Dc6Frame& frame = sprite_->frames[i];
        // A frame whose coded data the file cuts short is not at hand either.
        if (!frame.present || frame.length != frame.storedLength || frame.width != width || frame.height != height)
            return false;
        std::string ignored;
        if (!AllocateFrame(width, height, out, &ignored)) return false;
        // Faults in the original's data are not the packer's to report.
        DecodeWatch watch;
        watch.opaque = out->opaque.get();
        DecodeFrame(frame, sprite_->terminator, {out->pixels.get(), width, height}, 0, 0, nullptr, &watch);
        return true;
    }

private:
    HeapBlock bytes_;
    std::uint32_t length_ = 0;
    std::optional<Dc6Sprite> sprite_;
};

bool HasSharedColours(const PaletteRgb& palette) {
    std::vector<std::uint32_t> colours;
    for (std::size_t i = 0; i < 256; ++i) colours.push_back(ColourOf(palette.data() + 3 * i));
    std::sort(colours.begin(), colours.end());
    return std::adjacent_find(colours.begin(), colours.end()) != colours.end();
}

// One frame to cut out of an image. In an image that marks no transparent
// pixels, the fill index stands for them: by index where the image's indices
// are the sprite's, else by the colour that index has in the sprite's palette.
struct FrameJob {
    const PackImage* image;
    std::int32_t x, y;
    int fillIndex;  // -1: none
    std::size_t number;
};

std::string PixelsText(std::uint64_t count) { return std::to_string(count) + (count == 1 ? " pixel" : " pixels"); }

// Cuts frames out of images and codes them: the part manifests and loose
// images share.
class FramePacker {
public:
    FramePacker(const PaletteRgb& palette, const PackSettings& settings, OriginalSprite* original,
                const std::array<std::uint8_t, 4>& spriteTerminator)
        : palette_(palette),
          settings_(settings),
          original_(original),
          terminator_(spriteTerminator),
          shared_(HasSharedColours(palette)) {}

    // Fills record->coded from the job. False with *reason.
    bool Pack(const FrameJob& job, Dc6FrameRecord* record, std::string* reason, PixelCounts* counts) {
        ColourMapper mapper(palette_, settings_.nearest);
        const bool asIndexed = job.image->indexed() &&
                               mapper.UseImagePalette(job.image->palette().data(), job.image->palette().size() / 3);
        // The original's pixels settle shared colours, by colour and by
        // index alike: only a palette with shared colours needs them.
        FramePixels originalPixels;
        OriginalFrame originalFrame;
        if (shared_ && original_ != nullptr &&
            original_->Decode(job.number, record->width, record->height, &originalPixels)) {
            originalFrame.pixels = originalPixels.pixels.get();
            originalFrame.opaque = originalPixels.opaque.get();
        }
        FramePixels pixels;
        const std::int64_t fillColour =
            asIndexed || job.fillIndex < 0 ? -1 : std::int64_t{ColourOf(palette_.data() + 3 * job.fillIndex)};
        if (!job.image->Cut(job.x, job.y, record->width, record->height, asIndexed ? job.fillIndex : -1, fillColour,
                            mapper, originalFrame, *settings_.wording, &pixels, reason))
            return false;
        originalPixels = FramePixels();  // not needed for the coding: freed before it
        counts->Add(mapper);
        return CodePackedFrame(pixels.pixels.get(), pixels.opaque.get(), record, terminator_, job.number, reason);
    }

private:
    const PaletteRgb& palette_;
    const PackSettings& settings_;
    OriginalSprite* original_;
    std::array<std::uint8_t, 4> terminator_;
    bool shared_;
};

void CountedNotices(const std::string& subject, const PixelCounts& counts, bool originalAtHand,
                    const PackWording& wording, PackReport* report) {
    for (std::string& text : CountedNoticeTexts(counts, originalAtHand, wording))
        report->notices.emplace_back(subject, std::move(text));
}

// Whether the rectangle lies wholly inside the image.
bool Inside(const FrameEntry& entry, const PackImage& image) {
    return entry.x >= 0 && entry.y >= 0 && static_cast<std::int64_t>(entry.x) + entry.width <= image.width() &&
           static_cast<std::int64_t>(entry.y) + entry.height <= image.height();
}

}  // namespace

void PixelCounts::Add(const ColourMapper& mapper) {
    ambiguous += mapper.ambiguousPixels();
    nearest += mapper.nearestPixels();
    restored += mapper.restoredPixels();
}

std::vector<std::string> CountedNoticeTexts(const PixelCounts& counts, bool originalAtHand,
                                            const PackWording& wording) {
    std::vector<std::string> texts;
    if (counts.restored > 0)
        texts.push_back(PixelsText(counts.restored) + (counts.restored == 1 ? " shows" : " show") +
                        " the original sprite's colour at another index of the palette and kept the original's "
                        "index (editors do not tell apart palette entries of one colour)");
    if (counts.ambiguous > 0)
        texts.push_back(std::to_string(counts.ambiguous) +
                        " pixels have a colour the palette holds at several indices and took "
                        "the lowest of them" +
                        (originalAtHand ? std::string(" (the original sprite has another colour there)")
                                        : "; " + std::string(wording.original) + " to take the original sprite's"));
    if (counts.nearest > 0)
        texts.push_back(std::to_string(counts.nearest) +
                        " pixels have a colour not in the palette and took the nearest one");
    return texts;
}

bool IsSpriteFileName(const std::string& name) {
    if (!IsManifestFileName(name) || name.size() < 5) return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return tail == ".dc6";
}

bool ReadSpriteTemplate(const std::string& path, SpriteTemplate* out, std::string* reason) {
    std::uint32_t length = 0;
    HeapBlock bytes(ReadFileWithSlack(path.c_str(), &length));
    if (!bytes) {
        *reason = platform::PathExists(path.c_str()) ? "cannot be read" : "does not exist";
        return false;
    }
    // A file shorter than the header has no version to speak of.
    DiagnosticList found;
    const std::optional<Dc6Sprite> sprite =
        length < kFrameTableOffset ? std::nullopt : ParseDc6(bytes.get(), length, found);
    if (!sprite) {
        if (found.notices.empty() || found.notices.front().code == NoticeCode::kNotVersion6)
            *reason = "is not a DC6 sprite file of version 6";
        else if (found.notices.front().frame < 0)
            *reason = "is a damaged sprite file: its frame table is wrong";
        else
            *reason =
                "is a damaged sprite file: frame " + std::to_string(found.notices.front().frame) + " lies outside it";
        return false;
    }
    SpriteTemplate like;
    like.terminator = sprite->terminator;
    like.header4to7 = sprite->header4to7;
    like.header8to11 = sprite->header8to11;
    like.header16to19 = sprite->header16to19;
    for (const Dc6Frame& frame : sprite->frames)
        like.frameFields.push_back({frame.header0to3, frame.header20to23, frame.header24to27});
    *out = std::move(like);
    return true;
}

bool ReadPackPalette(const std::string& path, PaletteRgb* palette, int* colours, std::string* reason) {
    PaletteFile file;
    if (!ReadPaletteFile(path, &file, reason)) return false;
    for (std::size_t i = 0; i < 256; ++i) {
        (*palette)[3 * i] = file.storedBgr[3 * i + 2];
        (*palette)[3 * i + 1] = file.storedBgr[3 * i + 1];
        (*palette)[3 * i + 2] = file.storedBgr[3 * i];
    }
    *colours = file.colours;
    return true;
}

bool PackManifest(const std::string& manifestPath, const PackSettings& settings, Dc6File* sprite,
                  std::string* spriteName, PackReport* report) {
    SpriteManifest manifest;
    std::string reason;
    report->inputs.push_back(manifestPath);
    if (!ReadManifest(manifestPath, &manifest, &reason)) return Refuse(report, manifestPath, reason);
    if (!IsSpriteFileName(manifest.sprite))
        return Refuse(report, manifestPath,
                      "names the sprite file \"" + manifest.sprite +
                          "\", which is no plain file name ending in .dc6; " + settings.wording->name);
    const std::string folder = FolderOf(manifestPath);

    // The sprite's palette: the manifest's colours; in earlier manifests the
    // built-in palette, or the first indexed image's.
    std::optional<PaletteRgb> palette = manifest.paletteRgb;
    if (!palette && manifest.palette == "built-in") palette = BuiltInPaletteRgb();
    for (std::size_t i = 0; !palette && i < manifest.frames.size(); ++i) {
        const FrameEntry& entry = manifest.frames[i];
        PackImage image;
        if (entry.filename && image.Open(folder + *entry.filename, &reason) && image.indexed())
            palette = PaddedPalette(image.palette());
    }

    // The original sprite, for shared colours: the one given, else the one
    // the manifest names beside it.
    OriginalSprite original;
    const std::string originalPath = settings.original.value_or(folder + manifest.sprite);
    const bool originalAtHand = platform::PathExists(originalPath.c_str()) && original.Load(originalPath);
    if (originalAtHand) report->original = originalPath;

    Dc6File file;
    file.terminator = manifest.terminator;
    file.header4to7 = manifest.header4to7;
    file.header8to11 = manifest.header8to11;
    file.header16to19 = manifest.header16to19;
    std::unique_ptr<FramePacker> packer;
    if (palette)
        packer =
            std::make_unique<FramePacker>(*palette, settings, originalAtHand ? &original : nullptr, file.terminator);
    // One image at a time: frames of one image follow each other.
    PackImage image;
    std::string openName;
    PixelCounts counts;
    for (std::size_t i = 0; i < manifest.frames.size(); ++i) {
        const FrameEntry& entry = manifest.frames[i];
        Dc6FrameRecord record;
        record.width = entry.width;
        record.height = entry.height;
        record.xOffset = entry.xOffset;
        record.yOffset = entry.yOffset;
        record.header0to3 = entry.header0to3;
        record.header20to23 = entry.header20to23;
        record.header24to27 = entry.header24to27;
        if (!entry.filename || entry.width == 0 || entry.height == 0) {
            // The converter writes no image for a frame without pixels, nor
            // for one it could not write: such a frame can only come back empty.
            if (!entry.filename && entry.width != 0 && entry.height != 0)
                report->notices.emplace_back(
                    manifestPath, "frame " + std::to_string(i) + " has no image; it is packed without pixels");
            record.coded = EmptyFrameCoding(file.terminator);
            file.frames.push_back(std::move(record));
            continue;
        }
        const std::string path = folder + *entry.filename;
        if (openName != *entry.filename) {
            openName.clear();
            if (!image.Open(path, &reason)) return Refuse(report, path, reason);
            openName = *entry.filename;
            report->inputs.push_back(path);
            // The image of the manifest's "image" has its "size"; an image of
            // one frame at 0,0 is as large as the frame.
            const bool sized = manifest.image && *manifest.image == *entry.filename;
            bool alone = entry.x == 0 && entry.y == 0;
            for (std::size_t k = 0; k < manifest.frames.size(); ++k)
                if (k != i && manifest.frames[k].filename == entry.filename) alone = false;
            const std::int64_t wantWidth = sized ? manifest.imageWidth : entry.width;
            const std::int64_t wantHeight = sized ? manifest.imageHeight : entry.height;
            if ((sized || alone) && (image.width() != wantWidth || image.height() != wantHeight))
                return Refuse(report, path,
                              "is " + SizeText(image.width(), image.height()) + " pixels; the manifest gives " +
                                  SizeText(wantWidth, wantHeight) +
                                  ": keep the image's size (no cropping, no enlarging) when editing it");
        }
        if (!Inside(entry, image))
            return Refuse(report, path,
                          "does not hold all of frame " + std::to_string(i) + " (" +
                              SizeText(entry.width, entry.height) + " at " + std::to_string(entry.x) + "," +
                              std::to_string(entry.y) + " in an image of " + SizeText(image.width(), image.height()) +
                              "); convert the sprite again with this version to get images that hold every frame");
        if (!packer)
            return Refuse(report, path,
                          "holds colours, not palette indices, and the manifest gives no palette to turn them back "
                          "into indices; convert the sprite again with this version, or save the image indexed");
        // Images that mark their transparent pixels need no index; in the
        // others the fill index stands for them, as in the converter's PCX
        // images and PNG images written without transparency. An image that
        // should mark them and does not lost its marks in an editor (netpbm
        // drops them): the frame's transparent index stands for them, said.
        int fill = -1;
        if (image.marksTransparency()) {
        } else if (image.pcx() || !manifest.transparency) {
            fill = entry.transparentIndex      ? *entry.transparentIndex
                   : manifest.transparentIndex ? *manifest.transparentIndex
                                               : manifest.terminator[3];
        } else if (entry.transparentIndex) {
            fill = *entry.transparentIndex;
            report->notices.emplace_back(
                path, "marks no transparent pixels; those of the transparent index's colour " +
                          ColourText(ColourOf(palette->data() + 3 * static_cast<std::size_t>(fill))) +
                          " are taken as transparent");
        }
        if (image.pcx() && entry.opaqueFillIndex)
            report->notices.emplace_back(
                path, "frame " + std::to_string(i) + " had opaque pixels of the fill index " + std::to_string(fill) +
                          ", which a PCX image cannot tell from transparent ones: they are packed transparent "
                          "(" +
                          settings.wording->keepFill + " to keep them)");
        const FrameJob job{&image, entry.x, entry.y, fill, i};
        if (!packer->Pack(job, &record, &reason, &counts)) return Refuse(report, path, reason);
        file.frames.push_back(std::move(record));
    }
    CountedNotices(manifestPath, counts, originalAtHand, *settings.wording, report);
    *sprite = std::move(file);
    *spriteName = manifest.sprite;
    return true;
}

bool PackLooseImages(const std::vector<LooseFrame>& frames, const SpriteTemplate& like, const PackSettings& settings,
                     Dc6File* sprite, PackReport* report) {
    if (frames.empty() || frames.size() > static_cast<std::size_t>(kMaxBlocks))
        return Refuse(report, frames.empty() ? "" : frames[12].path,
                      std::to_string(frames.size()) + " images given: a sprite holds 1 to 12 frames");
    Dc6File file;
    file.terminator = like.terminator;
    file.header4to7 = like.header4to7;
    file.header8to11 = like.header8to11;
    file.header16to19 = like.header16to19;
    OriginalSprite original;
    const bool originalAtHand = settings.original && original.Load(*settings.original);
    if (originalAtHand) report->original = *settings.original;
    std::optional<PaletteRgb> palette = settings.palette;
    std::unique_ptr<FramePacker> packer;
    std::string reason;
    PixelCounts counts;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const std::string& path = frames[i].path;
        report->inputs.push_back(path);
        PackImage image;
        if (!image.Open(path, &reason)) return Refuse(report, path, reason);
        if (!palette && image.indexed()) palette = PaddedPalette(image.palette());
        if (!palette)
            return Refuse(report, path,
                          "holds colours, not palette indices: " + std::string(settings.wording->palette) +
                              ", or save the image indexed");
        if (!packer)
            packer = std::make_unique<FramePacker>(*palette, settings, originalAtHand ? &original : nullptr,
                                                   file.terminator);
        Dc6FrameRecord record;
        record.width = image.width();
        record.height = image.height();
        record.xOffset = frames[i].xOffset;
        record.yOffset = frames[i].yOffset;
        if (i < like.frameFields.size()) {
            record.header0to3 = like.frameFields[i][0];
            record.header20to23 = like.frameFields[i][1];
            record.header24to27 = like.frameFields[i][2];
        }
        // A PCX image marks nothing: the fill byte of the sprite made stands
        // for its transparent pixels. A PNG without marks has none.
        const FrameJob job{&image, 0, 0, image.pcx() ? like.terminator[3] : -1, i};
        if (!packer->Pack(job, &record, &reason, &counts)) return Refuse(report, path, reason);
        file.frames.push_back(std::move(record));
    }
    CountedNotices(frames.front().path, counts, originalAtHand, *settings.wording, report);
    *sprite = std::move(file);
    return true;
}
