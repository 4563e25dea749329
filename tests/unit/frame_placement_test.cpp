#include "ui/program/frame_placement.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "ui/program/output_options.h"
#include "convert/run_settings.h"
#include "platform/heap_block.h"
#include "platform/output_folder.h"
#include "ui/program/sprite_conversion.h"
#include "ui/program/current_palette.h"
#include "image/png_reader.h"
#include "ui/program/error_notifier.h"
#include "platform/files.h"
#include "tests/unit/program_test.h"
#include "tests/support/current_sprite.h"
#include "tests/support/pcx_image.h"
#include "tests/support/temp_folder.h"

namespace {

using test::Bytes;
using test::kSkip;
using test::PixelRows;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr int F = 0x3C;  // fill value of these files
constexpr test::Terminator kTerminator = {0xEE, 0xEE, 0xEE, F};

class FramePlacementTest : public test::ProgramTest {
protected:
    FramePlacementTest() {
        EnsureOutputFolder();
        UseBuiltInPalette();
        ReorderPalette();
    }

    // Converts the sprite file as the run does, under the given name.
    void Place(const Bytes& file, const std::string& name) {
        test::CurrentSprite sprite(file);
        ASSERT_EQ(GetFileInfoDC6(), 1);
        char buffer[kNameBufferSize] = {};
        std::strncpy(buffer, name.c_str(), sizeof buffer - 1);
        WriteSpriteImages(buffer);
    }

    test::Dc6Builder Sprite() { return test::Dc6Builder().Terminate(kTerminator); }

    test::TempFolder folder;
};

// A frame w x h of one value, so that each frame shows where it went.
PixelRows Block(int width, int height, int value) {
    return PixelRows(static_cast<std::size_t>(height), std::vector<int>(static_cast<std::size_t>(width), value));
}

TEST_F(FramePlacementTest, OneFrameMakesOneImage) {
    const PixelRows picture = test::Picture(100, 50);
    Place(Sprite().AddRows(picture).Build(), "walk.dc6");
    EXPECT_EQ(imagesWritten, 1);
    const test::PcxImage image = test::ReadPcxFile(test::OutputPath("walk.pcx"));
    ASSERT_EQ(image.width, 100);
    ASSERT_EQ(image.height, 50);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x) ASSERT_EQ(image.At(x, y), picture[y][x]) << x << "," << y;
    // The built-in palette, in red, green, blue order.
    EXPECT_THAT(Bytes(image.palette.begin() + 3, image.palette.begin() + 6), ElementsAre(0x24, 0, 0));
    EXPECT_THAT(user.boxes, IsEmpty());
}

TEST_F(FramePlacementTest, FramesAfterA256WideFrameShareItsRowOnItsBottomLine) {
    Place(Sprite().AddRows(Block(256, 10, 1)).AddRows(Block(256, 6, 2)).AddRows(Block(100, 4, 3)).Build(), "row.dc6");
    EXPECT_THAT(std::vector<std::int64_t>(frameX, frameX + 3), ElementsAre(0, 256, 512));
    EXPECT_THAT(std::vector<std::int64_t>(frameY, frameY + 3), ElementsAre(0, 4, 6));
    const test::PcxImage image = test::ReadPcxFile(test::OutputPath("row.pcx"));
    ASSERT_EQ(image.width, 612);
    ASSERT_EQ(image.height, 10);
    EXPECT_EQ(image.At(300, 3), F);
    EXPECT_EQ(image.At(300, 4), 2);
    EXPECT_EQ(image.At(611, 5), F);
    EXPECT_EQ(image.At(611, 6), 3);
    EXPECT_EQ(image.At(0, 0), 1);
}

TEST_F(FramePlacementTest, NarrowerFramesStartNewRows) {
    Place(Sprite().AddRows(Block(100, 3, 1)).AddRows(Block(100, 2, 2)).Build(), "rows.dc6");
    const test::PcxImage image = test::ReadPcxFile(test::OutputPath("rows.pcx"));
    ASSERT_EQ(image.width, 100);
    ASSERT_EQ(image.height, 5);
    EXPECT_EQ(image.At(99, 2), 1);
    EXPECT_EQ(image.At(0, 3), 2);
}

