#include "convert/sprite_packing.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <random>

#include "ui/program/frame_placement.h"
#include "ui/program/output_options.h"
#include "ui/program/sprite_conversion.h"
#include "ui/program/current_palette.h"
#include "tests/unit/program_test.h"
#include "tests/support/png_assembler.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using test::Bytes;
using ::testing::HasSubstr;

class SpritePackingTest : public test::ProgramTest {
protected:
    SpritePackingTest() {
        UseBuiltInPalette();
        ReorderPalette();
        outputOptions.format = ImageFormat::Png;
        outputOptions.manifest = true;
        outputOptions.folder = "out";
    }

    // Converts name (in the current folder) into out/.
    void Convert(const std::string& name) {
        EnsureOutputFolder();
        StartConversionRun();
        char buffer[kNameBufferSize] = {};
        std::strncpy(buffer, name.c_str(), sizeof buffer - 1);
        const SpriteOutcome outcome = ConvertSpriteFile(buffer);
        // As a run ends: the folder is let go, so that it can be removed.
        CloseOutputFolder();
        ASSERT_EQ(outcome, SpriteOutcome::Converted);
    }

    // Packs the manifest into the bytes of a sprite file; empty on refusal.
    Bytes Pack(const std::string& manifest, PackReport* report) {
        Dc6File sprite;
        std::string name;
        if (!PackManifest(manifest, PackSettings(), &sprite, &name, report)) return {};
        MemorySink sink;
        EXPECT_TRUE(WriteDc6(sink, sprite));
        return sink.data;
    }

    static std::map<std::string, Bytes> FolderFiles(const fs::path& folder) {
        std::map<std::string, Bytes> files;
        for (const auto& entry : fs::directory_iterator(folder))
            files[entry.path().filename().string()] = test::ReadFile(entry.path());
        return files;
    }

    test::TempFolder folder;
};

// Terminators that collide with the coding: end-of-row bytes, common run
// codes, and the plain default.
const test::Terminator kTerminators[] = {
    {0xEE, 0xEE, 0xEE, 0xEE}, {0x80, 0x80, 0x80, 0x80}, {0x00, 0x81, 0x01, 0x80},
    {0x05, 0x80, 0x01, 0x03}, {0x80, 0x01, 0x80, 0x01}, {0x81, 0x81, 0x81, 0x81},
};

// A random sprite the converter accepts: stitched (all offsets zero) or
// separate, 1 to 12 frames, rows all transparent, frames without a
// transparent pixel, pixels equal to the terminator's bytes, raw header
// fields set.
Bytes RandomSprite(std::mt19937& random, const test::Terminator& terminator) {
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    const bool separate = pick(0, 1) == 1;
    const int choice = pick(0, 3);
    const int frames = choice == 0 ? 1 : choice == 1 ? 12 : pick(2, 11);
    const int palette[] = {terminator[0], terminator[1], terminator[2], terminator[3], 0x80, 0x81, 0x01, 0x7F, 0xFF, 0};
    test::Dc6Builder builder;
    builder.Terminate(terminator);
    for (int f = 0; f < frames; ++f) {
        const int width = pick(0, 9) == 0 ? 256 : pick(0, 30);
        const int height = pick(0, 9) == 0 ? 0 : pick(1, 12);
        test::PixelRows rows(static_cast<std::size_t>(height), std::vector<int>(static_cast<std::size_t>(width)));
        // Some frames have no transparent pixel at all: no index is marked.
        const bool solid = pick(0, 5) == 0;
        for (auto& row : rows) {
            const bool empty = !solid && pick(0, 4) == 0;
            for (int& pixel : row)
                pixel = empty || (!solid && pick(0, 2) == 0) ? test::kSkip
                        : pick(0, 3) == 0                    ? pick(0, 255)
                                                             : palette[pick(0, 9)];
        }
        const int x = separate ? pick(-300, 300) : 0;
        const int y = separate ? pick(-300, 300) : 0;
        builder.AddRows(rows, x, y);
    }
    Bytes file = builder.Build();
    test::PutInt32(file, 4, pick(0, 1) ? -1 : 1);
    test::PutInt32(file, 8, pick(0, 1000));
    test::PutInt32(file, 16, pick(-5, 5));
    for (int f = 0; f < frames; ++f) {
        std::uint32_t at = 0;
        std::memcpy(&at, file.data() + 24 + 4 * f, 4);
        test::PutInt32(file, at, pick(0, 3));
        test::PutInt32(file, at + 20, pick(-2, 2));
        test::PutInt32(file, at + 24, 0x12345678);
    }
    return file;
}

