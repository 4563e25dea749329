// Deflating the files of the page's ZIPs with the core's own zlib, which runs
// several times faster as WebAssembly than a deflater written in script.
#include <cstdlib>
#include <cstring>

#include <zlib.h>

#include "web/bridge.h"

extern "C" {

std::uint8_t* KelvaneDeflate(const std::uint8_t* data, std::uint32_t size, int level) {
    z_stream stream;
    std::memset(&stream, 0, sizeof stream);
    // Raw deflate (no zlib header or trailer): what a ZIP entry holds.
    if (deflateInit2(&stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return nullptr;
    constexpr std::size_t kHeader = 8;
    const std::uint64_t bound = deflateBound(&stream, size);
    auto* block = static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(kHeader + bound)));
    if (block == nullptr) {
        deflateEnd(&stream);
        return nullptr;
    }
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = size;
    stream.next_out = block + kHeader;
    stream.avail_out = static_cast<uInt>(bound);
    const int result = deflate(&stream, Z_FINISH);
    const std::uint32_t written = static_cast<std::uint32_t>(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) {
        std::free(block);
        return nullptr;
    }
    const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, data, size));
    std::memcpy(block, &crc, 4);
    std::memcpy(block + 4, &written, 4);
    return block;
}

std::uint32_t KelvaneCrc32(const std::uint8_t* data, std::uint32_t size) {
    return static_cast<std::uint32_t>(crc32(0, data, size));
}

}  // extern "C"
