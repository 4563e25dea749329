#include "image/pcx_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "image/pcx_writer.h"
#include "platform/application_title.h"
#include "platform/files.h"
#include "platform/seam.h"

namespace {

constexpr std::size_t kBitsPerPixelOffset = 3;
constexpr std::size_t kWindowOffset = 4;  // xmin, ymin, xmax, ymax
constexpr std::size_t kPlanesOffset = 65;
constexpr std::size_t kBytesPerLineOffset = 66;
constexpr std::uint8_t kPaletteMarker = 0x0C;
constexpr std::uint8_t kLongestLiteral = 0xC0;  // 0xC0 itself is a pixel, not an empty run
constexpr std::uint8_t kRunBase = 0xC0;
constexpr std::uint64_t kLongestRun = 63;
constexpr std::size_t kColourTableOffset = 40;

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
    PutInt32(info + 0, 40);  // biSize
    PutInt32(info + 4, width);
    PutInt32(info + 8, -height);
    PutInt16(info + 12, planes);
    PutInt16(info + 14, bitCount);
    // biCompression BI_RGB and the rest stay zero.
}

void ShowFailure(HWND owner, const char* text) {
    platform::MessageBoxA(owner, text, platform::ApplicationTitle(), MB_OK);
}

}  // namespace

PcxDecode DecodePcx(const std::uint8_t* file, std::size_t length, DisplayImage* image) {
    *image = DisplayImage();
    if (length < kPcxHeaderSize) return PcxDecode::Refused;
    const auto bitsPerPixel = static_cast<std::int8_t>(file[kBitsPerPixelOffset]);
    const auto planes = static_cast<std::int8_t>(file[kPlanesOffset]);
    const std::int64_t width =
        std::int64_t{Unsigned16(file + kWindowOffset + 4)} - Unsigned16(file + kWindowOffset) + 1;
    const std::int64_t height =
        std::int64_t{Unsigned16(file + kWindowOffset + 6)} - Unsigned16(file + kWindowOffset + 2) + 1;
    const std::int64_t bytesPerLine = Unsigned16(file + kBytesPerLineOffset);
    if (planes != 1 || bitsPerPixel != 8 || width < 0 || height < 0 || bytesPerLine < width) return PcxDecode::Refused;
    // Every two code bytes give at most 63 pixels: a file that cannot hold
    // its rows is not worth a block of their size.
    const std::uint64_t codedBytes = static_cast<std::uint64_t>(height) * static_cast<std::uint64_t>(bytesPerLine);
    if (codedBytes > (length - kPcxHeaderSize) / 2 * kLongestRun + kLongestRun) return PcxDecode::Refused;

    const std::int64_t rowStride = (width + 3) & ~std::int64_t{3};
    HeapBlock info(static_cast<std::uint8_t*>(std::malloc(kBitmapInfoSize)));
    // One byte more, so that an image without pixels still gets a block.
    HeapBlock pixels(static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(height * rowStride) + 1, 1)));
    if (!info || !pixels) return PcxDecode::OutOfMemory;
    FillBitmapHeader(info.get(), static_cast<std::int32_t>(width), static_cast<std::int32_t>(height), planes,
                     bitsPerPixel);

    // One forward pass. Pixels beyond the width (padding to bytes per line)
    // and runs beyond the row's end are dropped; data that ends early leaves
    // the rest of the rows zero.
    std::size_t read = kPcxHeaderSize;
    bool complete = true;
    for (std::int64_t row = 0; row < height && complete; ++row) {
        std::uint8_t* const out = pixels.get() + row * rowStride;
        std::int64_t x = 0;
        while (x < bytesPerLine) {
            if (read >= length) {
                complete = false;
                break;
            }
            std::uint8_t value = file[read++];
            std::int64_t count = 1;
            if (value > kLongestLiteral) {
                if (read >= length) {
                    complete = false;
                    break;
                }
                count = value - kRunBase;
                value = file[read++];
            }
            if (x < width) std::memset(out + x, value, static_cast<std::size_t>(std::min(count, width - x)));
            x += count;
        }
    }

    std::uint8_t* const colours = info.get() + kColourTableOffset;
    if (complete && read < length && file[read] == kPaletteMarker && length - read - 1 >= kPaletteSize) {
        const std::uint8_t* palette = file + read + 1;
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

bool ReadPcx(const char* path, HWND owner, DisplayImage* image) {
    static const char kUnableToOpen[] = "Unable to open the PCX file";
    *image = DisplayImage();
    std::FILE* file = platform::OpenRegularFile(path);
    if (file == nullptr) {
        ShowFailure(owner, kUnableToOpen);
        return false;
    }
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
    const PcxDecode result =
        read ? DecodePcx(block.get(), static_cast<std::size_t>(length), image) : PcxDecode::Refused;
    if (result == PcxDecode::Decoded) return true;
    ShowFailure(owner, result == PcxDecode::OutOfMemory ? "Can't allocate memory for the image" : kUnableToOpen);
    return false;
}
