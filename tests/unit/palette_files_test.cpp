#include "image/palette_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/support/dc6_builder.h"

namespace {

using test::Bytes;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

PaletteParse Parse(const std::string& name, const Bytes& bytes, PaletteFile* out, std::string* reason = nullptr) {
    return ParsePaletteFile(name, bytes.data(), bytes.size(), out, reason);
}
PaletteParse Parse(const std::string& name, const std::string& text, PaletteFile* out, std::string* reason = nullptr) {
    return Parse(name, Bytes(text.begin(), text.end()), out, reason);
}

// Entry k of a parsed palette, stored blue, green, red.
Bytes Stored(const PaletteFile& file, int k) { return Bytes(file.storedBgr + 3 * k, file.storedBgr + 3 * k + 3); }

// 256 distinct entries, red, green, blue.
Bytes Rgb() {
    Bytes rgb(768);
    for (int k = 0; k < 256; ++k) {
        rgb[3 * k] = static_cast<std::uint8_t>(k);
        rgb[3 * k + 1] = static_cast<std::uint8_t>(255 - k);
        rgb[3 * k + 2] = static_cast<std::uint8_t>(k * 7);
    }
    return rgb;
}

void ExpectPaddedWithBlack(const PaletteFile& file) {
    for (int k = file.colours; k < 256; ++k) EXPECT_THAT(Stored(file, k), ElementsAre(0, 0, 0)) << k;
}

TEST(PaletteFilesTest, RawFilesAre768BytesStoredBlueGreenRed) {
    const Bytes raw = Rgb();
    PaletteFile file;
    ASSERT_EQ(Parse("warm.pal", raw, &file), PaletteParse::Parsed);
    EXPECT_EQ(file.colours, 256);
    EXPECT_THAT(Bytes(file.storedBgr, file.storedBgr + 768), ElementsAreArray(raw));  // taken as it stands

    std::string reason;
    EXPECT_EQ(Parse("warm.pal", Bytes(767, 0), &file, &reason), PaletteParse::Refused);
    EXPECT_THAT(reason, ::testing::HasSubstr("not a palette file"));
}

TEST(PaletteFilesTest, JascWithCrLfAndFewerColoursIsPadded) {
    PaletteFile file;
    ASSERT_EQ(Parse("a.pal", "JASC-PAL\r\n0100\r\n3\r\n255 0 0\r\n0 128 0\r\n 1 2 3 \r\n", &file),
              PaletteParse::Parsed);
    EXPECT_EQ(file.colours, 3);
    EXPECT_THAT(Stored(file, 0), ElementsAre(0, 0, 255));
    EXPECT_THAT(Stored(file, 1), ElementsAre(0, 128, 0));
    EXPECT_THAT(Stored(file, 2), ElementsAre(3, 2, 1));
    ExpectPaddedWithBlack(file);

    const struct {
        std::string text;
        const char* reason;
    } wrong[] = {
        {"JASC-PAL\n0100\n2\n1 2 3\n4 256 6\n", "line 5: expected three numbers 0 to 255"},
        {"JASC-PAL\n0100\n2\n1 2 3\n", "the file ends after 1 of 2 colours"},
        {"JASC-PAL\n0100\n257\n", "257 colours; at most 256"},
        {"JASC-PAL\n0200\n1\n1 2 3\n", "line 2: expected JASC-PAL version 0100"},
        {"JASC-PAL\n0100\n1\n1 2 3\n4 5 6\n", "line 5: more colours"},
    };
    for (const auto& w : wrong) {
        std::string reason;
        EXPECT_EQ(Parse("a.pal", w.text, &file, &reason), PaletteParse::Refused) << w.text;
        EXPECT_THAT(reason, ::testing::HasSubstr(w.reason));
    }
}

Bytes Riff(std::uint16_t version, std::uint16_t count, int entries) {
    Bytes data = {static_cast<std::uint8_t>(version), static_cast<std::uint8_t>(version >> 8),
                  static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(count >> 8)};
    for (int k = 0; k < entries; ++k) data.insert(data.end(), {static_cast<std::uint8_t>(10 + k), 20, 30, 0});
    Bytes file = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'P', 'A', 'L', ' ', 'd', 'a', 't', 'a', 0, 0, 0, 0};
    test::PutInt32(file, 16, static_cast<std::int32_t>(data.size()));
    file.insert(file.end(), data.begin(), data.end());
    test::PutInt32(file, 4, static_cast<std::int32_t>(file.size() - 8));
    return file;
}

