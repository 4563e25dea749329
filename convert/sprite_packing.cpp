#include "convert/sprite_packing.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <optional>

#include "convert/manifest.h"
#include "image/palette.h"
#include "image/pcx_reader.h"
#include "image/png_reader.h"
#include "platform/files.h"
#include "platform/heap_block.h"
#include "sprite/dc6_encoder.h"
#include "sprite/dc6_file.h"
#include "sprite/frame_decoder.h"

namespace {

constexpr std::int64_t kMaxFrameDimension = 0xFFFF;
constexpr std::size_t kPcxHeaderSize = 128;
constexpr std::uint8_t kPcxMarker = 0x0A;
constexpr std::size_t kRgbQuadsAt = 40;  // BITMAPINFOHEADER, then the colour table

const char kSaveIndexed[] =
    "save it as an indexed (palette) PNG of 8 bits or fewer per pixel, or as an 8-bit PCX";
const char kSaveOneTransparent[] =
    "save it as an indexed PNG with at most one palette entry transparent, and that one fully";

// An image read for packing.
struct SourceImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool png = false;
    bool rgba = false;
    std::vector<std::uint8_t> pixels;      // one index per pixel, or four bytes (RGBA) per pixel; rows top first
    std::vector<std::uint8_t> paletteRgb;  // 3 per entry, 1..256 entries; empty for RGBA
    std::vector<std::uint8_t> alpha;       // PNG: one per palette entry
};

using Rgb768 = std::array<std::uint8_t, 768>;

bool Refuse(PackReport* report, const std::string& subject, const std::string& reason) {
    report->subject = subject;
    report->reason = reason;
    return false;
}

