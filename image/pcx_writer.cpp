#include "image/pcx_writer.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KV_PCX_SSSE3 1
#endif

#include "platform/files.h"
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
constexpr std::int32_t kMaxDimension = 0xFFFF;

void PutUint16(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

// The name of the temporary file beside path: same folder, a name of its own.
std::string TemporaryPathFor(const char* path) {
    std::string folder(path);
    std::size_t cut = folder.find_last_of(KV_PATH_SEPARATOR "/");
    folder.erase(cut == std::string::npos ? 0 : cut + 1);
    return folder + "~kelvane" + std::to_string(platform::ProcessId()) + ".tmp";
}

bool WriteWholeFile(const char* path, const std::uint8_t* bytes, std::size_t length) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    // Unbuffered, so that the whole file goes to the system in one write.
    std::setvbuf(file, nullptr, _IONBF, 0);
    const bool written = std::fwrite(bytes, 1, length, file) == length;
    return std::fclose(file) == 0 && written;
}

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
        const __m128i first = _mm_or_si128(_mm_shuffle_epi8(pixels, _mm_load_si128(reinterpret_cast<const __m128i*>(t.shuffle[low]))),
                                           _mm_load_si128(reinterpret_cast<const __m128i*>(t.prefix[low])));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), first);
        o += t.length[low];
        const __m128i rest = _mm_srli_si128(pixels, 8);
        const __m128i second = _mm_or_si128(_mm_shuffle_epi8(rest, _mm_load_si128(reinterpret_cast<const __m128i*>(t.shuffle[high]))),
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

std::uint64_t PcxBlockSize(std::int32_t width, std::int32_t height) {
    return 2ull * static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) + 1000;
}

std::size_t EncodePcx(std::uint8_t* out, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                      std::int32_t rowStride, const std::uint8_t* palette) {
    std::memset(out, 0, kPcxHeaderSize);
    out[0] = kManufacturer;
    out[1] = kVersion;
    out[2] = kRunLengthEncoding;
    out[3] = kBitsPerPixel;
    PutUint16(out + 8, static_cast<std::uint32_t>(width - 1));
    PutUint16(out + 10, static_cast<std::uint32_t>(height - 1));
    PutUint16(out + 12, static_cast<std::uint32_t>(width));
    PutUint16(out + 14, static_cast<std::uint32_t>(height));
    out[65] = kPlanes;
    PutUint16(out + 66, static_cast<std::uint32_t>(width));
    PutUint16(out + 68, kPaletteInfo);

    std::uint8_t* o = out + kPcxHeaderSize;
    for (std::int32_t row = 0; row < height; ++row) {
        const std::uint8_t* source = pixels + static_cast<std::ptrdiff_t>(row) * rowStride;
#ifdef KV_PCX_SSSE3
        o = HasSsse3() ? EncodeRowSsse3(source, width, o) : EncodeRowScalar(source, width, o);
#else
        o = EncodeRowScalar(source, width, o);
#endif
    }
    *o++ = kPaletteMarker;
    std::memcpy(o, palette, kPaletteSize);
    o += kPaletteSize;
    return static_cast<std::size_t>(o - out);
}

bool WritePcx(const char* path, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
              std::int32_t rowStride, const std::uint8_t* palette) {
    if (width < 0 || height < 0 || width > kMaxDimension || height > kMaxDimension) return false;
    const std::uint64_t blockSize = PcxBlockSize(width, height);
    if (blockSize > 0xFFFFFFFFull) return false;
    HeapBlock block(static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(blockSize))));
    if (!block) return false;
    const std::size_t length = EncodePcx(block.get(), pixels, width, height, rowStride, palette);

    const std::string temporary = TemporaryPathFor(path);
    if (!WriteWholeFile(temporary.c_str(), block.get(), length) || !platform::MoveFileOver(temporary.c_str(), path)) {
        platform::RemoveFile(temporary.c_str());
        return false;
    }
    return true;
}
