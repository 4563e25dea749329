// The palette the program's conversion run writes with, as a value of the
// program's own (it runs on one thread).
#pragma once

#include <cstdint>

#include "image/palette.h"

// The 768 bytes the current run writes with; null until a run chooses.
extern std::uint8_t* currentPalette;

// True when currentPalette is the built-in palette or nothing is held, so that
// there is nothing to release; false while it owns a custom palette block.
extern bool paletteIsBuiltIn;

// Releases a custom palette block if one is held (paletteIsBuiltIn false).
// Leaves paletteIsBuiltIn as it is.
void ReleasePalette();

// Points currentPalette at a fresh copy of the built-in table, in stored
// order, so that ReorderPalette never touches the table itself; sets
// paletteIsBuiltIn.
void UseBuiltInPalette();

enum class PaletteLoad { Loaded, Unreadable, WrongSize };

// Reads a palette file as the program takes them (run/run_palette.h): any
// file of exactly 768 bytes. On Loaded,
// currentPalette owns the new block and paletteIsBuiltIn is false; otherwise
// nothing new is held and both are unchanged.
PaletteLoad LoadPaletteFile(const char* path);

// Exchanges bytes 0 and 2 of every entry of currentPalette, in place.
void ReorderPalette();