std::string Hex(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

std::string TerminatorText(const std::array<std::uint8_t, 4>& t) {
    return Hex(t[0], 2) + " " + Hex(t[1], 2) + " " + Hex(t[2], 2) + " " + Hex(t[3], 2);
}

bool LoadPcx(const std::uint8_t* bytes, std::size_t length, SourceImage* image, std::string* reason) {
    DisplayImage decoded;
    const PcxDecode result = DecodePcx(bytes, length, &decoded);
    if (result == PcxDecode::OutOfMemory) {
        *reason = "not enough memory for the image";
        return false;
    }
    if (result != PcxDecode::Decoded) {
        *reason = "is not a PCX image this program reads (8 bits per pixel, one plane); " + std::string(kSaveIndexed);
        return false;
    }
    if (decoded.width > kMaxFrameDimension || decoded.height > kMaxFrameDimension) {
        *reason = "is wider or higher than a frame may be (65535 pixels)";
        return false;
    }
    image->width = decoded.width;
    image->height = decoded.height;
    const std::size_t width = static_cast<std::size_t>(decoded.width);
    image->pixels.resize(width * static_cast<std::size_t>(decoded.height));
    for (std::int32_t y = 0; y < decoded.height; ++y)
        std::memcpy(image->pixels.data() + width * static_cast<std::size_t>(y),
                    decoded.pixels.get() + static_cast<std::size_t>(decoded.rowStride) * static_cast<std::size_t>(y),
                    width);
    image->paletteRgb.resize(768);
    const std::uint8_t* quads = decoded.bitmapInfo.get() + kRgbQuadsAt;
    for (std::size_t i = 0; i < 256; ++i) {
        image->paletteRgb[3 * i] = quads[4 * i + 2];
        image->paletteRgb[3 * i + 1] = quads[4 * i + 1];
        image->paletteRgb[3 * i + 2] = quads[4 * i];
    }
    return true;
}

// Reads the image file at path. False with *reason (a phrase that follows the
// file's name) when it is no image that can be packed.
bool LoadImage(const std::string& path, SourceImage* image, std::string* reason) {
    std::uint32_t length = 0;
    HeapBlock bytes(LoadWholeFile(path.c_str(), &length));
    if (!bytes) {
        *reason = platform::PathExists(path.c_str()) ? "cannot be read" : "does not exist";
        return false;
    }
    PngPicture picture;
    std::string why;
    switch (ReadPng(bytes.get(), length, &picture, &why)) {
    case PngRead::Decoded:
        break;
    case PngRead::NotPng:
        if (length >= kPcxHeaderSize && bytes.get()[0] == kPcxMarker) return LoadPcx(bytes.get(), length, image, reason);
        *reason = "is neither a PNG nor a PCX image";
        return false;
    case PngRead::Damaged:
        *reason = "is a damaged PNG image: " + why;
        return false;
    case PngRead::Unsupported:
        *reason = "is a grey, RGB or 16-bit PNG image; " + std::string(kSaveIndexed);
        return false;
    case PngRead::TooLarge:
        *reason = "is too large for a frame: " + why;
        return false;
    }
    image->png = true;
    image->width = picture.width;
    image->height = picture.height;
    image->rgba = picture.colourType == kPngColourRgba;
    if (image->rgba) {
        image->pixels = std::move(picture.rgba);
        return true;
    }
    for (std::uint8_t a : picture.alpha) {
        if (a != 0 && a != 255) {
            *reason = "has partly transparent colours; " + std::string(kSaveOneTransparent);
            return false;
        }
    }
    image->pixels = std::move(picture.indices);
    image->paletteRgb = std::move(picture.paletteRgb);
    image->alpha = std::move(picture.alpha);
    return true;
}

Rgb768 BuiltInRgb() {
    Rgb768 rgb{};
    for (std::size_t i = 0; i < 256; ++i) {
        rgb[3 * i] = builtInPalette[3 * i + 2];
        rgb[3 * i + 1] = builtInPalette[3 * i + 1];
        rgb[3 * i + 2] = builtInPalette[3 * i];
    }
    return rgb;
}

Rgb768 PaddedPalette(const SourceImage& image) {
    Rgb768 rgb{};
    std::memcpy(rgb.data(), image.paletteRgb.data(), std::min(image.paletteRgb.size(), rgb.size()));
    return rgb;
}

// Whether the entries the image has differ from the reference's.
bool PaletteDiffers(const SourceImage& image, const Rgb768& reference) {
    const std::size_t count = std::min(image.paletteRgb.size(), reference.size());
    return std::memcmp(image.paletteRgb.data(), reference.data(), count) != 0;
}

// Colour to palette index, for RGBA images: -1 where several entries share
// the colour. Colours are 0xRRGGBB. An open-addressing table: images run to
// millions of pixels, each looked up.
class ColourIndex {
public:
    explicit ColourIndex(const Rgb768& palette) {
        keys_.fill(kEmpty);
        for (int i = 0; i < 256; ++i) {
            const std::size_t at = 3 * static_cast<std::size_t>(i);
            const std::uint32_t colour = static_cast<std::uint32_t>(palette[at]) << 16 |
                                         static_cast<std::uint32_t>(palette[at + 1]) << 8 | palette[at + 2];
            std::size_t slot = Slot(colour);
            while (keys_[slot] != kEmpty && keys_[slot] != colour) slot = (slot + 1) % kSlots;
            values_[slot] = keys_[slot] == kEmpty ? static_cast<std::int16_t>(i) : static_cast<std::int16_t>(-1);
            keys_[slot] = colour;
        }
    }
    // The index, -1 for a shared colour, -2 for a colour not in the palette.
    int Find(std::uint32_t colour) const {
        for (std::size_t slot = Slot(colour);; slot = (slot + 1) % kSlots) {
            if (keys_[slot] == colour) return values_[slot];
            if (keys_[slot] == kEmpty) return -2;
        }
    }

private:
    static constexpr std::size_t kSlots = 1024;  // at most 256 used: probes stay short
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFF;  // no 24-bit colour
    static std::size_t Slot(std::uint32_t colour) { return (colour * 2654435761u) >> 22; }
    std::array<std::uint32_t, kSlots> keys_;
    std::array<std::int16_t, kSlots> values_{};
};

// A frame's pixels and opaque marks, width x height, rows top first.
struct FramePixels {
    HeapBlock pixels;
    HeapBlock opaque;
};

// Cuts the rectangle (x, y, width, height) out of image; whatever of it lies
// outside the image is transparent. Indexed images: pixels of index
// transparent (-1: none) are transparent. RGBA images: alpha 0 is
// transparent, every other pixel is looked up in colours.
bool CutFrame(const SourceImage& image, std::int64_t x, std::int64_t y, std::int32_t width, std::int32_t height,
              int transparent, const ColourIndex* colours, FramePixels* frame, std::string* reason) {
    const std::uint64_t count = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (count > kMaxCanvasPixels) {
        *reason = "holds a frame too large to pack";
        return false;
    }
    const std::size_t size = count == 0 ? 1 : static_cast<std::size_t>(count);
    frame->pixels.reset(static_cast<std::uint8_t*>(std::calloc(size, 1)));
    frame->opaque.reset(static_cast<std::uint8_t*>(std::calloc(size, 1)));
    if (!frame->pixels || !frame->opaque) {
        *reason = "not enough memory for the frame";
        return false;
    }
    const std::int64_t left = std::max<std::int64_t>(x, 0);
    const std::int64_t top = std::max<std::int64_t>(y, 0);
    const std::int64_t right = std::min<std::int64_t>(x + width, image.width);
    const std::int64_t bottom = std::min<std::int64_t>(y + height, image.height);
    for (std::int64_t row = top; row < bottom; ++row) {
        for (std::int64_t column = left; column < right; ++column) {
            const std::size_t from = static_cast<std::size_t>(row * image.width + column);
            const std::size_t to = static_cast<std::size_t>((row - y) * width + (column - x));
            if (!image.rgba) {
                const std::uint8_t index = image.pixels[from];
                frame->pixels.get()[to] = index;
                frame->opaque.get()[to] = index != transparent ? 1 : 0;
                continue;
            }
            const std::uint8_t* rgba = image.pixels.data() + 4 * from;
            if (rgba[3] == 0) continue;
            if (rgba[3] != 255) {
                *reason = "has partly transparent pixels; " + std::string(kSaveOneTransparent);
                return false;
            }
            const std::uint32_t colour = static_cast<std::uint32_t>(rgba[0]) << 16 |
                                         static_cast<std::uint32_t>(rgba[1]) << 8 | rgba[2];
            const int index = colours->Find(colour);
            if (index < 0) {
                const std::string where = " (pixel " + std::to_string(column) + "," + std::to_string(row) + ")";
                *reason = "colour #" + Hex(colour, 6) + where +
                          (index == -2 ? " is not in the palette"
                                       : " is shared by several palette entries, so its index cannot be told; " +
                                             std::string(kSaveIndexed));
                return false;
            }
            frame->pixels.get()[to] = static_cast<std::uint8_t>(index);
            frame->opaque.get()[to] = 1;
        }
    }
    return true;
}

// Codes a frame cut out of an image. False with *reason when it cannot be.
bool CodeFrame(const FramePixels& frame, Dc6FrameRecord* record, const std::array<std::uint8_t, 4>& terminator,
               std::size_t number, std::string* reason) {
    record->coded = EncodeFrame(frame.pixels.get(), frame.opaque.get(), record->width, record->height,
                                record->width, terminator.data());
    if (record->coded.empty()) {
        *reason = "frame " + std::to_string(number) + " cannot be coded with the terminator " +
                  TerminatorText(terminator) + ": a row would read as the frame's end; change its first pixels";
        return false;
    }
    return true;
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

}  // namespace

bool ReadSpriteTemplate(const std::string& path, SpriteTemplate* out, std::string* reason) {
    std::uint32_t length = 0;
    HeapBlock bytes(LoadWholeFile(path.c_str(), &length));
    if (!bytes) {
        *reason = platform::PathExists(path.c_str()) ? "cannot be read" : "does not exist";
        return false;
    }
    const std::uint8_t* file = bytes.get();
    if (length < 24 || ReadInt32(file) != 6) {
        *reason = "is not a DC6 sprite file of version 6";
        return false;
    }
    const std::int32_t count = ReadInt32(file + 20);
    if (count < 1 || count > kMaxBlocks || 24 + 4 * static_cast<std::uint64_t>(count) > length) {
        *reason = "is a damaged sprite file: its frame table is wrong";
        return false;
    }
    SpriteTemplate like;
    std::memcpy(like.terminator.data(), file + 12, 4);
    like.header4to7 = ReadUint32(file + 4);
    like.header8to11 = ReadUint32(file + 8);
    like.header16to19 = ReadUint32(file + 16);
    for (std::int32_t i = 0; i < count; ++i) {
        const std::uint64_t at = ReadUint32(file + 24 + 4 * static_cast<std::size_t>(i));
        if (at + 32 > length) {
            *reason = "is a damaged sprite file: frame " + std::to_string(i) + " lies outside it";
            return false;
        }
        const std::uint8_t* header = file + at;
        like.frameFields.push_back({ReadUint32(header), ReadUint32(header + 20), ReadUint32(header + 24)});
    }
    *out = std::move(like);
    return true;
}

bool PackManifest(const std::string& manifestPath, Dc6File* sprite, std::string* spriteName, PackReport* report) {
    SpriteManifest manifest;
    std::string reason;
    if (!ReadManifest(manifestPath, &manifest, &reason)) return Refuse(report, manifestPath, reason);

    // Each image once, in the order the frames name them.
    const std::string folder = FolderOf(manifestPath);
    std::map<std::string, SourceImage> images;
    std::vector<std::string> order;
    for (const FrameEntry& entry : manifest.frames) {
        if (!entry.filename || images.count(*entry.filename) != 0) continue;
        if (!IsManifestFileName(*entry.filename))
            return Refuse(report, manifestPath, "names an image that is no plain file name");
        const std::string path = folder + *entry.filename;
        if (!LoadImage(path, &images[*entry.filename], &reason)) return Refuse(report, path, reason);
        order.push_back(*entry.filename);
    }

    // The palette of the run: the built-in one, else the first indexed image's.
    std::optional<Rgb768> palette;
    if (manifest.palette == "built-in") palette = BuiltInRgb();
    for (const std::string& name : order) {
        const SourceImage& image = images[name];
        if (image.rgba) continue;
        if (!palette) palette = PaddedPalette(image);
        else if (PaletteDiffers(image, *palette))
            report->notices.emplace_back(folder + name, "its palette differs from the sprite's; indices are used as they are");
    }
    std::optional<ColourIndex> colours;
    if (palette) colours.emplace(*palette);

    Dc6File file;
    file.terminator = manifest.terminator;
    file.header4to7 = manifest.header4to7;
    file.header8to11 = manifest.header8to11;
    file.header16to19 = manifest.header16to19;
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
        FramePixels pixels;
        if (!entry.filename) {
            // The converter writes no image for a frame without pixels, nor
            // for one it could not write: such a frame can only come back empty.
            if (entry.width != 0 && entry.height != 0)
                report->notices.emplace_back(manifestPath, "frame " + std::to_string(i) +
                                                               " has no image; it is packed without pixels");
            if (!CutFrame(SourceImage(), 0, 0, entry.width, entry.height, -1, nullptr, &pixels, &reason))
                return Refuse(report, manifestPath, reason);
        } else {
            const SourceImage& image = images[*entry.filename];
            const std::string path = folder + *entry.filename;
            if (image.rgba && !colours)
                return Refuse(report, path,
                              "is an RGBA image and the palette \"" + manifest.palette +
                                  "\" is not built in, nor held by an indexed image of the sprite, so its "
                                  "colours cannot be turned back into indices; " + kSaveIndexed);
            // Images that mark their transparent pixels and name no index
            // have none; in the others the fill byte stands for them.
            const int transparent = entry.transparentIndex     ? *entry.transparentIndex
                                    : manifest.transparentIndex ? *manifest.transparentIndex
                                    : manifest.transparency     ? -1
                                                                : manifest.terminator[3];
            if (!CutFrame(image, entry.x, entry.y, entry.width, entry.height, transparent,
                          colours ? &*colours : nullptr, &pixels, &reason))
                return Refuse(report, path, reason);
        }
        if (!CodeFrame(pixels, &record, file.terminator, i, &reason))
            return Refuse(report, entry.filename ? folder + *entry.filename : manifestPath, reason);
        file.frames.push_back(std::move(record));
    }
    *sprite = std::move(file);
    *spriteName = manifest.sprite;
    return true;
}

