// Fuzzes the PCX reader's in-memory decoding on arbitrary bytes.
//
// After every input the target checks what DecodePcx hands out: an image it
// decoded is a complete top-down 8-bit bitmap whose header matches its size,
// whose colour entries have zero reserved bytes and whose rows are padded
// with zeros; an image it did not decode is left empty. Every byte of both
// blocks is read, so AddressSanitizer sees a block shorter than announced.
// Built with MemorySanitizer instead, the target also proves that every byte
// of the pixel block and of bitmapInfo is defined.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "image/pcx_reader.h"

#if defined(__has_feature)
#if __has_feature(memory_sanitizer)
#include <sanitizer/msan_interface.h>
#define KV_CHECK_DEFINED(block, size) __msan_check_mem_is_initialized(block, size)
#endif
#endif
#ifndef KV_CHECK_DEFINED
#define KV_CHECK_DEFINED(block, size) (static_cast<void>(block), static_cast<void>(size))
#endif

namespace {

constexpr std::size_t kColourTableOffset = 40;

// Where the pixels' sum goes, so that reading them cannot be left out.
volatile std::uint32_t pixelSum = 0;

[[noreturn]] void Fail(const char* what, std::int64_t value) {
    std::fprintf(stderr, "pcx_reader_fuzzer: %s (%lld)\n", what, static_cast<long long>(value));
    std::abort();
}

std::int32_t Int32At(const std::uint8_t* p) {
    return static_cast<std::int32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24);
}
std::int32_t Int16At(const std::uint8_t* p) { return static_cast<std::int16_t>(p[0] | p[1] << 8); }

void CheckEmpty(const DisplayImage& image) {
    if (image.bitmapInfo || image.pixels) Fail("blocks left behind by a failed decode", 0);
    if (image.width != 0 || image.height != 0 || image.rowStride != 0) Fail("sizes left behind", image.width);
}

void CheckBitmap(const DisplayImage& image) {
    if (!image.bitmapInfo || !image.pixels) Fail("a decoded image without its blocks", 0);
    if (image.width < 0 || image.height < 0) Fail("negative size", image.width < 0 ? image.width : image.height);
    if (image.rowStride != ((image.width + 3) & ~3)) Fail("row stride", image.rowStride);

    const std::uint8_t* info = image.bitmapInfo.get();
    KV_CHECK_DEFINED(info, kBitmapInfoSize);
    if (Int32At(info) != 40) Fail("biSize", Int32At(info));
    if (Int32At(info + 4) != image.width) Fail("biWidth", Int32At(info + 4));
    if (Int32At(info + 8) != -image.height) Fail("biHeight", Int32At(info + 8));
    if (Int16At(info + 12) != 1 || Int16At(info + 14) != 8) Fail("planes or bit count", Int16At(info + 12));
    for (std::size_t at = 16; at < kColourTableOffset; ++at)
        if (info[at] != 0) Fail("header field after biBitCount", static_cast<std::int64_t>(at));
    for (std::size_t k = 0; k < 256; ++k)
        if (info[kColourTableOffset + 4 * k + 3] != 0) Fail("rgbReserved", static_cast<std::int64_t>(k));

    const std::size_t size = static_cast<std::size_t>(image.height) * static_cast<std::size_t>(image.rowStride);
    const std::uint8_t* pixels = image.pixels.get();
    KV_CHECK_DEFINED(pixels, size);
    std::uint32_t sum = 0;
    for (std::int64_t row = 0; row < image.height; ++row) {
        const std::uint8_t* start = pixels + row * image.rowStride;
        for (std::int64_t x = 0; x < image.width; ++x) sum += start[x];
        for (std::int64_t x = image.width; x < image.rowStride; ++x)
            if (start[x] != 0) Fail("padding not zero in row", row);
    }
    pixelSum = sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    DisplayImage image;
    switch (DecodePcx(data, size, &image)) {
        case PcxDecode::Decoded:
            CheckBitmap(image);
            break;
        case PcxDecode::Refused:
        case PcxDecode::OutOfMemory:
            CheckEmpty(image);
            break;
    }
    return 0;
}
