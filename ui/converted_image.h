// Where the image of a converted sprite file lies: "PCXFiles\NAMEpcx", NAME
// the sprite file's name without its last three characters (the "dc6" of its
// extension, whatever its letter case; the dot stays). knight.dc6 gives
// PCXFiles\knight.pcx, relative to the current directory.
#pragma once

#include <cstddef>

// Forms the path of spriteName's image into path (size bytes). False, with
// path empty, when the whole path and its terminating zero do not fit: a
// shortened path could name another file.
bool ConvertedImagePath(const char* spriteName, char* path, std::size_t size);

// True when a file-system entry exists at the image path of spriteName,
// formed in a 260-byte buffer; false also when that path does not fit it.
bool ConvertedImageExists(const char* spriteName);
