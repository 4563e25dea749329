// The pieces the PNG writers share: chunks, the zlib stream of the image
// data (IDAT, or an animation frame's fdAT), the header chunks, and rows
// staged for deflate. For the image/ writers only.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "image/png_writer.h"
#include "platform/byte_order.h"
#include "platform/byte_sink.h"
#include "platform/heap_block.h"

namespace png {

inline constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
inline constexpr std::uint8_t kBitDepth = 8;
inline constexpr std::uint8_t kColourIndexed = 3;  // 011: palette used, colour used, no alpha channel
inline constexpr std::uint8_t kColourRgba = 6;     // 110: colour used, alpha channel
inline constexpr std::uint8_t kFilterNone = 0;
inline constexpr std::size_t kIhdrLength = 13;
inline constexpr std::size_t kPaletteEntries = 256;
inline constexpr std::size_t kChunkFraming = 12;  // length and type before the data, CRC after it
inline constexpr std::size_t kInputBuffer = 64 * 1024;
inline constexpr int kWindowBits = 15;  // zlib's default 32 KiB window, written out so that it stays fixed
inline constexpr int kMemoryLevel = 8;  // zlib's default

inline constexpr std::size_t kActlLength = 8;      // frames, plays
inline constexpr std::size_t kSequenceLength = 4;  // before an fdAT chunk's data

// Frames the length bytes of data that already sit at chunk + 8: writes the
// length and type before them and the CRC after. Returns the chunk's size.
std::size_t FrameChunk(std::uint8_t* chunk, const char* type, std::size_t length);

int ZlibStrategy(PngStrategy strategy);

// The image data of one PNG or of one animation frame: bytes staged by the
// caller are deflated into a fixed buffer that goes to the sink as a chunk
// whenever it fills.
// Both buffers are one heap block of fixed size, whatever the image's size.
class ImageDataWriter {
public:
    explicit ImageDataWriter(ByteSink& sink) : sink_(sink) {}
    ~ImageDataWriter() {
        if (started_) deflateEnd(&stream_);
    }
    ImageDataWriter(const ImageDataWriter&) = delete;
    ImageDataWriter& operator=(const ImageDataWriter&) = delete;

    // Starts a zlib stream. With sequence given, its chunks are an animation
    // frame's fdAT chunks, each numbered from *sequence on; else IDAT.
    bool Start(int level, PngStrategy strategy, std::uint32_t* sequence = nullptr) {
        sequence_ = sequence;
        block_.reset(
            static_cast<std::uint8_t*>(std::malloc(kInputBuffer + kChunkFraming + kSequenceLength + kPngIdatChunk)));
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

    std::size_t Prefix() const { return sequence_ != nullptr ? kSequenceLength : 0; }

    void ResetOutput() {
        stream_.next_out = Chunk() + 8 + Prefix();
        stream_.avail_out = static_cast<uInt>(kPngIdatChunk);
    }

    bool SendChunk() {
        const std::size_t length = kPngIdatChunk - stream_.avail_out;
        if (length == 0) return true;
        if (sequence_ != nullptr) PutBigEndian32(Chunk() + 8, (*sequence_)++);
        const std::size_t size = FrameChunk(Chunk(), sequence_ != nullptr ? "fdAT" : "IDAT", length + Prefix());
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
    std::uint32_t* sequence_ = nullptr;
    // kInputBuffer staged input, then a chunk: 8 framing bytes, for fdAT the
    // sequence number, the data, 4 for the CRC.
    HeapBlock block_;
    z_stream stream_;
    bool started_ = false;
    std::size_t staged_ = 0;
};

// Signature, IHDR, acTL when animationControl is given (8 bytes: frames,
// plays), and for indexed images PLTE and tRNS: one write.
bool WriteHeader(ByteSink& sink, std::int32_t width, std::int32_t height, std::uint8_t colourType,
                 const std::uint8_t* paletteRgb, int transparentIndex, const std::uint8_t* animationControl = nullptr);

bool WriteEnd(ByteSink& sink);

bool ValidArguments(std::int32_t width, std::int32_t height, int level);

// Stages one row of indices: the filter byte, then the row.
bool StageIndexedRow(ImageDataWriter& idat, const std::uint8_t* row, std::int32_t width);

// Stages one row of RGBA pixels made from indices, the opacity marks and the
// palette: an entry's colour with alpha 255 where opaque is non-zero, else
// 0, 0, 0, 0.
bool StageRgbaRow(ImageDataWriter& idat, const std::uint8_t* row, const std::uint8_t* opaque, std::int32_t width,
                  const std::uint8_t* paletteRgb);

}  // namespace png
