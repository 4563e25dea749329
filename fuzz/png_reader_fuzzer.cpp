// Fuzzes the PNG reader on arbitrary bytes.
//
// After every input the target checks what ReadPng hands out: a decoded
// picture has the size IHDR gave, exactly width x height indices below the
// palette's entry count (colour type 3) or 4 x width x height RGBA bytes
// (colour type 6), and one alpha byte per palette entry; a refused one has
// empty vectors and a reason. Every byte handed out is read, so that
// AddressSanitizer sees a vector shorter than announced.
//
// Almost every mutation breaks a chunk's CRC, which the reader checks
// first: each input is read once as it is and once with every CRC it frames
// made right, so that the mutations reach the chunk order, inflate and the
// pixel rows.
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "image/png_reader.h"

namespace {

volatile std::uint32_t sum = 0;

[[noreturn]] void Fail(const char* what, long long value) {
    std::fprintf(stderr, "png_reader_fuzzer: %s (%lld)\n", what, value);
    std::abort();
}

void CheckDecoded(const PngPicture& p) {
    if (p.width < 1 || p.width > kPngMaxDimension || p.height < 1 || p.height > kPngMaxDimension) Fail("size", p.width);
    const std::size_t pixels = static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height);
    std::uint32_t total = 0;
    if (p.colourType == kPngColourIndexed) {
        const std::size_t entries = p.paletteRgb.size() / 3;
        if (p.paletteRgb.size() % 3 != 0 || entries < 1 || entries > 256) Fail("palette size", p.paletteRgb.size());
        if (entries > (1u << p.bitDepth)) Fail("palette larger than the depth allows", entries);
        if (p.alpha.size() != entries) Fail("alpha size", p.alpha.size());
        if (p.indices.size() != pixels) Fail("indices size", p.indices.size());
        if (!p.rgba.empty()) Fail("rgba beside indices", p.rgba.size());
        for (std::uint8_t index : p.indices) {
            if (index >= entries) Fail("index outside the palette", index);
            total += index;
        }
        for (std::uint8_t a : p.alpha) total += a;
    } else if (p.colourType != kPngColourIndexed && p.bitDepth <= 8) {  // grey, RGB, grey with alpha, RGBA
        if (p.rgba.size() != 4 * pixels) Fail("rgba size", p.rgba.size());
        if (!p.indices.empty() || !p.paletteRgb.empty() || !p.alpha.empty()) Fail("indexed data beside rgba", 0);
        for (std::uint8_t byte : p.rgba) total += byte;
    } else {
        Fail("decoded a colour type it does not support", p.colourType);
    }
    sum = total;
}

// A copy of the file with the CRC of every chunk that fits made right.
std::vector<std::uint8_t> WithCrcsMended(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> file(data, data + size);
    for (std::size_t at = 8; at + 12 <= size;) {
        const std::uint32_t length =
            std::uint32_t{file[at]} << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3];
        if (length > size - at - 12) break;
        const auto crc = static_cast<std::uint32_t>(crc32(0, file.data() + at + 4, 4 + length));
        for (int i = 0; i < 4; ++i) file[at + 8 + length + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
        at += 12 + std::size_t{length};
    }
    return file;
}

void ReadAndCheck(const std::uint8_t* data, std::size_t size) {
    PngPicture picture;
    std::string reason;
    const PngRead result = ReadPng(data, size, &picture, &reason);
    if (result == PngRead::Decoded) {
        CheckDecoded(picture);
    } else {
        if (!picture.indices.empty() || !picture.rgba.empty() || !picture.paletteRgb.empty() || !picture.alpha.empty())
            Fail("vectors left behind by a refusal", static_cast<long long>(result));
        if (reason.empty()) Fail("a refusal without a reason", static_cast<long long>(result));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ReadAndCheck(data, size);
    const std::vector<std::uint8_t> mended = WithCrcsMended(data, size);
    if (size > 0 && std::memcmp(mended.data(), data, size) != 0) ReadAndCheck(mended.data(), mended.size());
    return 0;
}