TEST_F(FramePlacementTest, TwelveTilesMakeAnEightHundredBySixHundredPicture) {
    test::Dc6Builder sprite = Sprite();
    const int widths[] = {256, 256, 256, 32};
    const int heights[] = {256, 256, 88};
    for (int k = 0; k < 12; ++k) sprite.AddRows(Block(widths[k % 4], heights[k / 4], k + 1));
    Place(sprite.Build(), "tiles.dc6");
    const test::PcxImage image = test::ReadPcxFile(test::OutputPath("tiles.pcx"));
    ASSERT_EQ(image.width, 800);
    ASSERT_EQ(image.height, 600);
    for (int k = 0; k < 12; ++k) {
        EXPECT_EQ(frameX[k], 256 * (k % 4)) << k;
        EXPECT_EQ(frameY[k], 256 * (k / 4)) << k;
        EXPECT_EQ(image.At(256 * (k % 4), 256 * (k / 4)), k + 1) << k;
    }
    EXPECT_EQ(image.At(799, 599), 12);
}

TEST_F(FramePlacementTest, OnlyThePredecessorsWidthDecidesTheRow) {
    // 255, 256, 10: frame 0 alone; frames 1 and 2 share the second row.
    Place(Sprite().AddRows(Block(255, 2, 1)).AddRows(Block(256, 3, 2)).AddRows(Block(10, 3, 3)).Build(), "a.dc6");
    EXPECT_THAT(std::vector<std::int64_t>(frameX, frameX + 3), ElementsAre(0, 0, 256));
    EXPECT_THAT(std::vector<std::int64_t>(frameY, frameY + 3), ElementsAre(0, 2, 2));
    // 256 then 255: one row.
    Place(Sprite().AddRows(Block(256, 2, 1)).AddRows(Block(255, 2, 2)).Build(), "b.dc6");
    EXPECT_THAT(std::vector<std::int64_t>(frameX, frameX + 2), ElementsAre(0, 256));
    const test::PcxImage image = test::ReadPcxFile(test::OutputPath("b.pcx"));
    EXPECT_EQ(image.width, 511);
    EXPECT_EQ(image.height, 2);
}

TEST_F(FramePlacementTest, LaterFramesCoverEarlierOnesExceptWhereTheySkip) {
    // Row 0: a 256 x 2 frame and a 20 x 2 one beside it. Row 1: a 256 x 1
    // frame, then a 20 x 4 one that reaches one row above the canvas and
    // over the second frame; its left half is transparent.
    PixelRows cover = Block(20, 4, 4);
    for (auto& row : cover) std::fill(row.begin(), row.begin() + 10, kSkip);
    Place(Sprite().AddRows(Block(256, 2, 1)).AddRows(Block(20, 2, 2)).AddRows(Block(256, 1, 3)).AddRows(cover).Build(),
          "over.dc6");
    EXPECT_EQ(frameY[3], -1);
    const test::PcxImage image = test::ReadPcxFile(test::OutputPath("over.pcx"));
    ASSERT_EQ(image.width, 276);
    ASSERT_EQ(image.height, 3);
    EXPECT_EQ(image.At(256, 0), 2);  // skipped by the cover
    EXPECT_EQ(image.At(266, 0), 4);  // covered
    EXPECT_EQ(image.At(256, 2), F);  // skipped, nothing below
    EXPECT_EQ(image.At(275, 2), 4);
    EXPECT_EQ(image.At(255, 2), 3);
}

