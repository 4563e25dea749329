#include "image/pcx_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_folder.h"

namespace {

using test::Bytes;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

Bytes TestPalette() {
    Bytes palette(768);
    for (std::size_t i = 0; i < palette.size(); ++i) palette[i] = static_cast<std::uint8_t>(255 - i % 251);
    return palette;
}

std::uint16_t Field16(const Bytes& file, std::size_t offset) {
    return static_cast<std::uint16_t>(file.at(offset) | file.at(offset + 1) << 8);
}

Bytes Write(const Bytes& pixels, std::int32_t width, std::int32_t height, std::int32_t rowStride) {
    test::TempFolder folder;
    const Bytes palette = TestPalette();
    EXPECT_TRUE(WritePcx("out.pcx", pixels.data(), width, height, rowStride, palette.data()));
    return test::ReadFile("out.pcx");
}

Bytes ImageData(const Bytes& file) { return Bytes(file.begin() + 128, file.end() - 769); }

TEST(PcxWriterTest, HeaderOfASixByFiveImage) {
    const Bytes file = Write(Bytes(30, 1), 6, 5, 6);
    EXPECT_THAT(Bytes(file.begin(), file.begin() + 4), ElementsAre(0x0A, 5, 1, 8));
    EXPECT_EQ(Field16(file, 4), 0);   // xmin
    EXPECT_EQ(Field16(file, 6), 0);   // ymin
    EXPECT_EQ(Field16(file, 8), 5);   // xmax
    EXPECT_EQ(Field16(file, 10), 4);  // ymax
    EXPECT_EQ(Field16(file, 12), 6);  // the resolution fields carry the size
    EXPECT_EQ(Field16(file, 14), 5);
    EXPECT_EQ(file[64], 0);
    EXPECT_EQ(file[65], 1);           // planes
    EXPECT_EQ(Field16(file, 66), 6);  // bytes per line
    EXPECT_EQ(Field16(file, 68), 2);  // palette info
    for (std::size_t offset : {16u, 63u, 70u, 127u}) EXPECT_EQ(file[offset], 0) << offset;
    EXPECT_EQ(file.size(), 128u + 30 + 1 + 768);
}

TEST(PcxWriterTest, OnePixelOfFFMakesAn899ByteFile) {
    const Bytes file = Write({0xFF}, 1, 1, 1);
    ASSERT_EQ(file.size(), 899u);
    EXPECT_THAT(ImageData(file), ElementsAre(0xC1, 0xFF));
    EXPECT_EQ(file[130], 0x0C);
    EXPECT_THAT(Bytes(file.begin() + 131, file.end()), ElementsAreArray(TestPalette()));
}

TEST(PcxWriterTest, OnlyPixelsWithBothTopBitsSetGetAPrefix) {
    // 0xBF and 0x7F have one top bit set; 0xC0 and 0xD5 both; equal pixels are never a run.
    const Bytes file = Write({0xBF, 0xC0, 0x7F, 0xD5, 0x05, 0x05, 0x05, 0x05, 0x05, 0x05, 0x05, 0x05}, 12, 1, 12);
    EXPECT_THAT(ImageData(file), ElementsAre(0xBF, 0xC1, 0xC0, 0x7F, 0xC1, 0xD5, 5, 5, 5, 5, 5, 5, 5, 5));
}

TEST(PcxWriterTest, OddWidthsAreNotPaddedAndStrideGapsAreNotWritten) {
    // A 3 x 2 image held with a stride of 5: the two bytes after each row are not part of it.
    const Bytes source = {1, 2, 3, 0xEE, 0xEE, 4, 5, 6, 0xEE, 0xEE};
    const Bytes file = Write(source, 3, 2, 5);
    EXPECT_EQ(Field16(file, 66), 3);
    EXPECT_THAT(ImageData(file), ElementsAre(1, 2, 3, 4, 5, 6));
}

TEST(PcxWriterTest, ImagesWithoutAPixelAreNotWritten) {
    // A header cannot describe them: xmax or ymax would read 0xFFFF.
    test::TempFolder folder;
    const Bytes palette = TestPalette();
    EXPECT_FALSE(WritePcx("none.pcx", nullptr, 0, 4, 0, palette.data()));
    EXPECT_FALSE(WritePcx("none.pcx", nullptr, 4, 0, 4, palette.data()));
    EXPECT_FALSE(std::filesystem::exists("none.pcx"));
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST(PcxWriterTest, EveryRowWidthCodesEachPixelOnItsOwn) {
    // Widths around the 16-pixel blocks of the fast path, random pixels.
    std::uint32_t seed = 12345;
    for (int width : {15, 16, 17, 31, 32, 33, 100}) {
        const int height = 3;
        Bytes pixels(static_cast<std::size_t>(width) * height);
        for (auto& p : pixels) p = static_cast<std::uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
        Bytes expected;
        for (std::uint8_t p : pixels) {
            if ((p & 0xC0) == 0xC0) expected.push_back(0xC1);
            expected.push_back(p);
        }
        EXPECT_EQ(ImageData(Write(pixels, width, height, width)), expected) << width;
    }
}

TEST(PcxWriterTest, LengthIsHeaderPixelsPrefixesMarkerAndPalette) {
    Bytes pixels(40 * 25);
    std::size_t high = 0;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<std::uint8_t>(i * 37);
        high += pixels[i] >= 0xC0;
    }
    const Bytes file = Write(pixels, 40, 25, 40);
    EXPECT_EQ(file.size(), 128 + pixels.size() + high + 1 + 768);
}

TEST(PcxWriterTest, ReplacesAnExistingFileAndLeavesNoTemporaryFile) {
    test::TempFolder folder;
    test::WriteFile("out.pcx", Bytes(5000, 0x55));
    const Bytes palette = TestPalette();
    const Bytes pixels = {9};
    ASSERT_TRUE(WritePcx("out.pcx", pixels.data(), 1, 1, 1, palette.data()));
    EXPECT_EQ(test::ReadFile("out.pcx").size(), 898u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), std::filesystem::directory_iterator()), 1);
}

TEST(PcxWriterTest, ReportsFilesThatCannotBeWritten) {
    test::TempFolder folder;
    const Bytes palette = TestPalette();
    const Bytes pixels = {9};
    EXPECT_FALSE(WritePcx(test::OutputPath("out.pcx").c_str(), pixels.data(), 1, 1, 1, palette.data()));
    // A folder where the file should go.
    std::filesystem::create_directory("taken.pcx");
    EXPECT_FALSE(WritePcx("taken.pcx", pixels.data(), 1, 1, 1, palette.data()));
    EXPECT_TRUE(std::filesystem::is_directory("taken.pcx"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), std::filesystem::directory_iterator()), 1);
}

TEST(PcxWriterTest, RefusesSizesTheHeaderCannotHold) {
    test::TempFolder folder;
    const Bytes palette = TestPalette();
    const Bytes pixels(65536, 1);
    EXPECT_FALSE(WritePcx("wide.pcx", pixels.data(), 65536, 1, 65536, palette.data()));
    EXPECT_FALSE(WritePcx("negative.pcx", pixels.data(), -1, 1, 1, palette.data()));
    EXPECT_FALSE(std::filesystem::exists("wide.pcx"));
    EXPECT_TRUE(WritePcx("widest.pcx", pixels.data(), 65535, 1, 65535, palette.data()));
    EXPECT_EQ(Field16(test::ReadFile("widest.pcx"), 8), 65534);
}

}  // namespace
