// The sprite parser and the frame decoder as values: everything they use is
// an argument, so two threads can work on two sprites at once.
#include "sprite/dc6_sprite.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "notice/diagnostics.h"
#include "sprite/frame_decoder.h"
#include "tests/support/current_sprite.h"
#include "tests/support/dc6_builder.h"
#include "tests/support/two_threads.h"

namespace {

using test::Bytes;
using ::testing::ElementsAre;

std::vector<NoticeCode> Codes(const DiagnosticList& list) {
    std::vector<NoticeCode> codes;
    for (const Diagnostic& notice : list.notices) codes.push_back(notice.code);
    return codes;
}

TEST(Dc6SpriteTest, ParsesTheHeaderAndEveryFrameIntoTheValue) {
    // version 6, header fields 4..11 and 16..19 kept, terminator 10 11 12 13,
    // two frames; the second has a y offset and claims more coded bytes than
    // the file holds.
    // clang-format off
    Bytes file = {6, 0, 0, 0,  0xA4, 0, 0, 0,  0xA8, 0, 0, 0,  0x10, 0x11, 0x12, 0x13,  0xB0, 0, 0, 0,
                  2, 0, 0, 0,  32, 0, 0, 0,  67, 0, 0, 0,
                  // frame 0 at 32: field 0, 2 x 1, no offsets, fields 20 and 24, 3 coded bytes
                  0xF0, 0, 0, 0,  2, 0, 0, 0,  1, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0,  0xF2, 0, 0, 0,  0xF3, 0, 0, 0,
                  3, 0, 0, 0,  0x02, 0xAA, 0xBB,
                  // frame 1 at 67: 1 x 1, y offset -4, 9 coded bytes claimed, 2 there
                  0, 0, 0, 0,  1, 0, 0, 0,  1, 0, 0, 0,  0, 0, 0, 0,  0xFC, 0xFF, 0xFF, 0xFF,  0, 0, 0, 0,  0, 0, 0, 0,
                  9, 0, 0, 0,  0x01, 0xCC};
    // clang-format on
    HeapBlock block = test::BlockWithSlack(file);
    DiagnosticList notices;
    const std::optional<Dc6Sprite> sprite = ParseDc6(block.get(), static_cast<std::uint32_t>(file.size()), notices);
    ASSERT_TRUE(sprite);
    EXPECT_TRUE(notices.notices.empty());
    EXPECT_THAT(sprite->terminator, ElementsAre(0x10, 0x11, 0x12, 0x13));
    EXPECT_EQ(sprite->header4to7, 0xA4u);
    EXPECT_EQ(sprite->header8to11, 0xA8u);
    EXPECT_EQ(sprite->header16to19, 0xB0u);
    EXPECT_TRUE(sprite->separateFrames);
    ASSERT_EQ(sprite->frames.size(), 2u);
    const Dc6Frame& first = sprite->frames[0];
    EXPECT_EQ(first.offset, 32u);
    EXPECT_EQ(first.width, 2);
    EXPECT_EQ(first.height, 1);
    EXPECT_EQ(first.header0to3, 0xF0u);
    EXPECT_EQ(first.header20to23, 0xF2u);
    EXPECT_EQ(first.header24to27, 0xF3u);
    EXPECT_EQ(first.data, block.get() + 64);
    EXPECT_EQ(first.length, 3u);
    const Dc6Frame& second = sprite->frames[1];
    EXPECT_EQ(second.yOffset, -4);
    EXPECT_EQ(second.storedLength, 9u);
    EXPECT_EQ(second.length, 2u);
}

// A refused sprite gives one notice that says why; a frame header outside
// the file names the frame, unless the caller tolerates it.
TEST(Dc6SpriteTest, RefusalsSayWhyAndAFrameOutsideMayBeTolerated) {
    const Bytes good = test::Dc6Builder().AddRows({{1, 2}}).AddRows({{3}}).Build();
    const auto parse = [](Bytes file, DiagnosticList* notices, Dc6Damage damage = Dc6Damage::kRefuse) {
        HeapBlock block = test::BlockWithSlack(file);
        return ParseDc6(block.get(), static_cast<std::uint32_t>(file.size()), *notices, damage);
    };
    DiagnosticList notices;
    EXPECT_FALSE(parse(test::Dc6Builder().Version(5).AddRows({{1}}).Build(), &notices));
    EXPECT_FALSE(parse(test::Dc6Builder().BlockCount(13).AddRows({{1}}).Build(), &notices));
    EXPECT_FALSE(parse(Bytes(good.begin(), good.begin() + 26), &notices));  // the table is cut
    // Three bytes: the version reads as 6 (its missing byte as zero), the
    // block count as 0.
    EXPECT_FALSE(parse({6, 0, 0}, &notices));
    EXPECT_THAT(Codes(notices), ElementsAre(NoticeCode::kNotVersion6, NoticeCode::kInvalidBlockCount,
                                            NoticeCode::kInvalidFrameData, NoticeCode::kInvalidBlockCount));
    EXPECT_EQ(notices.notices[2].frame, -1);

    Bytes outside = good;
    test::PutInt32(outside, 28, 0x7FFFFFF0);  // frame 1's header far past the end
    notices.notices.clear();
    EXPECT_FALSE(parse(outside, &notices));
    ASSERT_THAT(Codes(notices), ElementsAre(NoticeCode::kInvalidFrameData));
    EXPECT_EQ(notices.notices[0].frame, 1);

    notices.notices.clear();
    const std::optional<Dc6Sprite> tolerated = parse(outside, &notices, Dc6Damage::kTolerate);
    ASSERT_TRUE(tolerated);
    EXPECT_TRUE(notices.notices.empty());
    ASSERT_EQ(tolerated->frames.size(), 2u);
    EXPECT_TRUE(tolerated->frames[0].present);
    EXPECT_FALSE(tolerated->frames[1].present);
    EXPECT_EQ(tolerated->frames[1].data, nullptr);
}

// What one thread makes of its sprite: the pixels of every frame and the
// faults the decoder found.
struct Decoded {
    std::vector<Bytes> pixels;
    std::vector<NoticeCode> faults;
    bool operator==(const Decoded& other) const { return pixels == other.pixels && faults == other.faults; }
};

Decoded ParseAndDecode(const Bytes& file) {
    Decoded out;
    HeapBlock block = test::BlockWithSlack(file);
    DiagnosticList notices;
    const std::optional<Dc6Sprite> sprite = ParseDc6(block.get(), static_cast<std::uint32_t>(file.size()), notices);
    if (!sprite) return out;
    for (const Dc6Frame& frame : sprite->frames) {
        HeapBlock canvas(AllocateCanvas(frame.width, frame.height, sprite->terminator[3]));
        DecodeFrame(frame, sprite->terminator, {canvas.get(), frame.width, frame.height}, 0, 0, &notices);
        out.pixels.emplace_back(canvas.get(), canvas.get() + static_cast<std::size_t>(frame.width) * frame.height);
    }
    out.faults = Codes(notices);
    return out;
}

// Two sprites whose coded data is alike but whose terminators differ: the
// end-of-row code followed by 0x00 0x02 0x07 0x08 ends a frame of the first,
// whose top row keeps the fill 0x08; the second goes on past a zero byte to
// a top row of 0x07 0x08. A
// decoder that took its terminator or its fault record from anywhere but its
// arguments would mix the two up once they run on two threads.
TEST(Dc6SpriteTest, TwoThreadsParseAndDecodeTwoSpritesAtOnce) {
    const Bytes coded = {0x02, 0x05, 0x06, 0x80, 0x00, 0x02, 0x07, 0x08, 0x80};
    const auto sprite = [&](const test::Terminator& terminator) {
        test::Dc6Frame frame;
        frame.width = 2;
        frame.height = 2;
        frame.coded = coded;
        return test::Dc6Builder().Terminate(terminator).Add(frame).Add(frame).Build();
    };
    const Bytes ending = sprite({0x00, 0x02, 0x07, 0x08});
    const Bytes going_on = sprite({0x00, 0x31, 0x32, 0x33});
    const Decoded endingAlone = ParseAndDecode(ending);
    const Decoded goingOnAlone = ParseAndDecode(going_on);
    ASSERT_EQ(endingAlone.pixels.size(), 2u);
    EXPECT_EQ(endingAlone.pixels[0], (Bytes{0x08, 0x08, 0x05, 0x06}));
    EXPECT_TRUE(endingAlone.faults.empty());
    ASSERT_EQ(goingOnAlone.pixels.size(), 2u);
    EXPECT_EQ(goingOnAlone.pixels[0], (Bytes{0x07, 0x08, 0x05, 0x06}));
    // The zero byte of each frame, once per frame.
    EXPECT_THAT(goingOnAlone.faults, ElementsAre(NoticeCode::kZeroByte, NoticeCode::kZeroByte));

    const auto [endingSame, goingOnSame] =
        test::SameOnTwoThreads(ParseAndDecode, ending, endingAlone, going_on, goingOnAlone, 300);
    EXPECT_TRUE(endingSame);
    EXPECT_TRUE(goingOnSame);
}

}  // namespace
