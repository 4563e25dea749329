// Reading PCX files back into a bitmap the platform can draw.
//
// Header fields read (little-endian; the others are taken on trust):
//   3      bits per pixel          must be 8
//   4..11  xmin, ymin, xmax, ymax  unsigned 16-bit; width = xmax - xmin + 1,
//                                  height = ymax - ymin + 1
//   65     colour planes           must be 1
//   66     bytes per line          unsigned 16-bit, at least the width
// Image data from byte 128, rows top first, each row bytes-per-line bytes:
//   0x00..0xC0   one pixel of that value
//   0xC1..0xFF   a run of (code - 0xC0) pixels of the value in the next byte
// Directly after the last row: 0x0C and 768 palette bytes, red, green, blue.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/heap_block.h"

// BITMAPINFOHEADER (40 bytes) followed by 256 RGBQUAD entries.
inline constexpr std::size_t kBitmapInfoSize = 40 + 256 * 4;

// A decoded PCX file in the platform's device-independent bitmap form.
struct DisplayImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t rowStride = 0;  // the width raised to a multiple of 4
    HeapBlock bitmapInfo;        // kBitmapInfoSize bytes, biHeight = -height (top-down)
    HeapBlock pixels;            // height x rowStride bytes, top row first, padding zero
};

enum class PcxDecode {
    Decoded,      // image holds a complete bitmap
    Refused,      // not an image this reader can show; image left empty
    OutOfMemory,  // the pixel block could not be obtained; image left empty
};

// The header fields of an 8-bit, one-plane PCX file that the decoding needs.
struct PcxHeader {
    std::int32_t width = 0;         // 0..65535
    std::int32_t height = 0;        // 0..65535
    std::int32_t bytesPerLine = 0;  // at least the width
};

// Reads the header of length bytes of a PCX file. False for the files
// DecodePcx refuses (below); nothing is decoded.
bool ReadPcxHeader(const std::uint8_t* file, std::size_t length, PcxHeader* header);

// The rows of a PCX file whose header ReadPcxHeader accepted, one at a time,
// top first: memory for one row is the caller's.
class PcxRowDecoder {
public:
    PcxRowDecoder(const std::uint8_t* file, std::size_t length, const PcxHeader& header);

    // Decodes the next row into out[0, width). False when the data ends
    // before the row does (out then holds what was decoded, the rest
    // untouched) and for every row after that.
    bool NextRow(std::uint8_t* out);

    // After every row was decoded: the 768 palette bytes (red, green, blue)
    // that follow the 0x0C marker directly after the last row, or null when
    // there is no such palette or not every row was there.
    const std::uint8_t* Palette() const;

private:
    const std::uint8_t* file_;
    std::size_t length_;
    PcxHeader header_;
    std::size_t read_;
    std::int32_t rowsRead_ = 0;
    bool complete_ = true;
};

// Decodes length bytes of a PCX file. Refused are files shorter than the
// header, with planes other than 1 or bits per pixel other than 8, with a
// negative width or height, with bytes per line below the width, or that
// announce more image than their bytes could code. Data that ends early
// leaves the rest of the image zero; a missing 0x0C marker leaves the colour
// table zero. Runs that cross the end of a row are cut there. Never reads
// outside file[0, length) nor writes outside the blocks it makes.
PcxDecode DecodePcx(const std::uint8_t* file, std::size_t length, DisplayImage* image);

// Reads and decodes the regular file at path into image: Refused also when
// the file cannot be opened or read. Shows nothing; image is left empty
// unless Decoded.
PcxDecode ReadPcxFile(const char* path, DisplayImage* image);
