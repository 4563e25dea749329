#include "image/pcx_reader.h"
#include "ui/program/pcx_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "image/pcx_writer.h"
#include "platform/application_title.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/temp_folder.h"

namespace {

using test::Bytes;
using ::testing::Each;
using ::testing::ElementsAre;

std::int32_t Int32At(const std::uint8_t* p) {
    return static_cast<std::int32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24);
}
std::int16_t Int16At(const std::uint8_t* p) { return static_cast<std::int16_t>(p[0] | p[1] << 8); }

Bytes DistinctPalette() {
    Bytes palette(768);
    for (std::size_t i = 0; i < 768; ++i) palette[i] = static_cast<std::uint8_t>(i * 11 + i / 3);
    return palette;
}

Bytes Encode(const Bytes& pixels, int width, int height, const Bytes& palette = DistinctPalette()) {
    MemorySink file;
    EXPECT_TRUE(EncodePcx(file, pixels.data(), width, height, width, palette.data()));
    return file.data;
}

// A file of the writer's header with hand-made image data after it.
Bytes WithData(int width, int height, const Bytes& data) {
    Bytes file = Encode(Bytes(static_cast<std::size_t>(width) * height, 0), width, height);
    file.resize(128);
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

DisplayImage Decode(const Bytes& file, PcxDecode expected = PcxDecode::Decoded) {
    DisplayImage image;
    EXPECT_EQ(DecodePcx(file.data(), file.size(), &image), expected);
    return image;
}

Bytes Row(const DisplayImage& image, int row) {
    const std::uint8_t* start = image.pixels.get() + static_cast<std::size_t>(row) * image.rowStride;
    return Bytes(start, start + image.rowStride);
}

Bytes ColourEntry(const DisplayImage& image, int k) {
    const std::uint8_t* entry = image.bitmapInfo.get() + 40 + 4 * k;
    return Bytes(entry, entry + 4);
}

TEST(PcxReaderTest, RoundTripsWithTheWriterAtEveryRowAlignment) {
    for (int width : {1, 5, 8, 6}) {
        const int height = 3;
        Bytes pixels(static_cast<std::size_t>(width) * height);
        for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(0xBE + i * 29);
        const DisplayImage image = Decode(Encode(pixels, width, height));
        ASSERT_EQ(image.width, width);
        ASSERT_EQ(image.height, height);
        ASSERT_EQ(image.rowStride, (width + 3) / 4 * 4) << width;
        for (int y = 0; y < height; ++y) {
            Bytes expected(pixels.begin() + y * width, pixels.begin() + (y + 1) * width);
            expected.resize(static_cast<std::size_t>(image.rowStride), 0);
            EXPECT_EQ(Row(image, y), expected) << width << " row " << y;
        }
    }
}

TEST(PcxReaderTest, BitmapHeaderIsTopDownEightBitWithThePaletteAsBlueGreenRed) {
    Bytes palette = DistinctPalette();
    palette[0] = 10, palette[1] = 20, palette[2] = 30;
    const DisplayImage image = Decode(Encode(Bytes(40 * 25, 7), 40, 25, palette));
    const std::uint8_t* info = image.bitmapInfo.get();
    EXPECT_EQ(Int32At(info), 40);       // biSize
    EXPECT_EQ(Int32At(info + 4), 40);   // biWidth
    EXPECT_EQ(Int32At(info + 8), -25);  // biHeight: rows stored top first
    EXPECT_EQ(Int16At(info + 12), 1);   // biPlanes
    EXPECT_EQ(Int16At(info + 14), 8);   // biBitCount
    EXPECT_THAT(Bytes(info + 16, info + 40), Each(0));
    EXPECT_THAT(ColourEntry(image, 0), ElementsAre(30, 20, 10, 0));
    for (int k = 0; k < 256; ++k)
        EXPECT_THAT(ColourEntry(image, k), ElementsAre(palette[3 * k + 2], palette[3 * k + 1], palette[3 * k], 0)) << k;
}

TEST(PcxReaderTest, RunCodes) {
    // C1 D5: one pixel D5. C3 07: three pixels 7. C0: a pixel of value C0.
    Bytes data = {0xC1, 0xD5, 0xC3, 0x07, 0xC0};
    data.push_back(0x0C);
    data.resize(data.size() + 768, 0x33);
    const DisplayImage image = Decode(WithData(5, 1, data));
    EXPECT_THAT(Row(image, 0), ElementsAre(0xD5, 7, 7, 7, 0xC0, 0, 0, 0));
    EXPECT_THAT(ColourEntry(image, 255), ElementsAre(0x33, 0x33, 0x33, 0));
}

TEST(PcxReaderTest, WindowFieldsAndBytesPerLineAreUnsigned) {
    // The writer's widest and highest images come back whole.
    for (const auto& [width, height] : {std::pair{32768, 2}, std::pair{65535, 1}, std::pair{1, 32769}}) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        Bytes pixels(static_cast<std::size_t>(width) * height);
        for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
        const DisplayImage image = Decode(Encode(pixels, width, height));
        ASSERT_EQ(image.width, width);
        ASSERT_EQ(image.height, height);
        for (int row = 0; row < height; ++row) {
            const Bytes decoded = Row(image, row);
            ASSERT_TRUE(std::equal(pixels.begin() + static_cast<std::ptrdiff_t>(row) * width,
                                   pixels.begin() + static_cast<std::ptrdiff_t>(row + 1) * width, decoded.begin()));
        }
    }
    // A header of earlier versions for a zero width (xmax 0xFFFF, bytes per
    // line 0) now reads 65536 wide with rows of no bytes: refused.
    Bytes legacy = Encode(Bytes(3, 0), 1, 3);
    legacy[8] = legacy[9] = 0xFF;
    legacy[66] = legacy[67] = 0;
    Decode(legacy, PcxDecode::Refused);
}

