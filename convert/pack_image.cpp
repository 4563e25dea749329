#include "convert/pack_image.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "image/pcx_writer.h"
#include "platform/files.h"
#include "sprite/dc6_sprite.h"
#include "sprite/file_bytes.h"
#include "sprite/frame_decoder.h"

const PackWording kCommandLineWording = {
    "give --like ORIGINAL.dc6",       "give --nearest",      "give the sprite's palette with -p PALETTE",
    "give the sprite's name with -o", "convert with -f png",
};

namespace {

constexpr std::int64_t kMaxFrameDimension = 0xFFFF;
constexpr std::uint8_t kPcxMarker = 0x0A;

const char kSaveIndexed[] = "save it as a PNG of 8 bits per sample or fewer, or as an 8-bit PCX";
const char kSaveFullyTransparent[] = "save it with every transparent pixel fully transparent";

// Where one pixel of the image goes, and what it becomes there.
class FrameCutter {
public:
    FrameCutter(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, const std::uint8_t* palette,
                ColourMapper& mapper, const OriginalFrame& original, const PackWording& wording, FramePixels* frame,
                std::string* reason)
        : x_(x),
          y_(y),
          width_(width),
          height_(height),
          palette_(palette),
          mapper_(mapper),
          original_(original),
          wording_(wording),
          frame_(frame),
          reason_(reason) {}

    bool Wants(std::int64_t row) const { return row >= y_ && row < y_ + height_; }
    std::int64_t left() const { return x_; }
    std::int64_t right() const { return static_cast<std::int64_t>(x_) + width_; }

    // An opaque pixel of image index `index` at image column, row.
    bool Index(std::int64_t column, std::int64_t row, std::uint8_t index) {
        const std::size_t at = At(column, row);
        return Put(at, mapper_.MapIndex(index, at, original_), column, row, ColourOf(palette_ + 3 * index));
    }

    bool Colour(std::int64_t column, std::int64_t row, const std::uint8_t* rgba) {
        const std::size_t at = At(column, row);
        if (rgba[3] == 0) return true;
        if (rgba[3] != 255) {
            *reason_ = PartlyTransparentText(column, row);
            return false;
        }
        const std::uint32_t colour = ColourOf(rgba);
        return Put(at, mapper_.MapColour(colour, at, original_), column, row, colour);
    }

private:
    std::size_t At(std::int64_t column, std::int64_t row) const {
        return static_cast<std::size_t>((row - y_) * width_ + (column - x_));
    }

    bool Put(std::size_t at, int index, std::int64_t column, std::int64_t row, std::uint32_t colour) {
        if (index < 0) {
            *reason_ = NotInPaletteText(colour, column, row, wording_);
            return false;
        }
        frame_->pixels.get()[at] = static_cast<std::uint8_t>(index);
        frame_->opaque.get()[at] = 1;
        return true;
    }

    std::int32_t x_, y_, width_, height_;
    const std::uint8_t* palette_;  // indexed images: the image's own, 256 entries
    ColourMapper& mapper_;
    const OriginalFrame& original_;
    const PackWording& wording_;
    FramePixels* frame_;
    std::string* reason_;
};

// Feeds the rows of a PNG into a cutter.
class PngCut : public PngRowSink {
public:
    PngCut(FrameCutter& cutter, const std::vector<bool>& transparentEntry, int fillIndex, bool indexed,
           std::int64_t fillColour)
        : cutter_(cutter),
          transparentEntry_(transparentEntry),
          fillIndex_(fillIndex),
          indexed_(indexed),
          fillColour_(fillColour) {}

