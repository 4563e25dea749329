// Builds DC6 sprite files in memory, so that every test makes its own.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace test {

using Bytes = std::vector<std::uint8_t>;

// A pixel that the coding skips (a transparent pixel).
inline constexpr int kSkip = -1;

// Pixel rows, top row first; each value a palette index or kSkip.
using PixelRows = std::vector<std::vector<int>>;

using Terminator = std::array<std::uint8_t, 4>;
inline constexpr Terminator kDefaultTerminator = {0xEE, 0xEE, 0xEE, 0xEE};

// Codes rows as DC6 scan lines, bottom row first: skip runs and literal runs
// of at most 127 pixels, trailing skipped pixels left uncoded, an end-of-row
// code after every row, and after the last one the terminator's four bytes,
// so that bytes 2 to 4 after it match terminator bytes 1 to 3.
Bytes EncodeRows(const PixelRows& rows, const Terminator& terminator = kDefaultTerminator);

struct Dc6Frame {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t xOffset = 0;
    std::int32_t yOffset = 0;
    Bytes coded;
    std::optional<std::uint32_t> codedLength;  // the header's value when not coded.size()
};

// A frame whose size and coded data come from its rows.
Dc6Frame FrameFromRows(const PixelRows& rows, std::int32_t xOffset = 0, std::int32_t yOffset = 0,
                       const Terminator& terminator = kDefaultTerminator);

// A width x height picture of distinct values per row: pixel (x, y) = seed + 7y + x, mod 256.
PixelRows Picture(int width, int height, int seed = 0);

class Dc6Builder {
public:
    Dc6Builder& Version(std::int32_t version);
    Dc6Builder& Terminate(const Terminator& terminator);
    Dc6Builder& BlockCount(std::int32_t count);                    // instead of the number of frames
    Dc6Builder& FrameOffsets(std::vector<std::uint32_t> offsets);  // instead of the computed ones
    Dc6Builder& Add(Dc6Frame frame);
    Dc6Builder& AddRows(const PixelRows& rows, std::int32_t xOffset = 0, std::int32_t yOffset = 0);

    // Header, frame table, then each frame's 32-byte header and coded data.
    Bytes Build() const;

private:
    std::int32_t version_ = 6;
    Terminator terminator_ = kDefaultTerminator;
    std::optional<std::int32_t> blockCount_;
    std::optional<std::vector<std::uint32_t>> offsets_;
    std::vector<Dc6Frame> frames_;
};

void PutInt32(Bytes& bytes, std::size_t offset, std::int32_t value);

}  // namespace test