TEST(PaletteFilesTest, RiffPalReadsRedGreenBlueFlags) {
    PaletteFile file;
    ASSERT_EQ(Parse("x.pal", Riff(0x0300, 2, 2), &file), PaletteParse::Parsed);
    EXPECT_EQ(file.colours, 2);
    EXPECT_THAT(Stored(file, 0), ElementsAre(30, 20, 10));
    EXPECT_THAT(Stored(file, 1), ElementsAre(30, 20, 11));

    std::string reason;
    EXPECT_EQ(Parse("x.pal", Riff(0x0300, 300, 300), &file, &reason), PaletteParse::Refused);
    EXPECT_THAT(reason, ::testing::HasSubstr("300 colours"));
    EXPECT_EQ(Parse("x.pal", Riff(0x0300, 3, 2), &file, &reason), PaletteParse::Refused);
    EXPECT_THAT(reason, ::testing::HasSubstr("truncated"));
}

TEST(PaletteFilesTest, GimpSkipsHeaderLinesCommentsAndNames) {
    const std::string text =
        "GIMP Palette\nName: Forest\nColumns: 4\n#\n# a comment\n\n  0  64 128\tDeep\n255 255 255 White snow\n7 8 9\n";
    PaletteFile file;
    std::string reason;
    ASSERT_EQ(Parse("f.gpl", text, &file, &reason), PaletteParse::Parsed) << reason;
    EXPECT_EQ(file.colours, 3);
    EXPECT_THAT(Stored(file, 0), ElementsAre(128, 64, 0));
    EXPECT_THAT(Stored(file, 2), ElementsAre(9, 8, 7));

    EXPECT_EQ(Parse("f.gpl", "GIMP Palette\nName: x\n1 2 3\n1 2 -3\n", &file, &reason), PaletteParse::Refused);
    EXPECT_EQ(reason, "line 4: expected three numbers 0 to 255");
}

TEST(PaletteFilesTest, ActByExtensionIsRedGreenBlueWithOptionalCount) {
    const Bytes rgb = Rgb();
    PaletteFile file;
    ASSERT_EQ(Parse("PHOTO.ACT", rgb, &file), PaletteParse::Parsed);
    EXPECT_EQ(file.colours, 256);
    EXPECT_THAT(Stored(file, 1), ElementsAre(7, 254, 1));

    Bytes counted = rgb;
    counted.insert(counted.end(), {0x00, 0x02, 0xFF, 0xFF});  // two colours, no transparent index
    ASSERT_EQ(Parse("photo.act", counted, &file), PaletteParse::Parsed);
    EXPECT_EQ(file.colours, 2);
    EXPECT_THAT(Stored(file, 1), ElementsAre(7, 254, 1));
    ExpectPaddedWithBlack(file);
    counted[769] = 0;  // a count of 0: all 256
    ASSERT_EQ(Parse("photo.act", counted, &file), PaletteParse::Parsed);
    EXPECT_EQ(file.colours, 256);

    std::string reason;
    EXPECT_EQ(Parse("photo.act", Bytes(770, 0), &file, &reason), PaletteParse::Refused);
    EXPECT_EQ(reason, "a .act palette has 768 or 772 bytes, not 770");
}

TEST(PaletteFilesTest, EveryExportParsesBackToTheSame256Colours) {
    const Bytes rgb = Rgb();
    for (const char* name : {"out.gpl", "OUT.PAL", "out.act"}) {
        PaletteFormat format;
        ASSERT_TRUE(PaletteFormatForName(name, &format)) << name;
        MemorySink sink;
        ASSERT_TRUE(WritePaletteFile(sink, format, rgb.data()));
        PaletteFile file;
        std::string reason;
        ASSERT_EQ(Parse(name, sink.data, &file, &reason), PaletteParse::Parsed) << name << ": " << reason;
        EXPECT_EQ(file.colours, 256);
        for (int k = 0; k < 256; ++k)
            EXPECT_THAT(Stored(file, k), ElementsAre(rgb[3 * k + 2], rgb[3 * k + 1], rgb[3 * k])) << name << " " << k;
    }
    PaletteFormat format;
    EXPECT_FALSE(PaletteFormatForName("out.png", &format));
    EXPECT_FALSE(PaletteFormatForName("gpl", &format));
}

TEST(PaletteFilesTest, ExportedTextHasTheExpectedHeadersAndLineEnds) {
    const Bytes rgb = Rgb();
    MemorySink jasc, gimp, act;
    ASSERT_TRUE(WritePaletteFile(jasc, PaletteFormat::Jasc, rgb.data()));
    ASSERT_TRUE(WritePaletteFile(gimp, PaletteFormat::Gimp, rgb.data()));
    ASSERT_TRUE(WritePaletteFile(act, PaletteFormat::Act, rgb.data()));
    EXPECT_EQ(std::string(jasc.data.begin(), jasc.data.begin() + 30), "JASC-PAL\r\n0100\r\n256\r\n0 255 0\r\n");
    EXPECT_EQ(std::string(gimp.data.begin(), gimp.data.begin() + 51),
              "GIMP Palette\nName: Kelvane Converter\nColumns: 16\n#\n");
    EXPECT_EQ(act.data, rgb);
}

}  // namespace