// Convert, pack, convert again: the same images and manifest. Pack those
// again: the same sprite file.
TEST_F(SpritePackingTest, RoundTripOfRandomSpritesIsExactAndPackingIsIdempotent) {
    std::mt19937 random(14);
    int cases = 0, uncodable = 0;
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const test::Terminator& terminator = kTerminators[round % std::size(kTerminators)];
        fs::remove_all("one");
        fs::remove_all("two");
        fs::create_directories("one");
        fs::create_directories("two");
        test::WriteFile("one/s.dc6", RandomSprite(random, terminator));
        fs::current_path("one");
        Convert("s.dc6");
        fs::current_path("..");

        PackReport report;
        const Bytes packed = Pack("one/out/s.json", &report);
        if (packed.empty()) {
            ASSERT_THAT(report.reason, HasSubstr("cannot be coded")) << report.subject;
            ++uncodable;
            continue;
        }
        // Frames the converter wrote no image for (a stitched image whose
        // last row is empty) come back empty, with a notice.
        for (const auto& notice : report.notices) EXPECT_THAT(notice.second, HasSubstr("has no image"));
        ++cases;
        test::WriteFile("two/s.dc6", packed);
        fs::current_path("two");
        Convert("s.dc6");
        fs::current_path("..");
        ASSERT_EQ(FolderFiles("one/out"), FolderFiles("two/out"));

        PackReport again;
        ASSERT_EQ(Pack("two/out/s.json", &again), packed) << again.reason;
    }
    RecordProperty("uncodable", uncodable);
    EXPECT_GE(cases, 285);
    EXPECT_LE(uncodable, 15);
}

Bytes IndexedPng(int width, int height, const Bytes& indices, const Bytes& alpha = {}) {
    std::vector<Bytes> chunks = {test::PngChunk("IHDR", test::IhdrData(width, height, 8, 3)),
                                 test::PngChunk("PLTE", test::PngPalette(256))};
    if (!alpha.empty()) chunks.push_back(test::PngChunk("tRNS", alpha));
    chunks.push_back(test::PngChunk("IDAT", test::Deflated(test::RawImage(indices, width, height, 8, false, {0}))));
    chunks.push_back(test::PngChunk("IEND", {}));
    return test::PngFile(chunks);
}

