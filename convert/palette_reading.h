// Reading a palette file from disk, of any format image/palette_files.h
// knows: what the converter's -p and the packer's -p share.
#pragma once

#include <string>

#include "image/palette_files.h"

// Reads the palette file at path into out. False with *reason, a phrase
// that follows the file's name: "does not exist", "cannot be read" (also
// for what is no regular file), "is too large for a palette file" (over a
// mebibyte, refused before reading), or what the parser found wrong.
bool ReadPaletteFile(const std::string& path, PaletteFile* out, std::string* reason);