// PNG with transparency: the transparent index is chosen from the frames'
// coded data before the canvas exists, yet every image comes out as if it had
// been chosen from the decoded pixels, overlapping frames included.
TEST_F(FramePlacementTest, PngTransparencyComesOutAsIfChosenFromTheDecodedPixels) {
    outputOptions.format = ImageFormat::Png;
    const auto png = [](const std::string& file) {
        const Bytes bytes = test::ReadFile(test::OutputPath(file));
        PngPicture picture;
        std::string reason;
        EXPECT_EQ(ReadPng(bytes.data(), bytes.size(), &picture, &reason), PngRead::Decoded) << reason;
        return picture;
    };
    // Every index of 0..255 once, in a row of 256.
    std::vector<int> all(256);
    for (int i = 0; i < 256; ++i) all[static_cast<std::size_t>(i)] = i;

    // The fill byte free: transparent pixels keep it.
    Place(Sprite().AddRows({{1, kSkip, 2}}).Build(), "free.dc6");
    PngPicture free = png("free.png");
    EXPECT_EQ(free.indices, (Bytes{1, F, 2}));
    EXPECT_EQ(free.alpha[F], 0);
    // The fill byte opaque: the lowest free index marks them.
    Place(Sprite().AddRows({{0, kSkip, F}}).Build(), "taken.dc6");
    PngPicture taken = png("taken.png");
    EXPECT_EQ(taken.indices, (Bytes{0, 1, F}));
    EXPECT_EQ(taken.alpha[1], 0);
    EXPECT_EQ(taken.alpha[F], 255);
    // No index left: RGBA, transparent exactly where nothing was written.
    std::vector<int> gap = all;
    gap[5] = kSkip;
    Place(Sprite().AddRows({all, gap}).Build(), "full.dc6");
    PngPicture full = png("full.png");
    ASSERT_EQ(full.colourType, kPngColourRgba);
    for (int x = 0; x < 256; ++x) {
        for (int y = 0; y < 2; ++y) {
            const std::uint8_t* pixel = &full.rgba[static_cast<std::size_t>(4 * (y * 256 + x))];
            const bool transparent = y == 1 && x == 5;
            EXPECT_EQ(pixel[3], transparent ? 0 : 255) << x << "," << y;
            if (!transparent) {
                EXPECT_EQ(pixel[0], currentPalette[3 * x]) << x << "," << y;
            }
        }
    }
    // No index left and nothing transparent: indexed, no index marked.
    Place(Sprite().AddRows({all}).Build(), "opaque.dc6");
    PngPicture opaque = png("opaque.png");
    ASSERT_EQ(opaque.colourType, kPngColourIndexed);
    EXPECT_TRUE(std::all_of(opaque.alpha.begin(), opaque.alpha.end(), [](std::uint8_t a) { return a == 255; }));
    // Index 0 only under a later frame's pixels: once decoded nobody holds
    // it, so it marks the transparent pixels, as the fill byte is taken.
    std::vector<int> rest = all;
    rest[0] = 1;
    PixelRows under = Block(20, 2, 2);
    under[1][15] = 0;
    // The cover is taller than its row and reaches over the frame above, yet
    // not above the picture: no frame is cut, so the picture stays one.
    PixelRows cover = Block(20, 3, 4);
    for (auto& row : cover) std::fill(row.begin(), row.begin() + 10, kSkip);
    Place(Sprite().AddRows({rest, rest}).AddRows(under).AddRows(Block(256, 1, 3)).AddRows(cover).Build(), "over.dc6");
    EXPECT_EQ(frameY[3], 0);
    PngPicture over = png("over.png");
    ASSERT_EQ(over.colourType, kPngColourIndexed);
    EXPECT_EQ(over.alpha[0], 0);
    EXPECT_EQ(over.indices[2 * 276 + 256], 0);  // skipped by the cover, nothing below
    EXPECT_EQ(over.indices[1 * 276 + 271], 4);  // the only 0, covered
    // The same with the fill byte under the cover: it marks the transparent
    // pixels, as nobody holds it once decoded.
    under[1][15] = F;
    Place(Sprite().AddRows(Block(256, 2, 1)).AddRows(under).AddRows(Block(256, 1, 3)).AddRows(cover).Build(),
          "fill.dc6");
    PngPicture fill = png("fill.png");
    EXPECT_EQ(fill.alpha[F], 0);
    EXPECT_EQ(fill.indices[2 * 276 + 256], F);
}

TEST_F(FramePlacementTest, RowsWiderThanTheLastAreClippedNotWrapped) {
    // The first row is 300 wide, the last (and so the canvas) 100.
    PixelRows wide = Block(300, 2, 1);
    wide[0][100] = 9;  // would land in the next canvas row if it wrapped
    Place(Sprite().AddRows(wide).AddRows(Block(100, 1, 2)).Build(), "clip.dc6");
    const test::PcxImage image = test::ReadPcxFile(test::OutputPath("clip.pcx"));
    ASSERT_EQ(image.width, 100);
    ASSERT_EQ(image.height, 3);
    EXPECT_THAT(Bytes(image.pixels.begin(), image.pixels.begin() + 100), ::testing::Each(1));
    EXPECT_THAT(Bytes(image.pixels.begin() + 100, image.pixels.begin() + 200), ::testing::Each(1));
    EXPECT_THAT(Bytes(image.pixels.begin() + 200, image.pixels.end()), ::testing::Each(2));
}

