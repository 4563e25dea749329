#include "image/png_chunks.h"

#include <cstring>

namespace png {

std::size_t FrameChunk(std::uint8_t* chunk, const char* type, std::size_t length) {
    PutBigEndian32(chunk, static_cast<std::uint32_t>(length));
    std::memcpy(chunk + 4, type, 4);
    const auto crc = crc32(0, chunk + 4, static_cast<uInt>(4 + length));
    PutBigEndian32(chunk + 8 + length, static_cast<std::uint32_t>(crc));
    return length + kChunkFraming;
}

int ZlibStrategy(PngStrategy strategy) {
    switch (strategy) {
        case PngStrategy::Filtered:
            return Z_FILTERED;
        case PngStrategy::Rle:
            return Z_RLE;
        case PngStrategy::Default:
            break;
    }
    return Z_DEFAULT_STRATEGY;
}

bool WriteHeader(ByteSink& sink, std::int32_t width, std::int32_t height, std::uint8_t colourType,
                 const std::uint8_t* paletteRgb, int transparentIndex, const std::uint8_t* animationControl) {
    std::uint8_t header[sizeof kSignature + (kChunkFraming + kIhdrLength) + (kChunkFraming + kActlLength) +
                        (kChunkFraming + 3 * kPaletteEntries) + (kChunkFraming + kPaletteEntries)];
    std::uint8_t* o = header;
    std::memcpy(o, kSignature, sizeof kSignature);
    o += sizeof kSignature;

    std::uint8_t* ihdr = o + 8;
    PutBigEndian32(ihdr, static_cast<std::uint32_t>(width));
    PutBigEndian32(ihdr + 4, static_cast<std::uint32_t>(height));
    ihdr[8] = kBitDepth;
    ihdr[9] = colourType;
    ihdr[10] = 0;  // compression method: deflate
    ihdr[11] = 0;  // filter method: the five adaptive filters
    ihdr[12] = 0;  // interlace method: none
    o += FrameChunk(o, "IHDR", kIhdrLength);
    if (animationControl != nullptr) {
        std::memcpy(o + 8, animationControl, kActlLength);
        o += FrameChunk(o, "acTL", kActlLength);
    }

    if (colourType == kColourIndexed) {
        std::memcpy(o + 8, paletteRgb, 3 * kPaletteEntries);
        o += FrameChunk(o, "PLTE", 3 * kPaletteEntries);
        if (transparentIndex >= 0) {
            const auto entries = static_cast<std::size_t>(transparentIndex) + 1;
            std::memset(o + 8, 255, entries);
            o[8 + transparentIndex] = 0;
            o += FrameChunk(o, "tRNS", entries);
        }
    }
    return sink.Write(header, static_cast<std::size_t>(o - header));
}

bool WriteEnd(ByteSink& sink) {
    std::uint8_t iend[kChunkFraming];
    return sink.Write(iend, FrameChunk(iend, "IEND", 0));
}

bool ValidArguments(std::int32_t width, std::int32_t height, int level) {
    // PNG's own limit on the dimensions is 2^31 - 1, which int32_t keeps.
    return width >= 1 && height >= 1 && level >= 0 && level <= 9;
}

// Stages one row of indices: the filter byte, then the row in pieces as
// large as the input buffer takes.
bool StageIndexedRow(ImageDataWriter& idat, const std::uint8_t* row, std::int32_t width) {
    std::uint8_t* o = idat.Reserve(1);
    if (o == nullptr) return false;
    *o = kFilterNone;
    idat.Staged(1);
    std::size_t left = static_cast<std::size_t>(width);
    while (left > 0) {
        if ((o = idat.Reserve(1)) == nullptr) return false;
        const std::size_t piece = left < idat.Room() ? left : idat.Room();
        std::memcpy(o, row, piece);
        idat.Staged(piece);
        row += piece;
        left -= piece;
    }
    return true;
}

// Stages one row of RGBA pixels made from indices, the opacity mask and the
// palette, four bytes per pixel, never splitting a pixel.
bool StageRgbaRow(ImageDataWriter& idat, const std::uint8_t* row, const std::uint8_t* opaque, std::int32_t width,
                  const std::uint8_t* paletteRgb) {
    std::uint8_t* o = idat.Reserve(1);
    if (o == nullptr) return false;
    *o = kFilterNone;
    idat.Staged(1);
    std::size_t x = 0;
    const auto end = static_cast<std::size_t>(width);
    while (x < end) {
        if ((o = idat.Reserve(4)) == nullptr) return false;
        const std::size_t fits = idat.Room() / 4;
        const std::size_t stop = end - x < fits ? end : x + fits;
        idat.Staged(4 * (stop - x));
        for (; x < stop; ++x, o += 4) {
            if (opaque[x] != 0) {
                const std::uint8_t* entry = paletteRgb + 3 * static_cast<std::size_t>(row[x]);
                o[0] = entry[0];
                o[1] = entry[1];
                o[2] = entry[2];
                o[3] = 255;
            } else {
                std::memset(o, 0, 4);
            }
        }
    }
    return true;
}

}  // namespace png
