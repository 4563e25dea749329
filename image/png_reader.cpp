#include "image/png_reader.h"

#include <zlib.h>

#include <cstring>
#include <new>
#include <utility>

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::size_t kChunkFraming = 12;            // length and type before the data, CRC after it
constexpr std::uint32_t kLongestChunk = 0x7FFFFFFF;  // the format's limit on a chunk's length
constexpr std::size_t kIhdrLength = 13;
constexpr std::uint8_t kAncillaryBit = 0x20;           // bit 5 of a type's first letter: lower case
constexpr std::uint64_t kDeflateMostExpansion = 1032;  // 258 bytes from a 2-bit length and distance code
constexpr int kFilterCount = 5;                        // None, Sub, Up, Average, Paeth

std::uint32_t Uint32At(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

bool IsLetter(std::uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// One pass of the image: the pixels at (x0 + i dx, y0 + j dy).
struct Pass {
    std::uint32_t x0, y0, dx, dy;
};
constexpr Pass kWholeImage = {0, 0, 1, 1};
constexpr Pass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                            {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

std::uint32_t PassExtent(std::uint32_t size, std::uint32_t start, std::uint32_t step) {
    return size > start ? (size - start + step - 1) / step : 0;
}

std::uint64_t RowBytes(std::uint64_t pixels, unsigned bitsPerPixel) { return (pixels * bitsPerPixel + 7) / 8; }

const char* ColourName(int colourType) {
    switch (colourType) {
        case 0:
            return "grey-scale";
        case 2:
            return "RGB";
        case 3:
            return "indexed";
        case 4:
            return "grey-scale with alpha";
        case 6:
            return "RGBA";
    }
    return "unknown";
}

// The bit depths the format allows for a colour type.
bool ValidDepth(int colourType, int depth) {
    switch (colourType) {
        case 0:
            return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
        case 3:
            return depth == 1 || depth == 2 || depth == 4 || depth == 8;
        case 2:
        case 4:
        case 6:
            return depth == 8 || depth == 16;
    }
    return false;
}

// A chunk whose framing has been checked: its data lies within the file.
struct Chunk {
    std::size_t at;  // offset of its length field
    std::uint32_t length;
    char type[5];
    const std::uint8_t* data;

    bool Is(const char* name) const { return std::memcmp(type, name, 4) == 0; }
};

unsigned BitsPerPixel(const PngHeader& header) {
    const unsigned depth = static_cast<unsigned>(header.bitDepth);
    switch (header.colourType) {
        case kPngColourRgb:
            return 3 * depth;
        case kPngColourGreyAlpha:
            return 2 * depth;
        case kPngColourRgba:
            return 4 * depth;
    }
    return depth;
}

// The size of the raw (inflated) image data IHDR announces.
std::uint64_t RawSize(const PngHeader& header) {
    const Pass* passes = header.interlaced ? kAdam7 : &kWholeImage;
    const int passCount = header.interlaced ? 7 : 1;
    std::uint64_t size = 0;
    for (int p = 0; p < passCount; ++p) {
        const std::uint64_t columns = PassExtent(static_cast<std::uint32_t>(header.width), passes[p].x0, passes[p].dx);
        const std::uint64_t rows = PassExtent(static_cast<std::uint32_t>(header.height), passes[p].y0, passes[p].dy);
        if (columns > 0) size += rows * (1 + RowBytes(columns, BitsPerPixel(header)));
    }
    return size;
}

// Checks the chunks up to IEND and fills a PngHeader; the image data is not
// touched.
class Walker {
public:
    Walker(const std::uint8_t* file, std::size_t length, PngHeader* header, std::string* reason)
        : file_(file), length_(length), header_(header), reason_(reason) {}

    PngRead Walk();

private:
    PngRead Fail(PngRead result, const std::string& why) {
        header_->paletteRgb.clear();
        header_->alpha.clear();
        if (reason_ != nullptr) *reason_ = why;
        return result;
    }
    PngRead Damaged(const std::string& why) { return Fail(PngRead::Damaged, why); }

    // Reads the chunk at offset at, checking that it lies within the file,
    // that its type is four letters and that its CRC matches.
    bool ReadChunk(std::size_t at, Chunk* chunk, std::string* why) const;
    PngRead ReadIhdr(const Chunk& ihdr);

    const std::uint8_t* file_;
    std::size_t length_;
    PngHeader* header_;
    std::string* reason_;
};

bool Walker::ReadChunk(std::size_t at, Chunk* chunk, std::string* why) const {
    if (length_ - at < kChunkFraming) {
        *why = "the file is truncated";
        return false;
    }
    chunk->at = at;
    chunk->length = Uint32At(file_ + at);
    std::memcpy(chunk->type, file_ + at + 4, 4);
    chunk->type[4] = '\0';
    for (std::size_t i = 0; i < 4; ++i) {
        if (!IsLetter(file_[at + 4 + i])) {
            *why = "invalid chunk type";
            return false;
        }
    }
    if (chunk->length > kLongestChunk || chunk->length > length_ - at - kChunkFraming) {
        *why = std::string("the file is truncated in chunk ") + chunk->type;
        return false;
    }
    chunk->data = file_ + at + 8;
    const auto crc = crc32(0, file_ + at + 4, static_cast<uInt>(4 + chunk->length));
    if (static_cast<std::uint32_t>(crc) != Uint32At(chunk->data + chunk->length)) {
        *why = std::string("CRC error in chunk ") + chunk->type;
        return false;
    }
    return true;
}

PngRead Walker::ReadIhdr(const Chunk& ihdr) {
    if (ihdr.length != kIhdrLength) return Damaged("IHDR chunk of the wrong length");
    const std::uint32_t width = Uint32At(ihdr.data);
    const std::uint32_t height = Uint32At(ihdr.data + 4);
    const int depth = ihdr.data[8];
    const int colourType = ihdr.data[9];
    if (width == 0 || height == 0) return Damaged("the image has no pixels");
    if (width > kLongestChunk || height > kLongestChunk) return Damaged("invalid image size");
    if (!ValidDepth(colourType, depth)) return Damaged("invalid colour type or bit depth");
    if (ihdr.data[10] != 0) return Damaged("unknown compression method");
    if (ihdr.data[11] != 0) return Damaged("unknown filter method");
    if (ihdr.data[12] > 1) return Damaged("unknown interlace method");

    header_->colourType = colourType;
    header_->bitDepth = depth;
    header_->interlaced = ihdr.data[12] == 1;
    header_->width = static_cast<std::int32_t>(width);
    header_->height = static_cast<std::int32_t>(height);
    if (width > static_cast<std::uint32_t>(kPngMaxDimension) || height > static_cast<std::uint32_t>(kPngMaxDimension))
        return Fail(PngRead::TooLarge, "image of " + std::to_string(width) + " x " + std::to_string(height) +
                                           " pixels; at most 65535 x 65535");
    if (depth == 16)
        return Fail(PngRead::Unsupported,
                    std::string(ColourName(colourType)) + " image at " + std::to_string(depth) + " bits per sample");
    return PngRead::Decoded;
}

// Checks the order and framing of every chunk up to IEND and finds the
// palette, the transparency and the run of IDAT chunks.
PngRead Walker::Walk() {
    *header_ = PngHeader();
    if (length_ < sizeof kSignature || std::memcmp(file_, kSignature, sizeof kSignature) != 0)
        return Fail(PngRead::NotPng, "not a PNG file");
    enum { BeforeIdat, InIdat, AfterIdat } idat = BeforeIdat;
    bool indexed = false;
    bool palette = false;
    bool transparency = false;
    std::string why;
    Chunk chunk;
    for (std::size_t at = sizeof kSignature;; at += kChunkFraming + chunk.length) {
        if (at == length_) return Damaged("the file ends before its IEND chunk");
        if (!ReadChunk(at, &chunk, &why)) return Damaged(why);
        const std::string name = chunk.type;

        if (at == sizeof kSignature) {
            if (!chunk.Is("IHDR")) return Damaged("IHDR is not the first chunk");
            const PngRead read = ReadIhdr(chunk);
            if (read != PngRead::Decoded) return read;
            indexed = header_->colourType == kPngColourIndexed;
            continue;
        }
        if (chunk.Is("IDAT")) {
            if (idat == AfterIdat) return Damaged("IDAT chunks are not consecutive");
            if (idat == BeforeIdat) {
                if (indexed && !palette) return Damaged("no PLTE chunk before the image data");
                header_->firstIdat = at;
            }
            idat = InIdat;
            header_->idatBytes += chunk.length;
            continue;
        }
        if (idat == InIdat) idat = AfterIdat;
        if (chunk.Is("IEND")) break;
        if (chunk.Is("IHDR")) return Damaged("more than one IHDR chunk");
        if (chunk.Is("PLTE")) {
            if (palette) return Damaged("more than one PLTE chunk");
            if (idat != BeforeIdat) return Damaged("PLTE chunk after the image data");
            const std::uint32_t entries = chunk.length / 3;
            if (chunk.length % 3 != 0 || entries == 0 || entries > 256)
                return Damaged("PLTE chunk of the wrong length");
            if (indexed && entries > (1u << header_->bitDepth))
                return Damaged("PLTE chunk has " + std::to_string(entries) + " entries; at most " +
                               std::to_string(1u << header_->bitDepth) + " at " + std::to_string(header_->bitDepth) +
                               " bits");
            palette = true;
            // A palette beside true colours is only a suggestion for viewers.
            if (indexed) {
                header_->paletteRgb.assign(chunk.data, chunk.data + chunk.length);
                header_->alpha.assign(entries, 255);
            }
        } else if (chunk.Is("tRNS") &&
                   (indexed || header_->colourType == kPngColourGrey || header_->colourType == kPngColourRgb)) {
            // Types 4 and 6 have an alpha channel; a tRNS there is ignored.
            if (transparency) return Damaged("more than one tRNS chunk");
            if (idat != BeforeIdat) return Damaged("tRNS chunk after the image data");
            transparency = true;
            if (indexed) {
                if (!palette) return Damaged("tRNS chunk before PLTE");
                if (chunk.length > header_->alpha.size()) return Damaged("tRNS chunk has more entries than PLTE");
                std::memcpy(header_->alpha.data(), chunk.data, chunk.length);
            } else {
                const std::uint32_t samples = header_->colourType == kPngColourGrey ? 1 : 3;
                if (chunk.length != 2 * samples) return Damaged("tRNS chunk of the wrong length");
                for (std::uint32_t i = 0; i < samples; ++i)
                    header_->transparentSample[i] =
                        static_cast<std::uint16_t>(chunk.data[2 * i] << 8 | chunk.data[2 * i + 1]);
                header_->transparentColour = true;
            }
        } else if ((chunk.type[0] & kAncillaryBit) == 0) {
            return Damaged("unknown critical chunk " + name);
        }
    }
    if (idat == BeforeIdat) return Damaged("no image data (IDAT chunk)");

    // What IHDR announces, against what the IDAT bytes can possibly hold.
    const std::uint64_t rawSize = RawSize(*header_);
    if (rawSize > header_->idatBytes * kDeflateMostExpansion)
        return Damaged("the image data is too short for " + std::to_string(header_->width) + " x " +
                       std::to_string(header_->height) + " pixels");
    return PngRead::Decoded;
}

// The joined data of the IDAT chunks, inflated on demand. The chunks were
// checked by Walk: each lies within the file.
class Inflater {
public:
    Inflater(const std::uint8_t* file, std::size_t firstIdat) : file_(file), next_(firstIdat) {}
    ~Inflater() {
        if (started_) inflateEnd(&stream_);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    bool Start() {
        std::memset(&stream_, 0, sizeof stream_);
        started_ = inflateInit(&stream_) == Z_OK;
        return started_;
    }

    // Fills out[0, count) with the next inflated bytes. False with why when
    // the stream ends first or is damaged.
    bool Read(std::uint8_t* out, std::size_t count, std::string* why) {
        stream_.next_out = out;
        stream_.avail_out = static_cast<uInt>(count);
        while (stream_.avail_out > 0) {
            if (ended_) {
                *why = "the image data ends early";
                return false;
            }
            if (!Step(why)) return false;
        }
        return true;
    }

    // True when the stream ends here, its check value matching.
    bool End(std::string* why) {
        std::uint8_t spare;
        while (!ended_) {
            stream_.next_out = &spare;
            stream_.avail_out = 1;
            if (!Step(why)) return false;
            if (stream_.avail_out == 0) {
                *why = "more image data than the image holds";
                return false;
            }
        }
        return true;
    }

private:
    // Feeds the next IDAT chunk when the input is used up, then inflates once.
    bool Step(std::string* why) {
        while (stream_.avail_in == 0 && MoreInput()) {  // an empty IDAT is allowed
            const std::uint32_t length = Uint32At(file_ + next_);
            stream_.next_in = const_cast<std::uint8_t*>(file_ + next_ + 8);
            stream_.avail_in = length;
            next_ += kChunkFraming + length;
        }
        const int result = inflate(&stream_, Z_NO_FLUSH);
        if (result == Z_STREAM_END) {
            ended_ = true;
        } else if (result == Z_BUF_ERROR) {  // no progress: the input is used up
            *why = "the image data is truncated";
            return false;
        } else if (result != Z_OK) {
            *why = result == Z_MEM_ERROR ? "not enough memory" : "the image data is corrupt";
            return false;
        }
        return true;
    }

    bool MoreInput() const { return std::memcmp(file_ + next_ + 4, "IDAT", 4) == 0; }

    const std::uint8_t* file_;
    std::size_t next_;  // the chunk after the one being inflated; IEND at the latest
    z_stream stream_;
    bool started_ = false;
    bool ended_ = false;
};

int Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = p > a ? p - a : a - p;
    const int pb = p > b ? p - b : b - p;
    const int pc = p > c ? p - c : c - p;
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

// Undoes row filter `filter` on row[0, count) given the previous row of the
// pass (zeros for the first); bpp is the distance to the left neighbour.
void Unfilter(int filter, std::uint8_t* row, const std::uint8_t* previous, std::size_t count, std::size_t bpp) {
    switch (filter) {
        case 1:
            for (std::size_t i = bpp; i < count; ++i) row[i] = static_cast<std::uint8_t>(row[i] + row[i - bpp]);
            break;
        case 2:
            for (std::size_t i = 0; i < count; ++i) row[i] = static_cast<std::uint8_t>(row[i] + previous[i]);
            break;
        case 3:
            for (std::size_t i = 0; i < count; ++i) {
                const int left = i >= bpp ? row[i - bpp] : 0;
                row[i] = static_cast<std::uint8_t>(row[i] + ((left + previous[i]) >> 1));
            }
            break;
        case 4:
            for (std::size_t i = 0; i < count; ++i) {
                const int left = i >= bpp ? row[i - bpp] : 0;
                const int upperLeft = i >= bpp ? previous[i - bpp] : 0;
                row[i] = static_cast<std::uint8_t>(row[i] + Paeth(left, previous[i], upperLeft));
            }
            break;
        default:
            break;
    }
}

// Turns one unfiltered row of count pixels into indices or RGBA samples.
class RowExpander {
public:
    explicit RowExpander(const PngHeader& header)
        : header_(header), depth_(static_cast<unsigned>(header.bitDepth)), mask_((1u << depth_) - 1) {}

    // False with why when an index lies outside the palette.
    bool Expand(const std::uint8_t* row, std::uint32_t count, std::uint8_t* out, std::string* why) const {
        const int type = header_.colourType;
        if (type == kPngColourIndexed || type == kPngColourGrey) {
            for (std::uint32_t i = 0; i < count; ++i) {
                // Pixel i sits in byte i x depth / 8, from the most significant bit.
                const std::uint64_t bit = std::uint64_t{i} * depth_;
                const unsigned value = (row[bit / 8] >> (8 - depth_ - bit % 8)) & mask_;
                if (type == kPngColourIndexed) {
                    if (value >= header_.alpha.size()) {
                        *why = "pixel index " + std::to_string(value) + " is outside the palette of " +
                               std::to_string(header_.alpha.size()) + " colours";
                        return false;
                    }
                    out[i] = static_cast<std::uint8_t>(value);
                } else {
                    const auto grey = static_cast<std::uint8_t>(value * 255 / mask_);  // scaled to 8 bits
                    std::uint8_t* pixel = out + 4 * std::size_t{i};
                    pixel[0] = pixel[1] = pixel[2] = grey;
                    pixel[3] = header_.transparentColour && value == header_.transparentSample[0] ? 0 : 255;
                }
            }
            return true;
        }
        for (std::uint32_t i = 0; i < count; ++i) {
            std::uint8_t* pixel = out + 4 * std::size_t{i};
            if (type == kPngColourRgba) {
                std::memcpy(pixel, row + 4 * std::size_t{i}, 4);
            } else if (type == kPngColourRgb) {
                std::memcpy(pixel, row + 3 * std::size_t{i}, 3);
                pixel[3] = header_.transparentColour && pixel[0] == header_.transparentSample[0] &&
                                   pixel[1] == header_.transparentSample[1] && pixel[2] == header_.transparentSample[2]
                               ? 0
                               : 255;
            } else {  // grey with alpha
                pixel[0] = pixel[1] = pixel[2] = row[2 * std::size_t{i}];
                pixel[3] = row[2 * std::size_t{i} + 1];
            }
        }
        return true;
    }

private:
    const PngHeader& header_;
    unsigned depth_;
    unsigned mask_;
};

// Fills a PngPicture's vectors.
class PictureSink : public PngRowSink {
public:
    explicit PictureSink(PngPicture* picture) : picture_(picture) {}
    bool Row(std::uint32_t y, std::uint32_t x0, std::uint32_t dx, std::uint32_t count,
             const std::uint8_t* samples) override {
        const std::uint64_t width = static_cast<std::uint64_t>(picture_->width);
        const bool indexed = picture_->colourType == kPngColourIndexed;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint64_t at = y * width + x0 + std::uint64_t{i} * dx;
            if (indexed)
                picture_->indices[at] = samples[i];
            else
                std::memcpy(&picture_->rgba[4 * at], samples + 4 * std::size_t{i}, 4);
        }
        return true;
    }

private:
    PngPicture* picture_;
};

}  // namespace

PngRead ReadPngHeader(const std::uint8_t* file, std::size_t length, PngHeader* header, std::string* reason) {
    return Walker(file, length, header, reason).Walk();
}

PngRead DecodePngRows(const std::uint8_t* file, std::size_t length, const PngHeader& header, std::uint32_t rowLimit,
                      PngRowSink& sink, std::string* reason) {
    (void)length;  // the chunks were checked against it by ReadPngHeader
    const std::uint32_t width = static_cast<std::uint32_t>(header.width);
    const std::uint32_t height = static_cast<std::uint32_t>(header.height);
    const unsigned bitsPerPixel = BitsPerPixel(header);
    const std::size_t bpp = bitsPerPixel < 8 ? 1 : bitsPerPixel / 8;
    const bool indexed = header.colourType == kPngColourIndexed;
    const Pass* passes = header.interlaced ? kAdam7 : &kWholeImage;
    const int passCount = header.interlaced ? 7 : 1;
    const std::size_t rowBytes = static_cast<std::size_t>(RowBytes(width, bitsPerPixel));
    auto fail = [&](PngRead result, const std::string& why) {
        if (reason != nullptr) *reason = why;
        return result;
    };

    std::vector<std::uint8_t> rows;      // the previous row and the current one, each after its filter byte
    std::vector<std::uint8_t> expanded;  // the current row's pixels as indices or RGBA
    try {
        rows.assign(2 * (1 + rowBytes), 0);
        expanded.assign(std::size_t{width} * (indexed ? 1 : 4), 0);
    } catch (const std::bad_alloc&) {
        return fail(PngRead::TooLarge, "not enough memory for a row of " + std::to_string(width) + " pixels");
    }
    Inflater inflater(file, header.firstIdat);
    if (!inflater.Start()) return fail(PngRead::TooLarge, "not enough memory");
    const RowExpander expander(header);
    std::string why;
    std::uint8_t* previous = rows.data() + 1;
    std::uint8_t* current = rows.data() + 1 + rowBytes + 1;
    for (int p = 0; p < passCount; ++p) {
        const Pass& pass = passes[p];
        const std::uint32_t columns = PassExtent(width, pass.x0, pass.dx);
        const std::uint32_t passRows = PassExtent(height, pass.y0, pass.dy);
        if (columns == 0 || passRows == 0) continue;
        const bool lastPass = p == passCount - 1;
        const std::size_t count = static_cast<std::size_t>(RowBytes(columns, bitsPerPixel));
        std::memset(previous, 0, count);
        for (std::uint32_t r = 0; r < passRows; ++r) {
            const std::uint32_t y = pass.y0 + r * pass.dy;
            if (lastPass && y >= rowLimit) return PngRead::Decoded;  // nothing further is wanted
            if (!inflater.Read(current - 1, count + 1, &why)) return fail(PngRead::Damaged, why);
            const int filter = current[-1];
            if (filter >= kFilterCount) return fail(PngRead::Damaged, "unknown filter type " + std::to_string(filter));
            Unfilter(filter, current, previous, count, bpp);
            if (!expander.Expand(current, columns, expanded.data(), &why)) return fail(PngRead::Damaged, why);
            if (!sink.Row(y, pass.x0, pass.dx, columns, expanded.data())) return PngRead::Decoded;
            std::swap(previous, current);
        }
    }
    if (rowLimit >= height && !inflater.End(&why)) return fail(PngRead::Damaged, why);
    return PngRead::Decoded;
}

PngRead ReadPng(const std::uint8_t* file, std::size_t length, PngPicture* picture, std::string* reason) {
    *picture = PngPicture();
    PngHeader header;
    const PngRead walked = ReadPngHeader(file, length, &header, reason);
    static_cast<PngImageInfo&>(*picture) = header;
    if (walked != PngRead::Decoded) return walked;

    const std::uint64_t pixels = static_cast<std::uint64_t>(header.width) * static_cast<std::uint64_t>(header.height);
    try {
        if (header.colourType == kPngColourIndexed) {
            picture->indices.assign(static_cast<std::size_t>(pixels), 0);
            picture->paletteRgb = header.paletteRgb;
            picture->alpha = header.alpha;
        } else {
            picture->rgba.assign(static_cast<std::size_t>(pixels) * 4, 0);
        }
    } catch (const std::bad_alloc&) {
        *picture = PngPicture();
        if (reason != nullptr)
            *reason = "not enough memory for " + std::to_string(header.width) + " x " + std::to_string(header.height) +
                      " pixels";
        return PngRead::TooLarge;
    }
    PictureSink sink(picture);
    const PngRead decoded =
        DecodePngRows(file, length, header, static_cast<std::uint32_t>(header.height), sink, reason);
    if (decoded != PngRead::Decoded) {
        picture->indices.clear();
        picture->rgba.clear();
        picture->paletteRgb.clear();
        picture->alpha.clear();
    }
    return decoded;
}
