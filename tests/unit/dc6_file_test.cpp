#include "ui/program/dc6_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ui/program/error_notifier.h"
#include "platform/heap_block.h"
#include "tests/unit/program_test.h"
#include "tests/support/current_sprite.h"
#include "tests/support/temp_folder.h"

namespace {

using test::Bytes;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The texts themselves are pinned in notice_text_test.cpp.
std::string Text(NoticeCode code) {
    Diagnostic notice;
    notice.code = code;
    return BoxText(notice);
}
const std::string kNotVersion6 = Text(NoticeCode::kNotVersion6);
const std::string kInvalidBlockCount = Text(NoticeCode::kInvalidBlockCount);
const std::string kInvalidFrameData = Text(NoticeCode::kInvalidFrameData);

class Dc6FileTest : public test::ProgramTest {};

TEST_F(Dc6FileTest, LoadWholeFileReadsTheFileWithZeroedSlack) {
    test::TempFolder folder;
    Bytes palette(768);
    for (std::size_t i = 0; i < palette.size(); ++i) palette[i] = static_cast<std::uint8_t>(i * 7 + 1);
    test::WriteFile("colours.pal", palette);

    std::uint32_t size = 0;
    HeapBlock block(LoadWholeFile("colours.pal", &size));
    ASSERT_TRUE(block);
    EXPECT_EQ(size, 768u);
    EXPECT_TRUE(std::equal(palette.begin(), palette.end(), block.get()));
    EXPECT_TRUE(std::all_of(block.get() + 768, block.get() + 768 + kFileSlack, [](std::uint8_t b) { return b == 0; }));
}

TEST_F(Dc6FileTest, LoadWholeFileGivesNothingForMissingOrEmptyFiles) {
    test::TempFolder folder;
    test::WriteFile("empty.dc6", {});
    std::uint32_t size = 1234;
    EXPECT_EQ(LoadWholeFile("empty.dc6", &size), nullptr);
    EXPECT_EQ(LoadWholeFile("missing.dc6", &size), nullptr);
    EXPECT_EQ(size, 1234u);
    EXPECT_THAT(user.boxes, IsEmpty());
}

TEST_F(Dc6FileTest, AcceptsTheSmallestLayout) {
    // version 6, block count 1, the frame at offset 28, three coded bytes.
    // clang-format off
    Bytes file = {6, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0,  0x10, 0x11, 0x12, 0x13,  0, 0, 0, 0,
                  1, 0, 0, 0,  28, 0, 0, 0,
                  0, 0, 0, 0,  2, 0, 0, 0,  1, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0,
                  0, 0, 0, 0,  3, 0, 0, 0,
                  0x02, 0xAA, 0xBB};
    // clang-format on
    test::CurrentSprite sprite(file);
    ASSERT_EQ(GetFileInfoDC6(), 1);
    EXPECT_EQ(blockCount, 1);
    EXPECT_FALSE(separateFrames);
    EXPECT_THAT(terminator, ElementsAre(0x10, 0x11, 0x12, 0x13));
    EXPECT_EQ(frameTable[0], spriteData + 28);

    SelectFrame(frameTable[0]);
    EXPECT_EQ(frameWidth, 2);
    EXPECT_EQ(frameHeight, 1);
    EXPECT_EQ(frameLength, 3u);
    EXPECT_EQ(frameData, spriteData + 60);
    EXPECT_THAT(user.boxes, IsEmpty());
}

TEST_F(Dc6FileTest, RejectsOtherVersionsWithoutLookingAtTheBlockCount) {
    for (std::int32_t version : {5, 7, 0, -6}) {
        test::ScriptedMessageBoxes boxes;
        progressWindow = reinterpret_cast<HWND>(0x1234);
        test::CurrentSprite sprite(
            test::Dc6Builder().Version(version).BlockCount(40).AddRows(test::Picture(2, 2)).Build());
        EXPECT_EQ(GetFileInfoDC6(), 0);
        ASSERT_EQ(boxes.boxes.size(), 1u) << version;
        EXPECT_EQ(boxes.boxes[0].text, kNotVersion6);
        EXPECT_EQ(boxes.boxes[0].caption, "Kelvane Converter");
        EXPECT_EQ(boxes.boxes[0].style, static_cast<UINT>(MB_YESNO | MB_ICONINFORMATION));
        EXPECT_EQ(boxes.boxes[0].owner, progressWindow);
    }
}

TEST_F(Dc6FileTest, BlockCountMustLieBetweenOneAndTwelve) {
    for (std::int32_t count : {0, 13, -1, 1000}) {
        test::ScriptedMessageBoxes boxes;
        test::CurrentSprite sprite(
            test::Dc6Builder().Terminate({1, 2, 3, 4}).BlockCount(count).AddRows(test::Picture(2, 2)).Build());
        EXPECT_EQ(GetFileInfoDC6(), 0) << count;
        EXPECT_THAT(boxes.Texts(), ElementsAre(kInvalidBlockCount)) << count;
        // The terminator is taken before the count is tested.
        EXPECT_THAT(terminator, ElementsAre(1, 2, 3, 4));
    }
    for (int count : {1, 12}) {
        test::Dc6Builder builder;
        for (int i = 0; i < count; ++i) builder.AddRows(test::Picture(3, 2, i));
        test::CurrentSprite sprite(builder.Build());
        EXPECT_EQ(GetFileInfoDC6(), 1) << count;
        EXPECT_EQ(blockCount, count);
    }
    EXPECT_THAT(user.boxes, IsEmpty());
}

TEST_F(Dc6FileTest, AnyFrameOffsetSelectsSeparateFrames) {
    struct Case {
        std::int32_t x, y;
        bool separate;
    };
    for (Case c : {Case{0, 0, false}, Case{1, 0, true}, Case{0, -3, true}, Case{-1, 0, true}}) {
        test::CurrentSprite sprite(test::Dc6Builder()
                                       .AddRows(test::Picture(2, 2))
                                       .AddRows(test::Picture(2, 2))
                                       .AddRows(test::Picture(2, 2), c.x, c.y)
                                       .Build());
        ASSERT_EQ(GetFileInfoDC6(), 1);
        EXPECT_EQ(separateFrames, c.separate) << c.x << "," << c.y;
    }
}

TEST_F(Dc6FileTest, TheSameFrameMayBeListedTwice) {
    test::Dc6Builder builder;
    builder.AddRows(test::Picture(2, 2)).BlockCount(2).FrameOffsets({28, 28});
    test::CurrentSprite sprite(builder.Build());
    ASSERT_EQ(GetFileInfoDC6(), 1);
    EXPECT_EQ(frameTable[0], frameTable[1]);
}

TEST_F(Dc6FileTest, RejectsFrameTablesAndHeadersOutsideTheFile) {
    // Twelve blocks announced, but the file ends inside the table.
    Bytes shortTable = test::Dc6Builder().BlockCount(12).Build();
    // A frame offset pointing past the end of the file.
    Bytes farOffset = test::Dc6Builder().AddRows(test::Picture(2, 2)).FrameOffsets({0x7FFFFFF0}).Build();
    // A frame header that starts inside the file and runs over its end.
    Bytes cutHeader = test::Dc6Builder().AddRows(test::Picture(2, 2)).Build();
    const std::uint32_t inside = static_cast<std::uint32_t>(cutHeader.size() - 10);
    test::PutInt32(cutHeader, 24, static_cast<std::int32_t>(inside));
    // An offset of 0xFFFFFFF0 that would wrap around in 32 bits.
    Bytes wrapping = test::Dc6Builder().AddRows(test::Picture(2, 2)).FrameOffsets({0xFFFFFFF0}).Build();

    for (const Bytes& file : {shortTable, farOffset, cutHeader, wrapping}) {
        test::ScriptedMessageBoxes boxes;
        test::CurrentSprite sprite(file);
        EXPECT_EQ(GetFileInfoDC6(), 0);
        EXPECT_THAT(boxes.Texts(), ElementsAre(kInvalidFrameData));
    }
}

TEST_F(Dc6FileTest, CodedLengthIsCutAtTheEndOfTheFile) {
    test::Dc6Frame frame = test::FrameFromRows(test::Picture(3, 3));
    const std::uint32_t coded = static_cast<std::uint32_t>(frame.coded.size());
    frame.codedLength = 0xFFFFFFFF;
    test::CurrentSprite sprite(test::Dc6Builder().Add(frame).Build());
    ASSERT_EQ(GetFileInfoDC6(), 1);
    SelectFrame(frameTable[0]);
    EXPECT_EQ(frameLength, coded);
    EXPECT_EQ(frameData + frameLength, spriteData + spriteSize);
}

TEST_F(Dc6FileTest, ShortFilesAreJudgedByTheirZeroSlack) {
    // Three bytes: the version reads 6 from the file and the slack, the block
    // count reads 0 from the slack.
    test::CurrentSprite sprite({6, 0, 0});
    EXPECT_EQ(GetFileInfoDC6(), 0);
    EXPECT_THAT(user.Texts(), ElementsAre(kInvalidBlockCount));
}

}  // namespace