    bool Row(std::uint32_t y, std::uint32_t x0, std::uint32_t dx, std::uint32_t count,
             const std::uint8_t* samples) override {
        if (!cutter_.Wants(y)) return true;
        // The first pixel of the pass row at or right of the rectangle's left edge.
        std::int64_t i = cutter_.left() > x0 ? (cutter_.left() - x0 + dx - 1) / dx : 0;
        for (; i < count; ++i) {
            const std::int64_t column = x0 + i * static_cast<std::int64_t>(dx);
            if (column >= cutter_.right()) break;
            if (indexed_) {
                const std::uint8_t index = samples[i];
                if (transparentEntry_[index] || index == fillIndex_) continue;
                if (!cutter_.Index(column, y, index)) return failed_ = true, false;
            } else if (fillColour_ >= 0 && samples[4 * i + 3] == 255 &&
                       ColourOf(samples + 4 * i) == static_cast<std::uint32_t>(fillColour_)) {
                continue;
            } else if (!cutter_.Colour(column, y, samples + 4 * i)) {
                return failed_ = true, false;
            }
        }
        return true;
    }
    bool failed() const { return failed_; }

private:
    FrameCutter& cutter_;
    const std::vector<bool>& transparentEntry_;
    int fillIndex_;
    bool indexed_;
    std::int64_t fillColour_;
    bool failed_ = false;
};

std::string SizeText(std::int64_t width, std::int64_t height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

}  // namespace

std::string PartlyTransparentText(std::int64_t column, std::int64_t row) {
    return "pixel " + std::to_string(column) + "," + std::to_string(row) + " is partly transparent; " +
           kSaveFullyTransparent;
}

std::string NotInPaletteText(std::uint32_t colour, std::int64_t column, std::int64_t row, const PackWording& wording) {
    std::string text = "colour " + ColourText(colour) + " (pixel " + std::to_string(column) + "," +
                       std::to_string(row) + ") is not in the sprite's palette; paint with the palette's colours";
    if (wording.nearest != nullptr && *wording.nearest != '\0')
        text += std::string(", or ") + wording.nearest + " to take the nearest of them";
    return text;
}

bool AllocateFrame(std::int32_t width, std::int32_t height, FramePixels* frame, std::string* reason) {
    const std::uint64_t count = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (width < 0 || height < 0 || width > kMaxFrameDimension || height > kMaxFrameDimension ||
        count > kMaxCanvasPixels) {
        *reason = "holds a frame too large to pack (" + SizeText(width, height) + " pixels)";
        return false;
    }
    const std::size_t size = count == 0 ? 1 : static_cast<std::size_t>(count);
    frame->pixels.reset(static_cast<std::uint8_t*>(std::calloc(size, 1)));
    frame->opaque.reset(static_cast<std::uint8_t*>(std::calloc(size, 1)));
    if (!frame->pixels || !frame->opaque) {
        *reason = "not enough memory for a frame of " + SizeText(width, height) + " pixels";
        return false;
    }
    return true;
}

bool PackImage::Open(const std::string& path, std::string* reason) {
    bytes_.reset(ReadFileWithSlack(path.c_str(), &length_));
    if (!bytes_) {
        *reason = platform::PathExists(path.c_str()) ? "cannot be read" : "does not exist";
        return false;
    }
    const std::uint8_t* file = bytes_.get();
    std::string why;
    switch (ReadPngHeader(file, length_, &png_, &why)) {
        case PngRead::Decoded:
            break;
        case PngRead::NotPng: {
            if (length_ < kPcxHeaderSize || file[0] != kPcxMarker) {
                *reason = "is neither a PNG nor a PCX image";
                return false;
            }
            if (!ReadPcxHeader(file, length_, &pcxHeader_)) {
                *reason =
                    "is not a PCX image this program reads (8 bits per pixel, one plane); " + std::string(kSaveIndexed);
                return false;
            }
            pcx_ = true;
            width_ = pcxHeader_.width;
            height_ = pcxHeader_.height;
            // Read through once: a copy cut short, or a palette that is missing,
            // is refused before any frame is made of it.
            std::vector<std::uint8_t> row(static_cast<std::size_t>(width_) + 1);
            PcxRowDecoder rows(file, length_, pcxHeader_);
            for (std::int32_t y = 0; y < height_; ++y) {
                if (!rows.NextRow(row.data())) {
                    *reason =
                        "is cut short: its data ends in row " + std::to_string(y) + " of " + std::to_string(height_);
                    return false;
                }
            }
            const std::uint8_t* palette = rows.Palette();
            if (palette == nullptr) {
                *reason = "has no palette after its last row (a PCX image cut short?)";
                return false;
            }
            palette_.assign(palette, palette + kPaletteSize);
            return true;
        }
        case PngRead::Damaged:
            *reason = "is a damaged PNG image: " + why;
            return false;
        case PngRead::Unsupported:
            *reason = "is a PNG image of 16 bits per sample; " + std::string(kSaveIndexed);
            return false;
        case PngRead::TooLarge:
            *reason = "is too large for a frame: " + why;
            return false;
    }
    width_ = png_.width;
    height_ = png_.height;
    if (png_.colourType != kPngColourIndexed) {
        marks_ = true;  // alpha 0, or the colour tRNS names; an image without either has none
        return true;
    }
    palette_ = png_.paletteRgb;
    transparentEntry_.assign(256, false);
    for (std::size_t entry = 0; entry < png_.alpha.size(); ++entry) {
        const std::uint8_t a = png_.alpha[entry];
        if (a != 0 && a != 255) {
            *reason = "has partly transparent palette entries (entry " + std::to_string(entry) + "); " +
                      kSaveFullyTransparent;
            return false;
        }
        if (a == 0) transparentEntry_[entry] = marks_ = true;
    }
    return true;
}

bool PackImage::Cut(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, int fillIndex,
                    std::int64_t fillColour, ColourMapper& mapper, const OriginalFrame& original,
                    const PackWording& wording, FramePixels* frame, std::string* reason) const {
    if (!AllocateFrame(width, height, frame, reason)) return false;
    if (width == 0 || height == 0) return true;
    std::uint8_t colours[kPaletteSize] = {};
    if (!palette_.empty()) std::memcpy(colours, palette_.data(), std::min(palette_.size(), sizeof colours));
    // Indexed images: the entries of the fill colour stand for transparency.
    std::vector<bool> fillEntries(256, false);
    if (fillColour >= 0 && !marks_)
        for (std::size_t i = 0; i < palette_.size() / 3; ++i)
            fillEntries[i] = ColourOf(colours + 3 * i) == static_cast<std::uint32_t>(fillColour);
    FrameCutter cutter(x, y, width, height, colours, mapper, original, wording, frame, reason);
    const std::uint32_t rowLimit = static_cast<std::uint32_t>(y) + static_cast<std::uint32_t>(height);
    if (!pcx_) {
        const bool indexed = png_.colourType == kPngColourIndexed;
        PngCut cut(cutter, fillColour >= 0 && !marks_ ? fillEntries : transparentEntry_,
                   marks_ || fillColour >= 0 ? -1 : fillIndex, indexed, marks_ ? -1 : fillColour);
        std::string why;
        const PngRead read = DecodePngRows(bytes_.get(), length_, png_, rowLimit, cut, &why);
        if (cut.failed()) return false;
        if (read != PngRead::Decoded) {
            *reason = "is a damaged PNG image: " + why;
            return false;
        }
        return true;
    }
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width_) + 1);
    PcxRowDecoder rows(bytes_.get(), length_, pcxHeader_);
    for (std::int64_t r = 0; r < rowLimit; ++r) {
        if (!rows.NextRow(row.data())) {
            *reason = "is cut short";
            return false;
        }
        if (!cutter.Wants(r)) continue;
        for (std::int64_t column = x; column < cutter.right(); ++column) {
            const std::uint8_t index = row[static_cast<std::size_t>(column)];
            if (fillColour >= 0 ? fillEntries[index] : index == fillIndex) continue;
            if (!cutter.Index(column, r, index)) return false;
        }
    }
    return true;
}