TEST_F(SpritePackingTest, LooseImagesTakeTheirTransparentEntryTheOffsetsAndTheLikeSprite) {
    // Index 5 is the one fully transparent entry.
    test::WriteFile("a.png", IndexedPng(3, 2, {5, 1, 5, 2, 5, 5}, Bytes{255, 255, 255, 255, 255, 0}));
    test::WriteFile("like.dc6", test::Dc6Builder().Terminate({1, 2, 3, 4}).AddRows({{1}}).Build());
    SpriteTemplate like;
    std::string reason;
    ASSERT_TRUE(ReadSpriteTemplate("like.dc6", &like, &reason)) << reason;
    Dc6File sprite;
    PackReport report;
    ASSERT_TRUE(PackLooseImages({{"a.png", -3, 7}}, like, PackSettings(), &sprite, &report)) << report.reason;
    ASSERT_EQ(sprite.frames.size(), 1u);
    EXPECT_EQ(sprite.terminator, (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(sprite.frames[0].xOffset, -3);
    EXPECT_EQ(sprite.frames[0].yOffset, 7);
    // Bottom row: 2, then the transparent tail; top row: skip, 1.
    EXPECT_EQ(sprite.frames[0].coded, (Bytes{0x01, 2, 0x80, 0x81, 0x01, 1, 0x80, 1, 2, 3, 4}));
}

TEST_F(SpritePackingTest, RefusesWhatCannotBePackedAndSaysWhy) {
    auto refusal = [](const std::vector<LooseFrame>& frames) {
        Dc6File sprite;
        PackReport report;
        EXPECT_FALSE(PackLooseImages(frames, SpriteTemplate(), PackSettings(), &sprite, &report));
        return report.subject + ": " + report.reason;
    };
    test::WriteFile("grey.png",
                    test::PngFile({test::PngChunk("IHDR", test::IhdrData(1, 1, 16, 0)),
                                   test::PngChunk("IDAT", test::Deflated({0, 9, 9})), test::PngChunk("IEND", {})}));
    EXPECT_THAT(refusal({{"grey.png"}}), HasSubstr("grey.png: is a PNG image of 16 bits per sample; save it as"));
    test::WriteFile("half.png", IndexedPng(1, 1, {0}, Bytes{255, 128}));
    EXPECT_THAT(refusal({{"half.png"}}), HasSubstr("half.png: has partly transparent palette entries (entry 1)"));
    test::WriteFile("wide.png",
                    test::PngFile({test::PngChunk("IHDR", test::IhdrData(65536, 1, 8, 3)),
                                   test::PngChunk("PLTE", test::PngPalette(1)), test::PngChunk("IEND", {})}));
    EXPECT_THAT(refusal({{"wide.png"}}), HasSubstr("wide.png: is too large for a frame"));
    test::WriteFile("ok.png", IndexedPng(1, 1, {0}));
    EXPECT_THAT(refusal(std::vector<LooseFrame>(13, {"ok.png"})), HasSubstr("13 images given"));

    // A manifest that lost a field; an image an editor cropped; a PCX image
    // cut short.
    test::WriteFile("s.dc6", test::Dc6Builder().AddRows({{1, 2}, {3, 4}}).Build());
    Convert("s.dc6");
    std::string text(reinterpret_cast<const char*>(test::ReadFile("out/s.json").data()),
                     test::ReadFile("out/s.json").size());
    PackReport report;
    test::WriteFile("out/damaged.json", Bytes(text.begin(), text.begin() + text.find("\"meta\"")));
    EXPECT_TRUE(Pack("out/damaged.json", &report).empty());
    EXPECT_THAT(report.reason, HasSubstr("is not a manifest this program reads"));
    const Bytes png = test::ReadFile("out/s.png");
    test::WriteFile("out/s.png", IndexedPng(2, 1, {1, 2}));
    EXPECT_TRUE(Pack("out/s.json", &report).empty());
    EXPECT_EQ(report.subject, "out/s.png");
    EXPECT_THAT(report.reason, HasSubstr("is 2 x 1 pixels; the manifest gives 2 x 2"));
    test::WriteFile("out/s.png", png);
    std::string moved = text;  // the frame's rectangle one pixel right: its last column is not in the image
    moved.replace(moved.find("\"x\": 0"), 6, "\"x\": 1");
    test::WriteFile("out/s.json", Bytes(moved.begin(), moved.end()));
    EXPECT_TRUE(Pack("out/s.json", &report).empty());
    EXPECT_THAT(report.reason, HasSubstr("does not hold all of frame 0 (2 x 2 at 1,0 in an image of 2 x 2)"));
    test::WriteFile("out/s.json", Bytes(text.begin(), text.end()));

    outputOptions.format = ImageFormat::Pcx;
    Convert("s.dc6");
    const Bytes pcx = test::ReadFile("out/s.pcx");
    ASSERT_FALSE(Pack("out/s.json", &report).empty()) << report.reason;
    for (const std::size_t length : {std::size_t{130}, pcx.size() - 1}) {
        test::WriteFile("out/s.pcx", Bytes(pcx.begin(), pcx.begin() + static_cast<std::ptrdiff_t>(length)));
        EXPECT_TRUE(Pack("out/s.json", &report).empty()) << length;
        EXPECT_THAT(report.reason, HasSubstr(length < pcx.size() - 768 ? "is cut short" : "has no palette")) << length;
    }
}

// An editor that keeps the pixels but not the indices: GIMP moves the
// transparent pixels to an unused index and marks that one in tRNS;
// ImageMagick shrinks and reorders the palette; Pillow overwrites an unused
// entry with a new colour. Each packs back to the converted sprite, or is
// refused for the colour it added (unless --nearest, counted).
TEST_F(SpritePackingTest, EditedPalettesAndTransparencyGoBackByWhatThePixelsShow) {
    // Index 0 unused, a transparent pixel: the converter marks index 0.
    test::WriteFile("s.dc6", test::Dc6Builder().AddRows({{7, test::kSkip, 9}, {9, 7, 200}}).Build());
    Convert("s.dc6");
    PackReport report;
    const Bytes original = Pack("out/s.json", &report);
    ASSERT_FALSE(original.empty()) << report.reason;
    EXPECT_TRUE(report.notices.empty());
    Bytes rgb;  // the built-in palette, red, green, blue
    for (int i = 0; i < 256; ++i)
        for (int c : {2, 1, 0}) rgb.push_back(builtInPalette[3 * i + c]);
    auto png = [](int width, const Bytes& palette, const Bytes& alpha, const Bytes& indices) {
        std::vector<Bytes> chunks = {test::PngChunk("IHDR", test::IhdrData(width, 2, 8, 3)),
                                     test::PngChunk("PLTE", palette)};
        if (!alpha.empty()) chunks.push_back(test::PngChunk("tRNS", alpha));
        chunks.push_back(test::PngChunk("IDAT", test::Deflated(test::RawImage(indices, width, 2, 8, false, {0}))));
        chunks.push_back(test::PngChunk("IEND", {}));
        return test::PngFile(chunks);
    };
    auto entries = [&](std::initializer_list<int> indices) {
        Bytes palette;
        for (int i : indices) palette.insert(palette.end(), rgb.begin() + 3 * i, rgb.begin() + 3 * i + 3);
        return palette;
    };

    // GIMP: the palette kept, transparency moved to index 5.
    Bytes alpha(6, 255);
    alpha[5] = 0;
    test::WriteFile("out/s.png", png(3, rgb, alpha, {7, 5, 9, 9, 7, 200}));
    EXPECT_EQ(Pack("out/s.json", &report), original) << report.reason;
    // ImageMagick: three colours, reordered, transparency an entry of its own.
    test::WriteFile("out/s.png", png(3, entries({200, 0, 9, 7}), Bytes{255, 0}, {3, 1, 2, 2, 3, 0}));
    EXPECT_EQ(Pack("out/s.json", &report), original) << report.reason;
    EXPECT_TRUE(report.notices.empty());
    // Pillow: an unused entry overwritten with a colour the palette lacks.
    Bytes pillow = rgb;
    pillow[3 * 77] = 1, pillow[3 * 77 + 1] = 2, pillow[3 * 77 + 2] = 3;
    test::WriteFile("out/s.png", png(3, pillow, Bytes{0}, {7, 0, 77, 9, 7, 200}));
    EXPECT_TRUE(Pack("out/s.json", &report).empty());
    EXPECT_THAT(report.reason, HasSubstr("colour #010203 (pixel 2,0) is not in the sprite's palette"));
    Dc6File sprite;
    std::string name;
    PackSettings nearest;
    nearest.nearest = true;
    PackReport counted;
    ASSERT_TRUE(PackManifest("out/s.json", nearest, &sprite, &name, &counted)) << counted.reason;
    ASSERT_EQ(counted.notices.size(), 1u);
    EXPECT_THAT(counted.notices[0].second, HasSubstr("1 pixels have a colour not in the palette and took the nearest"));
}

// A palette that holds a colour twice (as real ones do): pixels of that
// colour keep the original sprite's index where it is at hand, else take the
// lowest, counted.
TEST_F(SpritePackingTest, SharedColoursTakeTheOriginalsIndexOrTheLowestCounted) {
    UseBuiltInPalette();
    currentPalette[3 * 40] = currentPalette[3 * 10];  // entries 10 and 40 alike
    currentPalette[3 * 40 + 1] = currentPalette[3 * 10 + 1];
    currentPalette[3 * 40 + 2] = currentPalette[3 * 10 + 2];
    ReorderPalette();
    outputOptions.paletteName = "twice.pal";
    test::WriteFile("s.dc6", test::Dc6Builder().AddRows({{40, 10, 3}}).Build());
    Convert("s.dc6");
    fs::copy_file("s.dc6", "out/s.dc6");
    PackReport report;
    const Bytes original = Pack("out/s.json", &report);
    ASSERT_EQ(original, test::ReadFile("s.dc6")) << report.reason;
    // An RGB copy of the image goes by colour: the original settles 40 and 10.
    Bytes samples = {0};  // one row, filter None
    for (int index : {40, 10, 3})
        for (int c = 0; c < 3; ++c) samples.push_back(currentPalette[3 * index + c]);
    test::WriteFile("out/s.png",
                    test::PngFile({test::PngChunk("IHDR", test::IhdrData(3, 1, 8, 2)),
                                   test::PngChunk("IDAT", test::Deflated(samples)), test::PngChunk("IEND", {})}));
    EXPECT_EQ(Pack("out/s.json", &report), original) << report.reason;
    EXPECT_TRUE(report.notices.empty());
    fs::remove("out/s.dc6");
    const Bytes lowest = Pack("out/s.json", &report);
    ASSERT_EQ(report.notices.size(), 1u);
    EXPECT_THAT(report.notices[0].second, HasSubstr("2 pixels have a colour the palette holds at several indices"));
    EXPECT_NE(lowest, original);
}

}  // namespace
