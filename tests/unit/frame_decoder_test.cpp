#include "sprite/frame_decoder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "ui/program/error_notifier.h"
#include "ui/program/dc6_file.h"
#include "tests/unit/program_test.h"
#include "tests/support/current_sprite.h"

namespace {

using test::Bytes;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

constexpr std::uint8_t F = 0x3C;  // the fill value, terminator byte 3

class FrameDecoderTest : public test::ProgramTest {
protected:
    FrameDecoderTest() {
        terminator[1] = terminator[2] = 0xEE;
        terminator[3] = F;
    }

    // Decodes coded bytes as a frame of width x height onto a canvas of the
    // same size and returns its pixels.
    Bytes Decode(const Bytes& coded, std::int32_t width, std::int32_t height) {
        return DecodeOnto(coded, width, height, width, height, 0, 0);
    }

    Bytes DecodeOnto(const Bytes& coded, std::int32_t width, std::int32_t height, std::int32_t canvasWidth,
                     std::int32_t canvasHeight, std::int64_t x, std::int64_t y) {
        HeapBlock data = test::BlockWithSlack(coded);
        HeapBlock canvas(AllocateCanvas(canvasWidth, canvasHeight));
        const std::size_t pixels = static_cast<std::size_t>(canvasWidth) * canvasHeight;
        DecodeFrame(data.get(), static_cast<std::uint32_t>(coded.size()), width, height, canvas.get(), canvasWidth,
                    canvasHeight, x, y);
        // Nothing beyond the pixels may change.
        for (std::size_t i = pixels; i < pixels + kCanvasSlack; ++i) EXPECT_EQ(canvas.get()[i], F) << i;
        return Bytes(canvas.get(), canvas.get() + pixels);
    }
};

TEST_F(FrameDecoderTest, CanvasIsFilledWithTerminatorByteThree) {
    HeapBlock canvas(AllocateCanvas(2, 2));
    ASSERT_TRUE(canvas);
    EXPECT_TRUE(std::all_of(canvas.get(), canvas.get() + 4 + kCanvasSlack, [](std::uint8_t b) { return b == F; }));
}

TEST_F(FrameDecoderTest, CanvasRefusesNegativeAndOversizedDimensions) {
    EXPECT_EQ(AllocateCanvas(-1, 5), nullptr);
    EXPECT_EQ(AllocateCanvas(5, -1), nullptr);
    EXPECT_EQ(AllocateCanvas(0x7FFFFFFF, 0x7FFFFFFF), nullptr);
    HeapBlock empty(AllocateCanvas(0, 7));
    EXPECT_TRUE(empty);
}

TEST_F(FrameDecoderTest, DecodesEveryCodeKindBottomRowFirst) {
    // Bottom row: literal 11 12, skip 1, literal 13, end of row.
    // Middle row: skip 3, literal 14, end of row.
    // Top row:    literal 21..24, end of row, then the terminator test matches.
    Bytes coded = {
        0x02, 0x11, 0x12, 0x81, 0x01, 0x13, 0x80, 0x83, 0x01, 0x14, 0x80, 0x04, 0x21,
        0x22, 0x23, 0x24, 0x80, 0x00, 0xEE, 0xEE, F,    0x00, 0x00, 0x05};  // never read: they would show messages
    EXPECT_THAT(Decode(coded, 4, 3), ElementsAre(0x21, 0x22, 0x23, 0x24, F, F, F, 0x14, 0x11, 0x12, F, 0x13));
    EXPECT_THAT(user.boxes, IsEmpty());
}

TEST_F(FrameDecoderTest, EmptyDataAndBareRowEndsLeaveTheFill) {
    EXPECT_THAT(Decode({}, 3, 2), ElementsAre(F, F, F, F, F, F));
    EXPECT_THAT(Decode({0x80, 0x80, 0x80}, 3, 2), ElementsAre(F, F, F, F, F, F));
    EXPECT_THAT(user.boxes, IsEmpty());
}

TEST_F(FrameDecoderTest, LiteralOverrunShowsThePositionOfTheFirstUncopiedByte) {
    progressWindow = reinterpret_cast<HWND>(0x77);
    // Width 3, a run of five: a, b, c fill the row; d (0x01) and e (0x80) are
    // then read as codes, and the run of one that d starts overruns as well,
    // which the frame's first overrun message stands for.
    EXPECT_THAT(Decode({0x05, 0x0A, 0x0B, 0x0C, 0x01, 0x80}, 3, 1), ElementsAre(0x0A, 0x0B, 0x0C));
    EXPECT_THAT(user.Texts(), ElementsAre("Span overrun @ 4\n"));
    EXPECT_EQ(user.boxes[0].caption, "Kelvane Converter");
    EXPECT_EQ(user.boxes[0].style, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
    EXPECT_EQ(user.boxes[0].owner, progressWindow);
}

TEST_F(FrameDecoderTest, SkipOverrunShowsThePositionAfterItsCode) {
    // Width 4, height 9: eight row ends reach the top row, two skips of one
    // put x at 2, then 0x85 at offset 10 overruns after two pixels; the zero
    // byte at offset 11 is the next code read.
    Bytes coded = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x81, 0x81, 0x85, 0x00};
    Bytes pixels = Decode(coded, 4, 9);
    EXPECT_THAT(user.Texts(), ElementsAre("Span overrun @ B\n", "Found ZERO Byte"));
    EXPECT_TRUE(std::all_of(pixels.begin(), pixels.end(), [](std::uint8_t b) { return b == F; }));
}

TEST_F(FrameDecoderTest, OverrunPositionIsUpperCaseHexWithoutLeadingZeros) {
    // A literal of 41 pixels (offsets 0 to 41), then a skip of 64 in a row
    // 51 wide overruns just after its code, at offset 0x2B.
    Bytes coded = {0x29};
    coded.insert(coded.end(), 41, 0x07);
    coded.insert(coded.end(), {0xC0, 0x80});
    Decode(coded, 51, 1);
    EXPECT_THAT(user.Texts(), ElementsAre("Span overrun @ 2B\n"));
}

TEST_F(FrameDecoderTest, ADamagedFrameShowsEachKindOfFaultOnce) {
    // Thousands of faulty codes: 3000 skips that overrun a frame 0 pixels
    // wide and 3000 zero bytes, interleaved. One message of each kind, then
    // the next frame shows its own faults again.
    Bytes coded;
    for (int i = 0; i < 3000; ++i) coded.insert(coded.end(), {0x81, 0x00});
    coded.push_back(0x80);
    Decode(coded, 0, 1);
    EXPECT_THAT(user.Texts(), ElementsAre("Span overrun @ 1\n", "Found ZERO Byte"));
    Decode({0x00, 0x00, 0x83, 0x80}, 2, 1);
    EXPECT_THAT(user.Texts(),
                ElementsAre("Span overrun @ 1\n", "Found ZERO Byte", "Found ZERO Byte", "Span overrun @ 3\n"));
}

TEST_F(FrameDecoderTest, NegativeWidthOverrunsAndWritesNothing) {
    Bytes pixels = DecodeOnto({0x83, 0x02, 0x80}, -2, 1, 2, 1, 0, 0);
    EXPECT_THAT(pixels, ElementsAre(F, F));
    EXPECT_THAT(user.Texts(), ElementsAre("Span overrun @ 1\n"));
}

TEST_F(FrameDecoderTest, ZeroByteIsShownAndMovesNothing) {
    EXPECT_THAT(Decode({0x01, 0x41, 0x00, 0x01, 0x42}, 3, 1), ElementsAre(0x41, 0x42, F));
    EXPECT_THAT(user.Texts(), ElementsAre("Found ZERO Byte"));
    EXPECT_EQ(user.boxes[0].style, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
}

TEST_F(FrameDecoderTest, DecoderMessagesShowWithNoticesSilenced) {
    showErrors = false;
    Decode({0x00}, 1, 1);
    EXPECT_THAT(user.Texts(), ElementsAre("Found ZERO Byte"));
}

TEST_F(FrameDecoderTest, EndOfFrameTestLooksTwoToFourBytesAhead) {
    terminator[1] = 0xA1;
    terminator[2] = 0xA2;
    terminator[3] = 0xA3;
    // Ends the frame although data remains.
    Bytes ends = {0x01, 0x05, 0x80, 0x00, 0xA1, 0xA2, 0xA3, 0x01, 0x06};
    // Does not: the 0xA1 right after the 0x80 is decoded as a skip of 33.
    Bytes goesOn = {0x01, 0x05, 0x80, 0xA1, 0xA2, 0xA3, 0x00, 0x01, 0x07};
    HeapBlock canvas(AllocateCanvas(3, 2));
    for (const Bytes* coded : {&ends, &goesOn}) {
        std::memset(canvas.get(), 0, 6);
        HeapBlock data = test::BlockWithSlack(*coded);
        DecodeFrame(data.get(), static_cast<std::uint32_t>(coded->size()), 3, 2, canvas.get(), 3, 2, 0, 0);
        EXPECT_THAT(Bytes(canvas.get(), canvas.get() + 6), ElementsAre(0, 0, 0, 0x05, 0, 0));
    }
    // Only the second frame shows messages: three skips and two literals
    // overrun the top row, and the zero byte among them is read as a code.
    EXPECT_THAT(user.Texts(), ElementsAre("Span overrun @ 4\n", "Found ZERO Byte"));
}

TEST_F(FrameDecoderTest, StopsAfterTheTopRow) {
    EXPECT_THAT(Decode({0x01, 0x05, 0x80, 0x00, 0x01, 0x06, 0x80}, 1, 1), ElementsAre(0x05));
    EXPECT_THAT(user.boxes, IsEmpty());
    // A height of 0 or less decodes nothing, not even a zero byte.
    EXPECT_THAT(DecodeOnto({0x00, 0x01, 0x09}, 1, 0, 1, 1, 0, 0), ElementsAre(F));
    EXPECT_THAT(DecodeOnto({0x00, 0x01, 0x09}, 1, -4, 1, 1, 0, 0), ElementsAre(F));
    EXPECT_THAT(user.boxes, IsEmpty());
}

TEST_F(FrameDecoderTest, LiteralRunMayTakeItsPixelsFromBeyondTheCodedData) {
    // Two coded bytes announce three pixels; the last two come from the zero slack.
    EXPECT_THAT(Decode({0x03, 0x07}, 3, 1), ElementsAre(0x07, 0x00, 0x00));
}

TEST_F(FrameDecoderTest, PixelsOutsideTheCanvasAreDropped) {
    const test::PixelRows rows = {{1, 2, 3}, {4, 5, 6}};
    const Bytes coded = test::EncodeRows(rows, {0, 0xEE, 0xEE, F});
    EXPECT_THAT(DecodeOnto(coded, 3, 2, 3, 2, -1, -1), ElementsAre(5, 6, F, F, F, F));
    EXPECT_THAT(DecodeOnto(coded, 3, 2, 3, 2, 2, 1), ElementsAre(F, F, F, F, F, 1));
    EXPECT_THAT(DecodeOnto(coded, 3, 2, 3, 2, 10'000'000'000ll, -10'000'000'000ll), ElementsAre(F, F, F, F, F, F));
    // A frame wider than its canvas row does not wrap into the next row.
    EXPECT_THAT(DecodeOnto(coded, 3, 2, 2, 2, 0, 0), ElementsAre(1, 2, 4, 5));
    EXPECT_THAT(user.boxes, IsEmpty());
}

}  // namespace