bool PackLooseImages(const std::vector<LooseFrame>& frames, const SpriteTemplate& like, Dc6File* sprite,
                     PackReport* report) {
    if (frames.empty() || frames.size() > static_cast<std::size_t>(kMaxBlocks))
        return Refuse(report, frames.empty() ? "" : frames[12].path,
                      std::to_string(frames.size()) + " images given: a sprite holds 1 to 12 frames");
    Dc6File file;
    file.terminator = like.terminator;
    file.header4to7 = like.header4to7;
    file.header8to11 = like.header8to11;
    file.header16to19 = like.header16to19;
    std::optional<Rgb768> palette;
    std::string reason;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const std::string& path = frames[i].path;
        SourceImage image;
        if (!LoadImage(path, &image, &reason)) return Refuse(report, path, reason);
        if (image.rgba)
            return Refuse(report, path,
                          "is an RGBA image, whose colours cannot be told back into palette indices; " +
                              std::string(kSaveIndexed));
        int transparent = image.png ? -1 : like.terminator[3];
        for (std::size_t entry = 0; entry < image.alpha.size(); ++entry) {
            if (image.alpha[entry] != 0) continue;
            if (transparent >= 0)
                return Refuse(report, path,
                              "has more than one fully transparent palette entry; " + std::string(kSaveOneTransparent));
            transparent = static_cast<int>(entry);
        }
        if (!palette) palette = PaddedPalette(image);
        else if (PaletteDiffers(image, *palette))
            report->notices.emplace_back(path, "its palette differs from the first image's; indices are used as they are");

        Dc6FrameRecord record;
        record.width = image.width;
        record.height = image.height;
        record.xOffset = frames[i].xOffset;
        record.yOffset = frames[i].yOffset;
        if (i < like.frameFields.size()) {
            record.header0to3 = like.frameFields[i][0];
            record.header20to23 = like.frameFields[i][1];
            record.header24to27 = like.frameFields[i][2];
        }
        FramePixels pixels;
        if (!CutFrame(image, 0, 0, image.width, image.height, transparent, nullptr, &pixels, &reason) ||
            !CodeFrame(pixels, &record, file.terminator, i, &reason))
            return Refuse(report, path, reason);
        file.frames.push_back(std::move(record));
    }
    *sprite = std::move(file);
    return true;
}
