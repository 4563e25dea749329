#include "run/run_palette.h"

#include <cstdint>
#include <cstring>

#include "convert/palette_reading.h"
#include "image/palette.h"
#include "platform/heap_block.h"
#include "sprite/file_bytes.h"

namespace {

RunPaletteRead ReadRaw768(const std::string& path, PaletteFile* out, std::string* reason) {
    std::uint32_t size = 0;
    const HeapBlock block(ReadFileWithSlack(path.c_str(), &size));
    if (!block) {
        *reason = "cannot be read";
        return RunPaletteRead::Unreadable;
    }
    if (size != kPaletteSize) {
        *reason = "is not a palette of 768 bytes";
        return RunPaletteRead::WrongSize;
    }
    std::memcpy(out->storedBgr, block.get(), kPaletteSize);
    out->colours = 256;
    return RunPaletteRead::Read;
}

}  // namespace

RunPaletteRead ReadRunPalette(const std::string& path, PaletteFiles accepted, PaletteFile* out, std::string* reason) {
    if (accepted == PaletteFiles::Raw768) return ReadRaw768(path, out, reason);
    return ReadPaletteFile(path, out, reason) ? RunPaletteRead::Read : RunPaletteRead::Refused;
}