TEST_F(FramePlacementTest, FrameOffsetsMakeOneImagePerFrame) {
    Place(Sprite().AddRows(Block(3, 2, 1)).AddRows(Block(5, 4, 2), 0, -7).AddRows(Block(1, 1, 3)).Build(), "walk.dc6");
    EXPECT_EQ(imagesWritten, 3);
    const int sizes[3][2] = {{3, 2}, {5, 4}, {1, 1}};
    for (int i = 0; i < 3; ++i) {
        const test::PcxImage image = test::ReadPcxFile(test::OutputPath("walk" + std::to_string(i) + ".pcx"));
        EXPECT_EQ(image.width, sizes[i][0]);
        EXPECT_EQ(image.height, sizes[i][1]);
        EXPECT_THAT(image.pixels, ::testing::Each(i + 1));
    }
    EXPECT_FALSE(std::filesystem::exists(test::OutputPath("walk.pcx")));
}

TEST_F(FramePlacementTest, OnlyTheLastExtensionIsCut) {
    Place(Sprite().AddRows(Block(2, 2, 1), 1, 0).AddRows(Block(2, 2, 2)).Build(), "a.b.dc6");
    EXPECT_TRUE(std::filesystem::exists(test::OutputPath("a.b0.pcx")));
    EXPECT_TRUE(std::filesystem::exists(test::OutputPath("a.b1.pcx")));
    Place(Sprite().AddRows(Block(2, 2, 1)).Build(), "KNIGHT.DC6");
    EXPECT_TRUE(std::filesystem::exists(test::OutputPath("KNIGHT.pcx")));
    EXPECT_EQ(imagesWritten, 3);
}

TEST_F(FramePlacementTest, StripExtensionCases) {
    const std::string separator(1, platform::kPathSeparator);
    struct Case {
        std::string in, out;
    };
    for (const Case& c :
         {Case{"walk.dc6", "walk"}, Case{"walk", "walk"}, Case{".dc6", ".dc6"}, Case{"w", "w"}, Case{"", ""},
          Case{"a.", "a"}, Case{"a.b.dc6", "a.b"}, Case{"dir.x" + separator + "walk", "dir.x" + separator + "walk"},
          Case{"dir.x" + separator + "walk.dc6", "dir.x" + separator + "walk"}}) {
        char buffer[kNameBufferSize] = {};
        std::strncpy(buffer, c.in.c_str(), sizeof buffer - 1);
        StripExtension(buffer);
        EXPECT_EQ(std::string(buffer), c.out) << c.in;
    }
}

const char kFurther[] = "\n\nDo you wish to receive further error notification?";

TEST_F(FramePlacementTest, InvalidSizesAreNotWrittenOrCounted) {
    progressWindow = reinterpret_cast<HWND>(0x129);
    test::Dc6Frame negative = test::FrameFromRows(Block(2, 2, 1), 1, 0, kTerminator);
    negative.height = -2;
    test::Dc6Frame huge = test::FrameFromRows(Block(2, 2, 2), 0, 0, kTerminator);
    huge.width = 70000;
    Place(Sprite().Add(negative).Add(huge).AddRows(Block(2, 2, 3)).Build(), "odd.dc6");
    EXPECT_EQ(imagesWritten, 1);
    EXPECT_TRUE(std::filesystem::exists(test::OutputPath("odd2.pcx")));
    EXPECT_FALSE(std::filesystem::exists(test::OutputPath("odd0.pcx")));
    EXPECT_THAT(user.Texts(),
                ElementsAre("Image " + test::OutputPath("odd0.pcx") +
                                " is too large or has invalid dimensions and was not written." + kFurther,
                            "Image " + test::OutputPath("odd1.pcx") +
                                " is too large or has invalid dimensions and was not written." + kFurther));
    EXPECT_EQ(user.boxes[0].owner, progressWindow);
    EXPECT_EQ(user.boxes[0].style, static_cast<UINT>(MB_YESNO | MB_ICONINFORMATION));
}

TEST_F(FramePlacementTest, StitchedImagesWiderThanTheHeaderAllowsAreRefused) {
    test::Dc6Builder sprite = Sprite();
    for (int k = 0; k < 11; ++k) sprite.AddRows(Block(256, 1, 1));
    test::Dc6Frame last = test::FrameFromRows(Block(1, 1, 2), 0, 0, kTerminator);
    last.width = 65535 - 11 * 256 + 1;  // one pixel too many
    Place(sprite.Add(last).Build(), "wide.dc6");
    EXPECT_EQ(imagesWritten, 0);
    EXPECT_THAT(user.Texts(), ElementsAre("Image " + test::OutputPath("wide.pcx") +
                                          " is too large or has invalid dimensions and was not written." + kFurther));
}

