#include "image/png_writer.h"

#include <cstring>

#include "image/png_chunks.h"
#include "platform/heap_block.h"

using namespace png;

bool WriteIndexedPng(ByteSink& sink, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                     std::int32_t rowStride, const std::uint8_t* paletteRgb, int transparentIndex, int level,
                     PngStrategy strategy) {
    if (!ValidArguments(width, height, level) || transparentIndex < -1 || transparentIndex > 255) return false;
    ImageDataWriter idat(sink);
    if (!idat.Start(level, strategy)) return false;
    if (!WriteHeader(sink, width, height, kColourIndexed, paletteRgb, transparentIndex)) return false;
    for (std::int64_t y = 0; y < height; ++y)
        if (!StageIndexedRow(idat, pixels + y * rowStride, width)) return false;
    return idat.Finish() && WriteEnd(sink);
}

bool WriteRgbaPng(ByteSink& sink, const std::uint8_t* pixels, const std::uint8_t* opaque, std::int32_t width,
                  std::int32_t height, std::int32_t rowStride, const std::uint8_t* paletteRgb, int level,
                  PngStrategy strategy) {
    if (!ValidArguments(width, height, level)) return false;
    ImageDataWriter idat(sink);
    if (!idat.Start(level, strategy)) return false;
    if (!WriteHeader(sink, width, height, kColourRgba, paletteRgb, -1)) return false;
    for (std::int64_t y = 0; y < height; ++y)
        if (!StageRgbaRow(idat, pixels + y * rowStride, opaque + y * rowStride, width, paletteRgb)) return false;
    return idat.Finish() && WriteEnd(sink);
}

bool WriteRgbaPng(ByteSink& sink, const std::uint8_t* pixels, std::uint8_t marker, const std::uint32_t* opaqueMarked,
                  std::size_t markedCount, std::int32_t width, std::int32_t height, std::int32_t rowStride,
                  const std::uint8_t* paletteRgb, int level, PngStrategy strategy) {
    if (!ValidArguments(width, height, level)) return false;
    HeapBlock opaque(static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(width))));
    ImageDataWriter idat(sink);
    if (!opaque || !idat.Start(level, strategy)) return false;
    if (!WriteHeader(sink, width, height, kColourRgba, paletteRgb, -1)) return false;
    const std::uint32_t* next = opaqueMarked;
    const std::uint32_t* const last = opaqueMarked + markedCount;
    for (std::int64_t y = 0; y < height; ++y) {
        const std::uint8_t* row = pixels + y * rowStride;
        for (std::int64_t x = 0; x < width; ++x) {
            if (row[x] != marker) {
                opaque.get()[x] = 1;
                continue;
            }
            const std::uint64_t at = static_cast<std::uint64_t>(y * rowStride + x);
            while (next != last && *next < at) ++next;
            opaque.get()[x] = next != last && *next == at ? 1 : 0;
        }
        if (!StageRgbaRow(idat, row, opaque.get(), width, paletteRgb)) return false;
    }
    return idat.Finish() && WriteEnd(sink);
}
