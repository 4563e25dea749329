// Reading PNG files from memory: indexed images at 1, 2, 4 or 8 bits, grey at
// 1 to 8 bits, and RGB, grey with alpha and RGBA at 8 bits, interlaced or
// not. Images that are not indexed are handed out as RGBA.
//
// Layout read (all integers big-endian):
//
//   0   89 50 4E 47 0D 0A 1A 0A        the signature
//   then chunks: length (4, at most 2^31 - 1), type (4 ASCII letters; bit 5
//   of the first clear = critical), data, CRC-32 of type and data (4).
//     IHDR  first, 13 bytes: width, height (4 each), bit depth, colour type,
//           compression 0, filter method 0, interlace 0 (none) or 1 (Adam7)
//     PLTE  3 bytes per entry; for colour type 3 required before the first
//           IDAT, with 1 to 2^depth entries; ignored for colour type 6
//     tRNS  colour type 3: one alpha byte per leading palette entry;
//           type 0: the grey sample (2 bytes) that is transparent; type 2:
//           the red, green, blue samples (2 bytes each) that are
//     IDAT  consecutive chunks whose data, joined, is one zlib stream
//     IEND  empty; ends the file (bytes after it are not read)
//   Other ancillary chunks are skipped; other critical chunks refuse the file.
//
// The zlib stream inflates to the raw image: per pass (one, or Adam7's
// seven, skipping passes without pixels) its rows top first, each a filter
// byte 0..4 (None, Sub, Up, Average, Paeth) and ceil(width x bits per pixel
// / 8) bytes. Pixels below 8 bits are packed from the most significant bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The largest width and height read: the sprite format's limit.
inline constexpr std::int32_t kPngMaxDimension = 65535;

inline constexpr int kPngColourGrey = 0;
inline constexpr int kPngColourRgb = 2;
inline constexpr int kPngColourIndexed = 3;
inline constexpr int kPngColourGreyAlpha = 4;
inline constexpr int kPngColourRgba = 6;

// What IHDR says.
struct PngImageInfo {
    std::int32_t width = 0;
    std::int32_t height = 0;
    int colourType = 0;
    int bitDepth = 0;
    bool interlaced = false;
};

struct PngPicture : PngImageInfo {
    std::vector<std::uint8_t> indices;     // colour type 3: width x height, one index per pixel, rows top first
    std::vector<std::uint8_t> rgba;        // other types: width x height x 4, red, green, blue, alpha
    std::vector<std::uint8_t> paletteRgb;  // colour type 3: 3 x entries (1..256), red, green, blue
    std::vector<std::uint8_t> alpha;       // colour type 3: one per palette entry, 255 where tRNS gives none
};

enum class PngRead {
    Decoded,      // picture holds the image
    NotPng,       // no PNG signature
    Damaged,      // the file breaks the format, or its data does
    Unsupported,  // a valid colour type and depth that this reader does not decode (16 bits per sample)
    TooLarge,     // width or height above kPngMaxDimension, or no memory for the image
};

// Decodes the length bytes at file. On Decoded, picture holds the image
// (indices, paletteRgb and alpha for colour type 3; rgba for the others, where
// a grey or RGB pixel of the colour tRNS names has alpha 0) and every index is
// below the palette's entry count. On any other result the vectors are empty
// and reason holds a short English phrase for the user ("CRC error in chunk
// IDAT"); width, height, colourType, bitDepth and interlaced are filled in
// once a valid IHDR was read, so that Unsupported and TooLarge say what the
// file is. reason may be null. Never reads outside file[0, length); memory for
// the image is taken only when the IDAT data can inflate to the size IHDR
// announces. Throws nothing.
PngRead ReadPng(const std::uint8_t* file, std::size_t length, PngPicture* picture, std::string* reason);

// What the chunks before the image data say, read without inflating it.
struct PngHeader : PngImageInfo {
    std::vector<std::uint8_t> paletteRgb;            // colour type 3, as in PngPicture
    std::vector<std::uint8_t> alpha;                 // colour type 3, as in PngPicture
    bool transparentColour = false;                  // types 0 and 2: tRNS names a colour,
    std::uint16_t transparentSample[3] = {0, 0, 0};  // its grey, or red, green, blue, at the image's depth
    // Where the image data lies; for DecodePngRows.
    std::size_t firstIdat = 0;
    std::uint64_t idatBytes = 0;
};

// Checks the file's framing, chunk order and CRCs, and fills header, as
// ReadPng does before it inflates anything: the same results and reasons,
// short of the faults only the image data can show. Decoded means the image
// data may now be decoded with DecodePngRows.
PngRead ReadPngHeader(const std::uint8_t* file, std::size_t length, PngHeader* header, std::string* reason);

// Receives the decoded pixels of one row of one pass: count pixels of row y
// at columns x0, x0 + dx, x0 + 2 dx, ...; samples holds one index per pixel
// (colour type 3) or four bytes, RGBA. Returns false to stop the decoding.
class PngRowSink {
public:
    virtual ~PngRowSink() = default;
    virtual bool Row(std::uint32_t y, std::uint32_t x0, std::uint32_t dx, std::uint32_t count,
                     const std::uint8_t* samples) = 0;
};

// Decodes the image data of a file whose header ReadPngHeader accepted,
// handing each row of each pass to sink, in file order. Only rows up to
// rowLimit (exclusive) are wanted: the decoding stops after the last of them
// in the last pass, and only when rowLimit covers the whole image is the end
// of the data checked. Returns Decoded, Damaged (reason says why) or
// TooLarge (no memory for the row buffers); a sink that stops it gives
// Decoded. Memory: two rows of the image.
PngRead DecodePngRows(const std::uint8_t* file, std::size_t length, const PngHeader& header, std::uint32_t rowLimit,
                      PngRowSink& sink, std::string* reason);