TEST_F(FramePlacementTest, WriteFailuresAndOverlongPathsAreNotifiedAndNotCounted) {
    const std::string longName(251, 'n');
    Place(Sprite().AddRows(Block(2, 2, 1)).Build(), longName + ".dc6");
    // The run lets go of its folder before it goes (Windows keeps an open
    // folder from being removed).
    CloseOutputFolder();
    std::filesystem::remove("PCXFiles");
    Place(Sprite().AddRows(Block(2, 2, 1)).Build(), "walk.dc6");
    EXPECT_EQ(imagesWritten, 0);
    EXPECT_THAT(user.Texts(), ElementsAre("Unable to write " + test::OutputPath(longName + ".pcx") + "!" + kFurther,
                                          "Unable to write " + test::OutputPath("walk.pcx") + "!" + kFurther));
}

TEST_F(FramePlacementTest, NoticesRespectShowErrorsButDecoderMessagesDoNot) {
    showErrors = false;
    // A folder where the image goes: decoded, then not written, silently.
    std::filesystem::create_directory(test::OutputPath("walk.pcx"));
    test::Dc6Frame frame = test::FrameFromRows(Block(2, 1, 1), 0, 0, kTerminator);
    frame.coded.insert(frame.coded.begin(), 0x00);
    Place(Sprite().Add(frame).Build(), "walk.dc6");
    EXPECT_THAT(user.Texts(), ElementsAre("Found ZERO Byte"));
    EXPECT_EQ(imagesWritten, 0);
}

}  // namespace

// Given as values, the conversion reads nothing of the current sprite or the
// current run and tells nothing to them: its notices go to the sink it is
// given, its count into its report, and a second sprite converted beside the
// current one changes nothing of it.
TEST_F(FramePlacementTest, TheSpriteGivenAsAValueLeavesTheCurrentOneAlone) {
    test::CurrentSprite current(Sprite().AddRows(Block(3, 2, 1)).Build());
    ASSERT_EQ(GetFileInfoDC6(), 1);
    const std::uint8_t* const table = frameTable[0];

    test::Dc6Frame broken = test::FrameFromRows({{7, kSkip, 7}}, 4, 0, {0xEE, 0x01, 0x02, 0x09});
    broken.coded.insert(broken.coded.begin(), 0x00);
    test::Dc6Frame empty = test::FrameFromRows(Block(1, 1, 8), 1, 0, {0xEE, 0x01, 0x02, 0x09});
    empty.width = 0;
    const Bytes other = test::Dc6Builder().Terminate({0xEE, 0x01, 0x02, 0x09}).Add(broken).Add(empty).Build();
    HeapBlock block = test::BlockWithSlack(other);
    DiagnosticList notices;
    const std::optional<Dc6Sprite> sprite = ParseDc6(block.get(), static_cast<std::uint32_t>(other.size()), notices);
    ASSERT_TRUE(sprite);
    platform::DiskFolder out("values");
    std::filesystem::create_directory("values");
    ASSERT_TRUE(out.Open(platform::FolderLink::Refuse));
    RunSettings settings;
    settings.palette = currentPalette;
    settings.folder = &out;
    const PlacementReport report = WriteSpriteImages({*sprite, settings, notices, 0}, "other.dc6", "other");

    EXPECT_EQ(report.imagesWritten, 1);
    EXPECT_EQ(imagesWritten, 0);
    EXPECT_THAT(user.boxes, IsEmpty());
    ASSERT_EQ(notices.notices.size(), 2u);
    EXPECT_EQ(notices.notices[0].code, NoticeCode::kZeroByte);
    EXPECT_EQ(notices.notices[1].code, NoticeCode::kInvalidSize);
    EXPECT_EQ(notices.notices[1].path, "values" KV_PATH_SEPARATOR "other1.pcx");
    // Its own fill, not the current sprite's.
    const test::PcxImage image = test::ReadPcxFile("values" KV_PATH_SEPARATOR "other0.pcx");
    EXPECT_EQ(image.At(0, 0), 7);
    EXPECT_EQ(image.At(1, 0), 0x09);
    EXPECT_EQ(terminator[3], F);
    EXPECT_EQ(blockCount, 1);
    EXPECT_EQ(frameTable[0], table);
    EXPECT_FALSE(separateFrames);
}
