#include "image/pcx_writer.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KV_PCX_SSSE3 1
#endif

#include "platform/byte_order.h"
#include "platform/output_file.h"
#include "platform/heap_block.h"

namespace {

constexpr std::uint8_t kManufacturer = 0x0A;
constexpr std::uint8_t kVersion = 5;
constexpr std::uint8_t kRunLengthEncoding = 1;
constexpr std::uint8_t kBitsPerPixel = 8;
constexpr std::uint8_t kPlanes = 1;
constexpr std::uint16_t kPaletteInfo = 2;
constexpr std::uint8_t kPaletteMarker = 0x0C;
constexpr std::uint8_t kRunOfOne = 0xC1;  // 11 000001: a run count of one
constexpr std::uint8_t kRunBits = 0xC0;   // 11 xxxxxx: a byte read as a run count
// The working buffer: pieces of about a mebibyte go to the sink, with room
// behind for the longest row (2 x 65535 bytes, 16 more from the vector coder)
// and for the palette at the end.
constexpr std::size_t kFlushAt = 1 << 20;
constexpr std::size_t kBufferSize = kFlushAt + 2 * 0xFFFF + 16 + 1 + kPaletteSize + 64;

// Codes one row the plain way: the prefix is always stored and kept only when
// the pixel would read as a run count, so the loop has no branch.
std::uint8_t* EncodeRowScalar(const std::uint8_t* source, std::int32_t width, std::uint8_t* o) {
    for (std::int32_t i = 0; i < width; ++i) {
        const std::uint8_t value = source[i];
        *o = kRunOfOne;
        o += (value & kRunBits) == kRunBits;
        *o++ = value;
    }
    return o;
}

#ifdef KV_PCX_SSSE3
// Eight pixels at a time: the mask of pixels that need a prefix picks a
// shuffle that spreads the eight bytes over 8 to 16 output bytes, leaving a
// zero before each such pixel, and a pattern that puts 0xC1 into those gaps.
struct ExpansionTables {
    alignas(16) std::uint8_t shuffle[256][16];
    alignas(16) std::uint8_t prefix[256][16];
    std::uint8_t length[256];

    ExpansionTables() {
        for (int mask = 0; mask < 256; ++mask) {
            int o = 0;
            std::memset(shuffle[mask], 0x80, 16);  // 0x80: pshufb writes zero
            std::memset(prefix[mask], 0, 16);
            for (int i = 0; i < 8; ++i) {
                if (mask & (1 << i)) prefix[mask][o++] = kRunOfOne;
                shuffle[mask][o++] = static_cast<std::uint8_t>(i);
            }
            length[mask] = static_cast<std::uint8_t>(o);
        }
    }
};

const ExpansionTables& Tables() {
    static const ExpansionTables tables;
    return tables;
}

// Writes up to 16 bytes past the returned position; the working block's
// worst-case size leaves room for that.
__attribute__((target("ssse3"))) std::uint8_t* EncodeRowSsse3(const std::uint8_t* source, std::int32_t width,
                                                              std::uint8_t* o) {
    const ExpansionTables& t = Tables();
    const __m128i runBits = _mm_set1_epi8(static_cast<char>(kRunBits));
    std::int32_t i = 0;
    for (; i + 16 <= width; i += 16) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(pixels, runBits), runBits));
        const int low = mask & 0xFF;
        const int high = mask >> 8;
        const __m128i first =
            _mm_or_si128(_mm_shuffle_epi8(pixels, _mm_load_si128(reinterpret_cast<const __m128i*>(t.shuffle[low]))),
                         _mm_load_si128(reinterpret_cast<const __m128i*>(t.prefix[low])));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), first);
        o += t.length[low];
        const __m128i rest = _mm_srli_si128(pixels, 8);
        const __m128i second =
            _mm_or_si128(_mm_shuffle_epi8(rest, _mm_load_si128(reinterpret_cast<const __m128i*>(t.shuffle[high]))),
                         _mm_load_si128(reinterpret_cast<const __m128i*>(t.prefix[high])));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), second);
        o += t.length[high];
    }
    return EncodeRowScalar(source + i, width - i, o);
}

bool HasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}
#endif

}  // namespace

bool EncodePcx(ByteSink& sink, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
               std::int32_t rowStride, const std::uint8_t* palette) {
    if (width < 1 || height < 1 || width > kMaxPcxDimension || height > kMaxPcxDimension) return false;
    // A small image needs no more than its worst case; most sprites' images
    // are small, and a block of a mebibyte costs the heap more than the coding.
    const std::uint64_t worstCase = kPcxHeaderSize +
                                    2 * static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) + 16 +
                                    1 + kPaletteSize + 64;
    HeapBlock buffer(static_cast<std::uint8_t*>(
        std::malloc(worstCase < kBufferSize ? static_cast<std::size_t>(worstCase) : kBufferSize)));
    if (!buffer) return false;
    std::uint8_t* const out = buffer.get();

    std::memset(out, 0, kPcxHeaderSize);
    out[kPcxManufacturer] = kManufacturer;
    out[kPcxVersion] = kVersion;
    out[kPcxEncoding] = kRunLengthEncoding;
    out[kPcxBitsPerPixel] = kBitsPerPixel;
    PutLittleEndian16(out + kPcxXMax, static_cast<std::uint32_t>(width - 1));
    PutLittleEndian16(out + kPcxYMax, static_cast<std::uint32_t>(height - 1));
    PutLittleEndian16(out + kPcxHorizontalResolution, static_cast<std::uint32_t>(width));
    PutLittleEndian16(out + kPcxVerticalResolution, static_cast<std::uint32_t>(height));
    out[kPcxPlanes] = kPlanes;
    PutLittleEndian16(out + kPcxBytesPerLine, static_cast<std::uint32_t>(width));
    PutLittleEndian16(out + kPcxPaletteInfo, kPaletteInfo);

    std::uint8_t* o = out + kPcxHeaderSize;
    for (std::int32_t row = 0; row < height; ++row) {
        // A row codes to at most 2 x 65535 bytes (and the vector coder writes
        // up to 16 beyond): hand over what is there before it could overflow.
        if (static_cast<std::size_t>(o - out) > kFlushAt) {
            if (!sink.Write(out, static_cast<std::size_t>(o - out))) return false;
            o = out;
        }
        const std::uint8_t* source = pixels + static_cast<std::ptrdiff_t>(row) * rowStride;
#ifdef KV_PCX_SSSE3
        o = HasSsse3() ? EncodeRowSsse3(source, width, o) : EncodeRowScalar(source, width, o);
#else
        o = EncodeRowScalar(source, width, o);
#endif
    }
    if (static_cast<std::size_t>(o - out) > kFlushAt) {
        if (!sink.Write(out, static_cast<std::size_t>(o - out))) return false;
        o = out;
    }
    *o++ = kPaletteMarker;
    std::memcpy(o, palette, kPaletteSize);
    o += kPaletteSize;
    return sink.Write(out, static_cast<std::size_t>(o - out));
}

bool WritePcx(const char* path, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
              std::int32_t rowStride, const std::uint8_t* palette, std::string* reason) {
    platform::OutputFile file;
    bool written = file.Open(path);
    if (written) {
        written = EncodePcx(file, pixels, width, height, rowStride, palette);
        if (!written && file.Reason().empty() && reason != nullptr) *reason = "the image cannot be coded";
        written = written && file.Commit();
    }
    if (!written) {
        if (reason != nullptr && !file.Reason().empty()) *reason = file.Reason();
        file.Discard();
    }
    return written;
}
