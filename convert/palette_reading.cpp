#include "convert/palette_reading.h"

#include <cstdio>

#include "platform/files.h"
#include "platform/heap_block.h"
#include "sprite/dc6_sprite.h"
#include "sprite/file_bytes.h"

namespace {

// Palette files larger than this are no palette.
constexpr long kMaxPaletteFileSize = 1 << 20;

}  // namespace

bool ReadPaletteFile(const std::string& path, PaletteFile* out, std::string* reason) {
    std::FILE* probe = platform::OpenRegularFile(path.c_str());
    if (probe == nullptr) {
        *reason = platform::PathExists(path.c_str()) ? "cannot be read" : "does not exist";
        return false;
    }
    const bool large = std::fseek(probe, 0, SEEK_END) != 0 || std::ftell(probe) > kMaxPaletteFileSize;
    std::fclose(probe);
    if (large) {
        *reason = "is too large for a palette file";
        return false;
    }
    std::uint32_t length = 0;
    HeapBlock bytes(ReadFileWithSlack(path.c_str(), &length));
    if (!bytes) {
        *reason = "cannot be read";
        return false;
    }
    return ParsePaletteFile(path, bytes.get(), length, out, reason) == PaletteParse::Parsed;
}
