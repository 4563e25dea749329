#include "ui/program/current_palette.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/heap_block.h"
#include "run/run_palette.h"

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
    PaletteFile palette;
    std::string reason;
    switch (ReadRunPalette(path, PaletteFiles::Raw768, &palette, &reason)) {
        case RunPaletteRead::Read:
            break;
        case RunPaletteRead::WrongSize:
            return PaletteLoad::WrongSize;
        default:
            return PaletteLoad::Unreadable;
    }
    HeapBlock block(static_cast<std::uint8_t*>(std::malloc(kPaletteSize)));
    if (!block) return PaletteLoad::Unreadable;
    std::memcpy(block.get(), palette.storedBgr, kPaletteSize);
    currentPalette = block.release();
    paletteIsBuiltIn = false;
    return PaletteLoad::Loaded;
}

void ReorderPalette() { ReorderPalette(currentPalette); }
