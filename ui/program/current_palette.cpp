#include "ui/program/current_palette.h"

#include <cstdlib>
#include <cstring>

#include "platform/heap_block.h"
#include "sprite/file_bytes.h"

std::uint8_t* currentPalette = nullptr;
bool paletteIsBuiltIn = false;

namespace {

// The built-in entries of the current run, reordered there, never in the table.
std::uint8_t builtInWorkingCopy[kPaletteSize];

}  // namespace

void ReleasePalette() {
    if (paletteIsBuiltIn) return;
    std::free(currentPalette);
    currentPalette = nullptr;
}

void UseBuiltInPalette() {
    std::memcpy(builtInWorkingCopy, builtInPalette, kPaletteSize);
    currentPalette = builtInWorkingCopy;
    paletteIsBuiltIn = true;
}

PaletteLoad LoadPaletteFile(const char* path) {
    std::uint32_t size = 0;
    HeapBlock block(ReadFileWithSlack(path, &size));
    if (!block) return PaletteLoad::Unreadable;
    if (size != kPaletteSize) return PaletteLoad::WrongSize;
    currentPalette = block.release();
    paletteIsBuiltIn = false;
    return PaletteLoad::Loaded;
}

void ReorderPalette() { ReorderPalette(currentPalette); }
