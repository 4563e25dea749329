// Fuzzes the PNG reader on arbitrary bytes.
//
// After every input the target checks what ReadPng hands out: a decoded
// picture has the size IHDR gave, exactly width x height indices below the
// palette's entry count (colour type 3) or 4 x width x height RGBA bytes
// (colour type 6), and one alpha byte per palette entry; a refused one has
// empty vectors and a reason. Every byte handed out is read, so that
// AddressSanitizer sees a vector shorter than announced.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/png_reader.h"

namespace {

volatile std::uint32_t sum = 0;

[[noreturn]] void Fail(const char* what, long long value) {
    std::fprintf(stderr, "png_reader_fuzzer: %s (%lld)\n", what, value);
    std::abort();
}

void CheckDecoded(const PngPicture& p) {
    if (p.width < 1 || p.width > kPngMaxDimension || p.height < 1 || p.height > kPngMaxDimension)
        Fail("size", p.width);
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
    } else if (p.colourType == kPngColourRgba && p.bitDepth == 8) {
        if (p.rgba.size() != 4 * pixels) Fail("rgba size", p.rgba.size());
        if (!p.indices.empty() || !p.paletteRgb.empty() || !p.alpha.empty()) Fail("indexed data beside rgba", 0);
        for (std::uint8_t byte : p.rgba) total += byte;
    } else {
        Fail("decoded a colour type it does not support", p.colourType);
    }
    sum = total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
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
    return 0;
}
