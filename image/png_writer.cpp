#include "image/png_writer.h"

#include <zlib.h>

#include <cstring>

#include "platform/heap_block.h"

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::uint8_t kBitDepth = 8;
constexpr std::uint8_t kColourIndexed = 3;  // 011: palette used, colour used, no alpha channel
constexpr std::uint8_t kColourRgba = 6;     // 110: colour used, alpha channel
constexpr std::uint8_t kFilterNone = 0;
constexpr std::size_t kIhdrLength = 13;
constexpr std::size_t kPaletteEntries = 256;
constexpr std::size_t kChunkFraming = 12;  // length and type before the data, CRC after it
constexpr std::size_t kInputBuffer = 64 * 1024;
constexpr int kWindowBits = 15;  // zlib's default 32 KiB window, written out so that it stays fixed
constexpr int kMemoryLevel = 8;  // zlib's default

void PutUint32(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value >> 24);
    p[1] = static_cast<std::uint8_t>(value >> 16);
    p[2] = static_cast<std::uint8_t>(value >> 8);
    p[3] = static_cast<std::uint8_t>(value);
}

// Frames the length bytes of data that already sit at chunk + 8: writes the
// length and type before them and the CRC after. Returns the chunk's size.
std::size_t FrameChunk(std::uint8_t* chunk, const char* type, std::size_t length) {
    PutUint32(chunk, static_cast<std::uint32_t>(length));
    std::memcpy(chunk + 4, type, 4);
    const auto crc = crc32(0, chunk + 4, static_cast<uInt>(4 + length));
    PutUint32(chunk + 8 + length, static_cast<std::uint32_t>(crc));
    return length + kChunkFraming;
}

int ZlibStrategy(PngStrategy strategy) {
    switch (strategy) {
    case PngStrategy::Filtered: return Z_FILTERED;
    case PngStrategy::Rle: return Z_RLE;
    case PngStrategy::Default: break;
    }
    return Z_DEFAULT_STRATEGY;
}

// The image data of one PNG: bytes staged by the caller are deflated into a
// fixed buffer that goes to the sink as an IDAT chunk whenever it fills.
// Both buffers are one heap block of fixed size, whatever the image's size.
class IdatWriter {
public:
    explicit IdatWriter(ByteSink& sink) : sink_(sink) {}
    ~IdatWriter() {
        if (started_) deflateEnd(&stream_);
    }
    IdatWriter(const IdatWriter&) = delete;
    IdatWriter& operator=(const IdatWriter&) = delete;

    bool Start(int level, PngStrategy strategy) {
        block_.reset(static_cast<std::uint8_t*>(std::malloc(kInputBuffer + kChunkFraming + kPngIdatChunk)));
        if (!block_) return false;
        std::memset(&stream_, 0, sizeof stream_);
        if (deflateInit2(&stream_, level, Z_DEFLATED, kWindowBits, kMemoryLevel, ZlibStrategy(strategy)) != Z_OK)
            return false;
        started_ = true;
        ResetOutput();
        return true;
    }

    // Room for at least `needed` (at most kInputBuffer) staged bytes, after
    // deflating what is staged if need be; null after a failure. The caller
    // writes up to Room() bytes there and reports them with Staged.
    std::uint8_t* Reserve(std::size_t needed) {
        if (kInputBuffer - staged_ < needed && !Deflate(Z_NO_FLUSH)) return nullptr;
        return Input() + staged_;
    }
    std::size_t Room() const { return kInputBuffer - staged_; }
    void Staged(std::size_t count) { staged_ += count; }

    // Deflates the rest and ends the stream; sends the last IDAT chunk.
    bool Finish() { return Deflate(Z_FINISH) && SendChunk(); }

private:
    std::uint8_t* Input() { return block_.get(); }
    std::uint8_t* Chunk() { return block_.get() + kInputBuffer; }

    void ResetOutput() {
        stream_.next_out = Chunk() + 8;
        stream_.avail_out = static_cast<uInt>(kPngIdatChunk);
    }

    bool SendChunk() {
        const std::size_t length = kPngIdatChunk - stream_.avail_out;
        if (length == 0) return true;
        const std::size_t size = FrameChunk(Chunk(), "IDAT", length);
        ResetOutput();
        return sink_.Write(Chunk(), size);
    }

    // Deflates every staged byte; with Z_FINISH also ends the stream.
    bool Deflate(int flush) {
        stream_.next_in = Input();
        stream_.avail_in = static_cast<uInt>(staged_);
        for (;;) {
            const int result = deflate(&stream_, flush);
            // Z_BUF_ERROR means no progress was possible, which with room
            // left in the output is a fault, not a pause.
            if (result != Z_OK && result != Z_STREAM_END && !(result == Z_BUF_ERROR && stream_.avail_out == 0))
                return false;
            if (stream_.avail_out == 0 && !SendChunk()) return false;
            if (flush == Z_FINISH ? result == Z_STREAM_END : stream_.avail_in == 0) break;
        }
        staged_ = 0;
        return true;
    }

    ByteSink& sink_;
    HeapBlock block_;  // kInputBuffer staged input, then a chunk: 8 framing bytes, the data, 4 for the CRC
    z_stream stream_;
    bool started_ = false;
    std::size_t staged_ = 0;
};

// Signature, IHDR, and for indexed images PLTE and tRNS: one write.
bool WriteHeader(ByteSink& sink, std::int32_t width, std::int32_t height, std::uint8_t colourType,
                 const std::uint8_t* paletteRgb, int transparentIndex) {
    std::uint8_t header[sizeof kSignature + (kChunkFraming + kIhdrLength) + (kChunkFraming + 3 * kPaletteEntries) +
                        (kChunkFraming + kPaletteEntries)];
    std::uint8_t* o = header;
    std::memcpy(o, kSignature, sizeof kSignature);
    o += sizeof kSignature;

    std::uint8_t* ihdr = o + 8;
    PutUint32(ihdr, static_cast<std::uint32_t>(width));
    PutUint32(ihdr + 4, static_cast<std::uint32_t>(height));
    ihdr[8] = kBitDepth;
    ihdr[9] = colourType;
    ihdr[10] = 0;  // compression method: deflate
    ihdr[11] = 0;  // filter method: the five adaptive filters
    ihdr[12] = 0;  // interlace method: none
    o += FrameChunk(o, "IHDR", kIhdrLength);

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
bool StageIndexedRow(IdatWriter& idat, const std::uint8_t* row, std::int32_t width) {
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
bool StageRgbaRow(IdatWriter& idat, const std::uint8_t* row, const std::uint8_t* opaque, std::int32_t width,
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

}  // namespace

bool WriteIndexedPng(ByteSink& sink, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                     std::int32_t rowStride, const std::uint8_t* paletteRgb, int transparentIndex, int level,
                     PngStrategy strategy) {
    if (!ValidArguments(width, height, level) || transparentIndex < -1 || transparentIndex > 255) return false;
    IdatWriter idat(sink);
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
    IdatWriter idat(sink);
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
    IdatWriter idat(sink);
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