TEST(PcxReaderTest, MarkerIsLookedForRightAfterTheImageData) {
    // Junk after the palette does not move it.
    Bytes file = Encode({1, 2, 3, 4}, 2, 2);
    file.resize(file.size() + 1000, 0x0C);
    EXPECT_THAT(ColourEntry(Decode(file), 2),
                ElementsAre(DistinctPalette()[8], DistinctPalette()[7], DistinctPalette()[6], 0));
    // A 0x0C 769 bytes before the end, but not after the data: no palette.
    Bytes noMarker = WithData(2, 2, {1, 2, 3, 4, 0x55});
    noMarker.push_back(0x0C);
    noMarker.resize(noMarker.size() + 768, 0x99);
    const DisplayImage image = Decode(noMarker);
    EXPECT_THAT(Bytes(image.bitmapInfo.get() + 40, image.bitmapInfo.get() + kBitmapInfoSize), Each(0));
}

TEST(PcxReaderTest, PaddedRowsAndLongRunsFromOtherWritersShowAsTheirWidth) {
    // Width 3, bytes per line 4 (even padding): the first row one run of
    // four, the second three pixels and a padding byte.
    Bytes file = WithData(3, 2, {0xC4, 0x09, 1, 2, 3, 0x00});
    file[66] = 4;
    file.push_back(0x0C);
    file.resize(file.size() + 768, 0x44);
    const DisplayImage image = Decode(file);
    EXPECT_EQ(image.rowStride, 4);
    EXPECT_THAT(Row(image, 0), ElementsAre(9, 9, 9, 0));
    EXPECT_THAT(Row(image, 1), ElementsAre(1, 2, 3, 0));
    EXPECT_THAT(ColourEntry(image, 0), ElementsAre(0x44, 0x44, 0x44, 0));
}

TEST(PcxReaderTest, RunsThatCrossTheRowEndAreCutThere) {
    // Width 2: a run of 5 in the first row, then a row of 7 7; the last run
    // crosses the end of the last row and of the block.
    const DisplayImage image = Decode(WithData(2, 2, {0xC5, 0x04, 0x07, 0xFF, 0x08}));
    EXPECT_THAT(Row(image, 0), ElementsAre(4, 4, 0, 0));
    EXPECT_THAT(Row(image, 1), ElementsAre(7, 8, 0, 0));
}

TEST(PcxReaderTest, ShortDataLeavesTheRestZeroAndTheColoursZero) {
    const DisplayImage image = Decode(WithData(4, 3, {5, 6, 7, 8, 9, 0xC2}));
    EXPECT_THAT(Row(image, 0), ElementsAre(5, 6, 7, 8));
    EXPECT_THAT(Row(image, 1), ElementsAre(9, 0, 0, 0));
    EXPECT_THAT(Row(image, 2), Each(0));
    EXPECT_THAT(Bytes(image.bitmapInfo.get() + 40, image.bitmapInfo.get() + kBitmapInfoSize), Each(0));
}

TEST(PcxReaderTest, RefusesWhatItCannotShowSensibly) {
    const Bytes good = Encode(Bytes(12, 1), 4, 3);
    auto changed = [&](std::size_t offset, std::uint8_t value) {
        Bytes file = good;
        file[offset] = value;
        return file;
    };
    Decode(Bytes(good.begin(), good.begin() + 127), PcxDecode::Refused);  // shorter than a header
    Decode(changed(65, 3), PcxDecode::Refused);                           // three planes
    Decode(changed(3, 4), PcxDecode::Refused);                            // four bits per pixel
    Decode(changed(66, 3), PcxDecode::Refused);                           // bytes per line below the width
    Bytes negative = changed(8, 0xF0);                                    // xmax -16
    negative[9] = 0xFF;
    Decode(negative, PcxDecode::Refused);
    Bytes huge = changed(10, 0xFF);  // 4 x 32768 rows announced in a file of a few hundred bytes
    huge[11] = 0x7F;
    Decode(huge, PcxDecode::Refused);
    Decode({}, PcxDecode::Refused);
}

TEST(PcxReaderTest, ReadPcxReportsFilesItCannotOpenOrShow) {
    test::TempFolder folder;
    test::ScriptedMessageBoxes user;
    HWND const viewer = reinterpret_cast<HWND>(0x130);
    test::WriteFile("empty.pcx", {});
    test::WriteFile("short.pcx", Bytes(100, 0x0A));
    test::WriteFile("good.pcx", Encode({1, 2, 3}, 3, 1));
    DisplayImage image;
    EXPECT_FALSE(ReadPcx("missing.pcx", viewer, &image));
    EXPECT_FALSE(ReadPcx("empty.pcx", viewer, &image));
    EXPECT_FALSE(ReadPcx("short.pcx", viewer, &image));
    EXPECT_FALSE(image.pixels);
    EXPECT_FALSE(image.bitmapInfo);
    EXPECT_THAT(user.Texts(), Each(std::string("Unable to open the PCX file")));
    ASSERT_EQ(user.boxes.size(), 3u);
    EXPECT_EQ(user.boxes[0].owner, viewer);
    EXPECT_EQ(user.boxes[0].style, static_cast<UINT>(MB_OK));
    EXPECT_EQ(user.boxes[0].caption, platform::ApplicationTitle());

    ASSERT_TRUE(ReadPcx("good.pcx", viewer, &image));
    EXPECT_THAT(Row(image, 0), ElementsAre(1, 2, 3, 0));
    EXPECT_EQ(user.boxes.size(), 3u);
}

}  // namespace
