#include "image/pcx_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "image/pcx_writer.h"
#include "platform/files.h"

namespace {

constexpr std::uint8_t kPaletteMarker = 0x0C;
constexpr std::uint8_t kLongestLiteral = 0xC0;  // 0xC0 itself is a pixel, not an empty run
constexpr std::uint8_t kRunBase = 0xC0;
constexpr std::uint64_t kLongestRun = 63;

// BITMAPINFOHEADER: its size, then the fields set here (the rest stay zero),
// then the colour table.
constexpr std::int32_t kBitmapHeaderSize = 40;
constexpr std::size_t kBiSize = 0;
constexpr std::size_t kBiWidth = 4;
constexpr std::size_t kBiHeight = 8;
constexpr std::size_t kBiPlanes = 12;
constexpr std::size_t kBiBitCount = 14;
constexpr std::size_t kColourTableOffset = kBitmapHeaderSize;

// The window fields and bytes per line are unsigned: the writer gives images
// up to 65535 pixels wide and high.
std::uint16_t Unsigned16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

void PutInt32(std::uint8_t* p, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

void PutInt16(std::uint8_t* p, std::int16_t value) {
    const auto bits = static_cast<std::uint16_t>(value);
    p[0] = static_cast<std::uint8_t>(bits);
    p[1] = static_cast<std::uint8_t>(bits >> 8);
}

// The header of a top-down 8-bit bitmap, laid out as BITMAPINFOHEADER.
void FillBitmapHeader(std::uint8_t* info, std::int32_t width, std::int32_t height, std::int16_t planes,
                      std::int16_t bitCount) {
    std::memset(info, 0, kBitmapInfoSize);
    PutInt32(info + kBiSize, kBitmapHeaderSize);
    PutInt32(info + kBiWidth, width);
    PutInt32(info + kBiHeight, -height);
    PutInt16(info + kBiPlanes, planes);
    PutInt16(info + kBiBitCount, bitCount);
    // biCompression BI_RGB and the rest stay zero.
}

}  // namespace

bool ReadPcxHeader(const std::uint8_t* file, std::size_t length, PcxHeader* header) {
    *header = PcxHeader();
    if (length < kPcxHeaderSize) return false;
    const auto bitsPerPixel = static_cast<std::int8_t>(file[kPcxBitsPerPixel]);
    const auto planes = static_cast<std::int8_t>(file[kPcxPlanes]);
    const std::int64_t width = std::int64_t{Unsigned16(file + kPcxXMax)} - Unsigned16(file + kPcxXMin) + 1;
    const std::int64_t height = std::int64_t{Unsigned16(file + kPcxYMax)} - Unsigned16(file + kPcxYMin) + 1;
    const std::int64_t bytesPerLine = Unsigned16(file + kPcxBytesPerLine);
    if (planes != 1 || bitsPerPixel != 8 || width < 0 || height < 0 || bytesPerLine < width) return false;
    // Every two code bytes give at most 63 pixels: a file that cannot hold
    // its rows is not worth a block of their size.
    const std::uint64_t codedBytes = static_cast<std::uint64_t>(height) * static_cast<std::uint64_t>(bytesPerLine);
    if (codedBytes > (length - kPcxHeaderSize) / 2 * kLongestRun + kLongestRun) return false;
    header->width = static_cast<std::int32_t>(width);
    header->height = static_cast<std::int32_t>(height);
    header->bytesPerLine = static_cast<std::int32_t>(bytesPerLine);
    return true;
}

PcxRowDecoder::PcxRowDecoder(const std::uint8_t* file, std::size_t length, const PcxHeader& header)
    : file_(file), length_(length), header_(header), read_(kPcxHeaderSize) {}

bool PcxRowDecoder::NextRow(std::uint8_t* out) {
    // Pixels beyond the width (padding to bytes per line) and runs beyond the
    // row's end are dropped.
    const std::int64_t width = header_.width;
    std::int64_t x = 0;
    while (complete_ && x < header_.bytesPerLine) {
        if (read_ >= length_) {
            complete_ = false;
            break;
        }
        std::uint8_t value = file_[read_++];
        std::int64_t count = 1;
        if (value > kLongestLiteral) {
            if (read_ >= length_) {
                complete_ = false;
                break;
            }
            count = value - kRunBase;
            value = file_[read_++];
        }
        if (x < width) std::memset(out + x, value, static_cast<std::size_t>(std::min(count, width - x)));
        x += count;
    }
    if (complete_) ++rowsRead_;
    return complete_;
}

const std::uint8_t* PcxRowDecoder::Palette() const {
    if (!complete_ || rowsRead_ != header_.height) return nullptr;
    if (read_ < length_ && file_[read_] == kPaletteMarker && length_ - read_ - 1 >= kPaletteSize)
        return file_ + read_ + 1;
    return nullptr;
}

PcxDecode DecodePcx(const std::uint8_t* file, std::size_t length, DisplayImage* image) {
    *image = DisplayImage();
    PcxHeader header;
    if (!ReadPcxHeader(file, length, &header)) return PcxDecode::Refused;
    const std::int64_t width = header.width;
    const std::int64_t height = header.height;

    const std::int64_t rowStride = (width + 3) & ~std::int64_t{3};
    HeapBlock info(static_cast<std::uint8_t*>(std::malloc(kBitmapInfoSize)));
    // One byte more, so that an image without pixels still gets a block.
    HeapBlock pixels(static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(height * rowStride) + 1, 1)));
    if (!info || !pixels) return PcxDecode::OutOfMemory;
    FillBitmapHeader(info.get(), static_cast<std::int32_t>(width), static_cast<std::int32_t>(height),
                     static_cast<std::int8_t>(file[kPcxPlanes]), static_cast<std::int8_t>(file[kPcxBitsPerPixel]));

    // One forward pass; data that ends early leaves the rest of the rows zero.
    PcxRowDecoder rows(file, length, header);
    for (std::int64_t row = 0; row < height && rows.NextRow(pixels.get() + row * rowStride); ++row) {}

    std::uint8_t* const colours = info.get() + kColourTableOffset;
    if (const std::uint8_t* palette = rows.Palette()) {
        for (std::size_t k = 0; k < 256; ++k) {
            colours[4 * k + 0] = palette[3 * k + 2];  // rgbBlue
            colours[4 * k + 1] = palette[3 * k + 1];  // rgbGreen
            colours[4 * k + 2] = palette[3 * k + 0];  // rgbRed
        }
    }

    image->width = static_cast<std::int32_t>(width);
    image->height = static_cast<std::int32_t>(height);
    image->rowStride = static_cast<std::int32_t>(rowStride);
    image->bitmapInfo = std::move(info);
    image->pixels = std::move(pixels);
    return PcxDecode::Decoded;
}

PcxDecode ReadPcxFile(const char* path, DisplayImage* image) {
    *image = DisplayImage();
    std::FILE* file = platform::OpenRegularFile(path);
    if (file == nullptr) return PcxDecode::Refused;
    // The whole file in one block of exactly its length, with one read.
    long long length = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
    HeapBlock block;
    bool read = length == 0;
    if (length > 0 && static_cast<unsigned long long>(length) <= SIZE_MAX) {
        block.reset(static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(length))));
        read = block && std::fseek(file, 0, SEEK_SET) == 0 &&
               std::fread(block.get(), 1, static_cast<std::size_t>(length), file) == static_cast<std::size_t>(length);
    }
    std::fclose(file);
    return read ? DecodePcx(block.get(), static_cast<std::size_t>(length), image) : PcxDecode::Refused;
}
