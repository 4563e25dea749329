#include "tests/support/dc6_builder.h"

#include <algorithm>

namespace test {
namespace {

constexpr std::uint8_t kEndOfRow = 0x80;
constexpr int kLongestRun = 127;

void AppendInt32(Bytes& bytes, std::int32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> shift));
}

void EncodeRow(const std::vector<int>& row, Bytes& out) {
    std::size_t end = row.size();
    while (end > 0 && row[end - 1] == kSkip) --end;  // trailing skips need no code
    for (std::size_t i = 0; i < end;) {
        const bool skipping = row[i] == kSkip;
        std::size_t run = 0;
        while (i + run < end && (row[i + run] == kSkip) == skipping && run < kLongestRun) ++run;
        if (skipping) {
            out.push_back(static_cast<std::uint8_t>(kEndOfRow + run));
        } else {
            out.push_back(static_cast<std::uint8_t>(run));
            for (std::size_t k = 0; k < run; ++k) out.push_back(static_cast<std::uint8_t>(row[i + k]));
        }
        i += run;
    }
    out.push_back(kEndOfRow);
}

}  // namespace

Bytes EncodeRows(const PixelRows& rows, const Terminator& terminator) {
    Bytes out;
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) EncodeRow(*row, out);
    out.insert(out.end(), terminator.begin(), terminator.end());
    return out;
}

Dc6Frame FrameFromRows(const PixelRows& rows, std::int32_t xOffset, std::int32_t yOffset,
                       const Terminator& terminator) {
    Dc6Frame frame;
    frame.height = static_cast<std::int32_t>(rows.size());
    frame.width = rows.empty() ? 0 : static_cast<std::int32_t>(rows.front().size());
    frame.xOffset = xOffset;
    frame.yOffset = yOffset;
    frame.coded = EncodeRows(rows, terminator);
    return frame;
}

PixelRows Picture(int width, int height, int seed) {
    PixelRows rows(static_cast<std::size_t>(height), std::vector<int>(static_cast<std::size_t>(width)));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) rows[y][x] = (seed + 7 * y + x) % 256;
    return rows;
}

Dc6Builder& Dc6Builder::Version(std::int32_t version) {
    version_ = version;
    return *this;
}

Dc6Builder& Dc6Builder::Terminate(const Terminator& terminator) {
    terminator_ = terminator;
    return *this;
}

Dc6Builder& Dc6Builder::BlockCount(std::int32_t count) {
    blockCount_ = count;
    return *this;
}

Dc6Builder& Dc6Builder::FrameOffsets(std::vector<std::uint32_t> offsets) {
    offsets_ = std::move(offsets);
    return *this;
}

Dc6Builder& Dc6Builder::Add(Dc6Frame frame) {
    frames_.push_back(std::move(frame));
    return *this;
}

Dc6Builder& Dc6Builder::AddRows(const PixelRows& rows, std::int32_t xOffset, std::int32_t yOffset) {
    return Add(FrameFromRows(rows, xOffset, yOffset, terminator_));
}

Bytes Dc6Builder::Build() const {
    Bytes out;
    AppendInt32(out, version_);
    AppendInt32(out, 1);  // not read
    AppendInt32(out, 0);  // not read
    out.insert(out.end(), terminator_.begin(), terminator_.end());
    AppendInt32(out, 1);  // not read
    AppendInt32(out, blockCount_.value_or(static_cast<std::int32_t>(frames_.size())));

    std::vector<std::uint32_t> offsets;
    std::uint32_t next = static_cast<std::uint32_t>(24 + 4 * frames_.size());
    for (const Dc6Frame& frame : frames_) {
        offsets.push_back(next);
        next += static_cast<std::uint32_t>(32 + frame.coded.size());
    }
    for (std::uint32_t offset : offsets_.value_or(offsets)) AppendInt32(out, static_cast<std::int32_t>(offset));

    for (const Dc6Frame& frame : frames_) {
        AppendInt32(out, 0);  // not read
        AppendInt32(out, frame.width);
        AppendInt32(out, frame.height);
        AppendInt32(out, frame.xOffset);
        AppendInt32(out, frame.yOffset);
        AppendInt32(out, 0);  // not read
        AppendInt32(out, 0);  // not read
        AppendInt32(
            out, static_cast<std::int32_t>(frame.codedLength.value_or(static_cast<std::uint32_t>(frame.coded.size()))));
        out.insert(out.end(), frame.coded.begin(), frame.coded.end());
    }
    return out;
}

void PutInt32(Bytes& bytes, std::size_t offset, std::int32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes.at(offset + i) = static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i));
}

}  // namespace test
