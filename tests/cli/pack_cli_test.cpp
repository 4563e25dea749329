// kelvane-pack driven as a user drives it: real files, exit statuses and
// standard error.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "run/pack_command.h"
#include "tests/cli/converter_process.h"
#include "tests/support/png_assembler.h"
#include "tests/support/temp_folder.h"

namespace {

using test::Bytes;
using ::testing::HasSubstr;
using ::testing::StartsWith;

test::ConverterRun Pack(const std::vector<std::string>& arguments) { return test::RunProgram(KELVANE_PACK, arguments); }

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// Sets every field key of a manifest's frame entry (the one in "frame" too).
void SetField(std::string& entry, const std::string& key, const std::string& value) {
    const std::string name = "\"" + key + "\": ";
    for (std::size_t at = 0; (at = entry.find(name, at)) != std::string::npos; at += name.size()) {
        const std::size_t end = entry.find_first_of(",\n}", at);
        entry.replace(at + name.size(), end - at - name.size(), value);
    }
}

// A manifest's text with one field's value replaced.
void EditManifest(const std::string& path, const std::string& from, const std::string& to) {
    std::string text = Text(test::ReadFile(path));
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    test::WriteFile(path, Bytes(text.begin(), text.end()));
}

TEST(PackCliTest, WritesTheManifestsSpriteAndReportsOneLinePerNotice) {
    test::TempFolder folder;
    test::WriteFile("s.dc6", test::Dc6Builder().AddRows({{1, test::kSkip, 2}, {3}}, 2, -1).Build());
    ASSERT_EQ(test::RunConverter({"-q", "-f", "png", "--json", "-o", "out", "s.dc6"}).status, 0);

    // Without -o: the manifest's sprite name, in the working folder.
    const test::ConverterRun clean = Pack({"-C", "out", "s.json"});
    EXPECT_EQ(clean.status, 0) << clean.err;
    EXPECT_EQ(clean.err, "");
    ASSERT_TRUE(std::filesystem::exists("out/s.dc6"));
    ASSERT_EQ(test::RunConverter({"-q", "-C", "out", "-f", "png", "--json", "-o", "again", "s.dc6"}).status, 0);
    EXPECT_EQ(test::ReadFile("out/again/s0.png"), test::ReadFile("out/s0.png"));

    // Colours the palette lacks: refused, or with --nearest a counted notice,
    // status 1, the sprite written.
    test::WriteFile(
        "out/s0.png",
        test::PngFile({test::PngChunk("IHDR", test::IhdrData(3, 2, 8, 3)), test::PngChunk("PLTE", test::PngPalette(4)),
                       test::PngChunk("tRNS", Bytes{0}),
                       test::PngChunk("IDAT", test::Deflated({0, 1, 0, 2, 0, 3, 0, 0})), test::PngChunk("IEND", {})}));
    const test::ConverterRun missing = Pack({"-C", "out", "-o", "../edited.dc6", "s.json"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_THAT(missing.err, StartsWith("kelvane-pack: s0.png: colour #01FE03 (pixel 0,0) is not in the sprite's"));
    EXPECT_FALSE(std::filesystem::exists("edited.dc6"));
    const test::ConverterRun nearest = Pack({"-C", "out", "-o", "../edited.dc6", "--nearest", "s.json"});
    EXPECT_EQ(nearest.status, 1);
    EXPECT_EQ(nearest.err,
              "kelvane-pack: s.json: 3 pixels have a colour not in the palette and took the nearest one\n");
    EXPECT_TRUE(std::filesystem::exists("edited.dc6"));

    // Several manifests in one run, each under its sprite's name; a refused
    // one does not stop the others, and -o cannot name them all.
    test::WriteFile("t.dc6", test::Dc6Builder().AddRows({{4, 5}}).Build());
    ASSERT_EQ(test::RunConverter({"-q", "-f", "png", "--json", "-o", "out", "t.dc6"}).status, 0);
    test::WriteFile("out/bad.json", {'{'});
    std::filesystem::remove("out/s.dc6");
    const test::ConverterRun several = Pack({"-C", "out", "--nearest", "bad.json", "t.json", "s.json"});
    EXPECT_EQ(several.status, 2);
    EXPECT_THAT(several.err, StartsWith("kelvane-pack: bad.json: "));
    EXPECT_TRUE(std::filesystem::exists("out/t.dc6"));
    EXPECT_TRUE(std::filesystem::exists("out/s.dc6"));
    EXPECT_EQ(Pack({"-C", "out", "-o", "x.dc6", "t.json", "s.json"}).status, 2);
    EXPECT_FALSE(std::filesystem::exists("out/x.dc6"));
}

TEST(PackCliTest, RefusalsAndUsageErrorsWriteNothing) {
    test::TempFolder folder;
    test::WriteFile("grey\x1b.png",
                    test::PngFile({test::PngChunk("IHDR", test::IhdrData(1, 1, 16, 0)),
                                   test::PngChunk("IDAT", test::Deflated({0, 9, 9})), test::PngChunk("IEND", {})}));
    const test::ConverterRun refused = Pack({"-o", "x.dc6", "grey\x1b.png"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_THAT(refused.err, StartsWith("kelvane-pack: grey\\x1B.png: is a PNG image of 16 bits per sample; save"));
    EXPECT_EQ(refused.err.find('\n'), refused.err.size() - 1);
    EXPECT_FALSE(std::filesystem::exists("x.dc6"));

    for (const std::vector<std::string>& usage :
         std::vector<std::vector<std::string>>{{"a.png"},
                                               {"-o", "x.dc6", "--offset", "1:2", "a.png"},
                                               {"-o", "x.dc6", "--offset", "3:0,0", "a.png"},
                                               {"-p", "x.pal", "s.json"},
                                               {"--force", "-o", "x.dc6", "a.png"},
                                               {"--like", "a.dc6", "s.json", "t.json"},
                                               {}}) {
        const test::ConverterRun run = Pack(usage);
        EXPECT_EQ(run.status, 2);
        EXPECT_THAT(run.err, HasSubstr("Try 'kelvane-pack --help'."));
    }
    const test::ConverterRun version = Pack({"--version"});
    EXPECT_EQ(version.out, "kelvane-pack " KELVANE_VERSION "\n");
    EXPECT_EQ(version.status, 0);
}

// A manifest is data: the sprite name it gives is used only when it is a
// plain *.dc6 name, never over a file the run reads, and never over an
// existing file without --force. -o never names an input either, whatever
// its spelling. --check writes nothing and says what it would write.
TEST(PackCliTest, NothingIsWrittenWhereNobodyAsked) {
    test::TempFolder folder;
    test::WriteFile("s.dc6", test::Dc6Builder().AddRows({{1, 2}}, 1, 0).AddRows({{3}}, 0, 1).Build());
    ASSERT_EQ(test::RunConverter({"-q", "-f", "png", "--json", "-o", "out", "s.dc6"}).status, 0);
    const Bytes manifest = test::ReadFile("out/s.json"), image = test::ReadFile("out/s0.png");
    auto unchanged = [&] {
        EXPECT_EQ(test::ReadFile("out/s.json"), manifest);
        EXPECT_EQ(test::ReadFile("out/s0.png"), image);
    };
    for (const char* name : {".profile", "s.json", "s0.png", "../s.dc6", "s.dc6x"}) {
        EditManifest("out/s.json", "\"sprite\": \"s.dc6\"", std::string("\"sprite\": \"") + name + "\"");
        const test::ConverterRun run = Pack({"-C", "out", "s.json"});
        EXPECT_EQ(run.status, 2) << name;
        EXPECT_THAT(run.err, HasSubstr("s.json: ")) << name;
        test::WriteFile("out/s.json", manifest);
        unchanged();
    }
    EXPECT_FALSE(std::filesystem::exists("out/.profile"));
    std::filesystem::create_symlink("s0.png", "out/link.dc6");
    EditManifest("out/s.json", "\"sprite\": \"s.dc6\"", "\"sprite\": \"link.dc6\"");
    EXPECT_EQ(Pack({"-C", "out", "--force", "s.json"}).status, 2);
    test::WriteFile("out/s.json", manifest);
    unchanged();
    for (const char* output : {"s0.png", "./s0.png", "link.dc6", "s.json"})
        EXPECT_EQ(Pack({"-C", "out", "-o", output, "s.json"}).status, 2) << output;
    EXPECT_EQ(Pack({"-C", "out", "-o", "./s0.png", "s0.png", "s1.png"}).status, 2);
    unchanged();

    // The sprite in the working folder is the user's: kept without --force.
    const Bytes sprite = test::ReadFile("s.dc6");
    const test::ConverterRun kept = Pack({"out/s.json"});
    EXPECT_EQ(kept.status, 2);
    EXPECT_EQ(kept.err,
              "kelvane-pack: s.dc6: exists and is not replaced: give --force to replace it, or -o to name "
              "another file\n");
    const test::ConverterRun check = Pack({"--check", "--force", "out/s.json"});
    EXPECT_EQ(check.status, 0) << check.err;
    EXPECT_EQ(check.out, "kelvane-pack: would write s.dc6: 2 frames, " + std::to_string(sprite.size()) + " bytes\n");
    std::filesystem::remove("s.dc6");
    EXPECT_EQ(Pack({"--check", "out/s.json"}).status, 0);
    EXPECT_FALSE(std::filesystem::exists("s.dc6"));
    test::WriteFile("s.dc6", {1, 2, 3});
    EXPECT_EQ(Pack({"--force", "out/s.json"}).status, 0);
    EXPECT_EQ(test::ReadFile("s.dc6"), sprite);
}

// What a pack costs follows the frames it makes, not what the files
// declare: frames without an image, a 1 x 1 frame of a huge image, and an
// image too large for any frame are all handled within a memory cap far
// below their declared sizes.
TEST(PackCliTest, CostFollowsTheFramesNotTheDeclaredSizes) {
    if (test::ConverterIsInstrumented()) GTEST_SKIP() << "sanitizers and Valgrind need more address space";
    test::TempFolder folder;
    test::WriteFile("s.dc6", test::Dc6Builder().AddRows({{1}}).Build());
    ASSERT_EQ(test::RunConverter({"-q", "-f", "png", "--json", "-o", "out", "s.dc6"}).status, 0);
    const std::string text = Text(test::ReadFile("out/s.json"));
    const std::size_t framesAt = text.find('[') + 1, framesEnd = text.find("\n  ],");
    const std::string frame = text.substr(framesAt, framesEnd - framesAt);
    test::RunControl control;
    control.program = KELVANE_PACK;
    control.memoryLimit = 256ull << 20;

    // A manifest of twelve frames, each made from the one frame entry.
    auto twelve = [&](const std::function<void(int, std::string&)>& edit) {
        std::string manifest = text.substr(0, framesAt);
        for (int i = 0; i < 12; ++i) {
            std::string entry = frame;
            SetField(entry, "index", std::to_string(i));
            edit(i, entry);
            manifest += (i > 0 ? "," : "") + entry;
        }
        return manifest + text.substr(framesEnd);
    };
    // Twelve frames of 65535 x 32767 without an image.
    const std::string empty = twelve([](int, std::string& entry) {
        SetField(entry, "filename", "null");
        for (const char* key : {"width", "w"}) SetField(entry, key, "65535");
        for (const char* key : {"height", "h"}) SetField(entry, key, "32767");
    });
    test::WriteFile("out/empty.json", Bytes(empty.begin(), empty.end()));
    const test::ConverterRun frames =
        test::RunConverterControlled({"-C", "out", "-o", "empty.dc6", "empty.json"}, control);
    EXPECT_EQ(frames.status, 1) << frames.err;
    EXPECT_LT(std::filesystem::file_size("out/empty.dc6"), 1000u);

    // A 16384 x 16384 image, of which one pixel is a frame.
    const int side = 16384;
    Bytes raw;
    raw.reserve(static_cast<std::size_t>(side) * (side + 1));
    for (int y = 0; y < side; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), side, y == 0 ? 1 : 0);
    }
    test::WriteFile("out/big.png",
                    test::PngFile({test::PngChunk("IHDR", test::IhdrData(side, side, 8, 3)),
                                   test::PngChunk("PLTE", test::PngPalette(2)),
                                   test::PngChunk("IDAT", test::Deflated(raw)), test::PngChunk("IEND", {})}));
    raw = Bytes();
    // Twelve 1 x 1 frames along its top row: only that row is decoded.
    const std::string sheet = twelve([](int i, std::string& entry) {
        SetField(entry, "filename", "\"big.png\"");
        SetField(entry, "x", std::to_string(i));
    });
    test::WriteFile("out/sheet.json", Bytes(sheet.begin(), sheet.end()));
    const test::ConverterRun row =
        test::RunConverterControlled({"-C", "out", "-o", "sheet.dc6", "--nearest", "sheet.json"}, control);
    EXPECT_EQ(row.status, 1) << row.err;  // the test palette is not the sprite's: counted nearest colours
    EXPECT_EQ(test::ReadFile("out/sheet.dc6").size(), 24u + 12 * (4 + 32 + 7));

    EditManifest("out/s.json", "\"filename\": \"s.png\"", "\"filename\": \"big.png\"");
    const test::ConverterRun cut = test::RunConverterControlled({"-C", "out", "-o", "one.dc6", "s.json"}, control);
    EXPECT_EQ(cut.status, 2);  // an image of one frame is as large as the frame
    EXPECT_THAT(cut.err, HasSubstr("big.png: is 16384 x 16384 pixels; the manifest gives 1 x 1"));
    const test::ConverterRun loose = test::RunConverterControlled({"-C", "out", "-o", "big.dc6", "big.png"}, control);
    EXPECT_EQ(loose.status, 2);  // 2 x 256 MiB of frame: more than the cap, and refused as such
    EXPECT_THAT(loose.err, HasSubstr("not enough memory for a frame of 16384 x 16384 pixels"));

    // Too large for any frame: refused from the header, its data never inflated.
    Bytes bomb(5 << 20, 0x5A);
    test::WriteFile("out/bomb.png", test::PngFile({test::PngChunk("IHDR", test::IhdrData(65535, 65535, 8, 3)),
                                                   test::PngChunk("PLTE", test::PngPalette(2)),
                                                   test::PngChunk("IDAT", bomb), test::PngChunk("IEND", {})}));
    const test::ConverterRun refused = test::RunConverterControlled({"-C", "out", "-o", "b.dc6", "bomb.png"}, control);
    EXPECT_EQ(refused.status, 2);
    EXPECT_THAT(refused.err, HasSubstr("bomb.png: holds a frame too large to pack (65535 x 65535 pixels)"));
}

// The palette of -p travels with the manifest, by name and colours: the
// images pack back with it and without a notice, the converter's RGBA image
// (every index used, some pixels transparent) too.
TEST(PackCliTest, TheManifestCarriesThePaletteOfTheConversion) {
    test::TempFolder folder;
    Bytes palette;  // stored blue, green, red; every colour distinct, none built in
    for (int i = 0; i < 256; ++i)
        for (int c : {(i * 7) & 255, 255 - i, i}) palette.push_back(static_cast<std::uint8_t>(c));
    test::WriteFile("game.pal", palette);
    test::PixelRows every(1);
    for (int i = 0; i < 256; ++i) every[0].push_back(i);
    every[0].push_back(test::kSkip);
    test::WriteFile("s.dc6", test::Dc6Builder().AddRows(every, 1, 0).AddRows({{1, test::kSkip, 2}}, 2, 0).Build());
    ASSERT_EQ(test::RunConverter({"-q", "-p", "game.pal", "-f", "png", "--json", "-o", "out", "s.dc6"}).status, 0);
    const std::string manifest = Text(test::ReadFile("out/s.json"));
    EXPECT_THAT(manifest, HasSubstr("\"format\": \"RGBA8888\""));
    EXPECT_THAT(manifest, HasSubstr("\"palette\": \"game.pal\""));
    EXPECT_THAT(manifest, HasSubstr("\"#00FF00\",\n      \"#01FE07\""));  // entries 0 and 1, red first
    const test::ConverterRun packed = Pack({"-C", "out", "-o", "again.dc6", "s.json"});
    EXPECT_EQ(packed.status, 0) << packed.err;
    EXPECT_EQ(packed.err, "");
    ASSERT_EQ(
        test::RunConverter({"-q", "-C", "out", "-p", "../game.pal", "-f", "png", "-o", "again", "again.dc6"}).status,
        0);
    EXPECT_EQ(test::ReadFile("out/again/again0.png"), test::ReadFile("out/s0.png"));
    EXPECT_EQ(test::ReadFile("out/again/again1.png"), test::ReadFile("out/s1.png"));

    // Loose images take the palette from -p.
    const test::ConverterRun loose = Pack({"-C", "out", "-p", "../game.pal", "-o", "loose.dc6", "s0.png", "s1.png"});
    EXPECT_EQ(loose.status, 0) << loose.err;
    const test::ConverterRun none = Pack({"-C", "out", "-o", "none.dc6", "s0.png"});
    EXPECT_EQ(none.status, 2);
    EXPECT_THAT(none.err, HasSubstr("give the sprite's palette with -p PALETTE"));
}

// A stitched sprite whose rows are of uneven width (and one frame taller than
// its row): the program's picture cuts frames, and stays as it is, said on
// standard error; PNG, a manifest or a sheet lay the frames out whole, and
// the sprite packs back exactly.
TEST(PackCliTest, AnUnevenStitchedSpriteLosesNothingOnTheWayBack) {
    test::TempFolder folder;
    // No pixel of the fill index EE: the PCX images could not tell it from transparency.
    auto picture = [](int width, int height, int seed) {
        test::PixelRows rows = test::Picture(width, height, seed);
        for (auto& row : rows)
            for (int& pixel : row)
                if (pixel == 0xEE) pixel = 0xED;
        return rows;
    };
    test::Dc6Builder builder;
    builder.AddRows(picture(256, 4, 1)).AddRows(picture(30, 9, 2));  // row 1: 286 wide, frame 1 taller
    builder.AddRows(picture(20, 3, 3));                              // row 2: 20 wide
    const Bytes sprite = builder.Build();
    test::WriteFile("s.dc6", sprite);
    const test::ConverterRun pcx = test::RunConverter({"-q", "s.dc6"});
    EXPECT_EQ(pcx.status, 0);
    EXPECT_EQ(pcx.err,
              "kelvane-convert: s.dc6: the stitched picture cuts frames 0, 1 (its rows are of uneven width, "
              "or a frame is taller than its row)\n");
    EXPECT_TRUE(std::filesystem::exists(test::OutputPath("s.pcx")));
    for (const std::vector<std::string>& how : std::vector<std::vector<std::string>>{
             {"-f", "png", "--json"}, {"--json"}, {"-f", "png", "--json", "--sheet"}}) {
        std::filesystem::remove_all("out");
        std::vector<std::string> arguments = {"-q", "-o", "out"};
        arguments.insert(arguments.end(), how.begin(), how.end());
        arguments.push_back("s.dc6");
        const test::ConverterRun run = test::RunConverter(arguments);
        EXPECT_THAT(run.err, HasSubstr("every frame is written as an image of its own")) << how.size();
        EXPECT_THAT(Text(test::ReadFile("out/s.json")), HasSubstr("\"layout\": \"stitched-separately\""));
        const test::ConverterRun packed = Pack({"-C", "out", "-o", "again.dc6", "s.json"});
        EXPECT_EQ(packed.status, 0) << packed.err;
        EXPECT_EQ(test::ReadFile("out/again.dc6"), sprite) << how.size();
    }
}

// A PCX image cannot tell opaque pixels of the fill index from transparent
// ones: its bytes stay as the program writes them, the converter says so and
// marks the frame, the packer says which pixels it could not know. PNG keeps
// them.
TEST(PackCliTest, OpaquePixelsOfTheFillIndexAreSaidOnThePcxPath) {
    test::TempFolder folder;
    const Bytes sprite =
        test::Dc6Builder().AddRows({{0xEE, 1, test::kSkip}, {2, 0xEE, 0xEE}}, 1, 0).AddRows({{3, 4}}, 0, 1).Build();
    test::WriteFile("s.dc6", sprite);
    ASSERT_EQ(test::RunConverter({"-q", "-o", "plain", "s.dc6"}).status, 0);
    const test::ConverterRun pcx = test::RunConverter({"-q", "--json", "-o", "out", "s.dc6"});
    EXPECT_EQ(pcx.err,
              "kelvane-convert: s.dc6: 3 opaque pixels of out/s0.pcx have the fill index 238, which the image cannot "
              "tell from transparent ones (-f png "
              "keeps them)\n");
    EXPECT_EQ(test::ReadFile("out/s0.pcx"), test::ReadFile("plain/s0.pcx"));
    const std::string manifest = Text(test::ReadFile("out/s.json"));
    EXPECT_EQ(manifest.find("\"opaqueFillIndex\": true"), manifest.rfind("\"opaqueFillIndex\": true"));
    EXPECT_LT(manifest.find("\"opaqueFillIndex\": true"), manifest.find("\"index\": 1"));  // frame 0 only
    const test::ConverterRun packed = Pack({"-C", "out", "-o", "again.dc6", "s.json"});
    EXPECT_EQ(packed.status, 1);
    EXPECT_THAT(packed.err, HasSubstr("s0.pcx: frame 0 had opaque pixels of the fill index 238, which a PCX image "
                                      "cannot tell from transparent ones: they are packed transparent"));

    const test::ConverterRun png = test::RunConverter({"-q", "-f", "png", "--json", "-o", "png", "s.dc6"});
    EXPECT_EQ(png.err, "");
    const test::ConverterRun exact = Pack({"-C", "png", "-o", "again.dc6", "s.json"});
    EXPECT_EQ(exact.status, 0) << exact.err;
    EXPECT_EQ(test::ReadFile("png/again.dc6"), sprite);
}

// Editors do not tell apart two palette entries of one colour: an indexed
// image that keeps the palette may come back with an untouched pixel moved
// to the other entry. Where the original sprite is at hand (beside the
// manifest, or --like), such a pixel keeps the original's index, counted;
// without it, or where the frame's size changed, the image's index stands.
TEST(PackCliTest, APixelShowingTheOriginalsColourKeepsTheOriginalsIndex) {
    test::TempFolder folder;
    Bytes stored;  // blue, green, red; entry 158 shows the colour of entry 17
    for (int i = 0; i < 256; ++i)
        for (int c : {(i * 7) & 255, 255 - i, i}) stored.push_back(static_cast<std::uint8_t>(c));
    std::copy(stored.begin() + 3 * 17, stored.begin() + 3 * 18, stored.begin() + 3 * 158);
    test::WriteFile("twice.pal", stored);
    Bytes rgb;
    for (int i = 0; i < 256; ++i)
        for (int c = 2; c >= 0; --c) rgb.push_back(stored[3 * i + c]);
    test::WriteFile("s.dc6",
                    test::Dc6Builder().AddRows({{158, 17, 3}, {158, 158, 5}}, 2, -1).AddRows({{158, 4}}, 0, 0).Build());
    ASSERT_EQ(test::RunConverter({"-q", "-p", "twice.pal", "-f", "png", "--json", "-o", "out", "s.dc6"}).status, 0);
    std::filesystem::copy_file("s.dc6", "out/s.dc6");
    // What the editor saved: index 0 transparent, 158 rewritten as 17 at
    // (0,0) and (1,1), and one pixel painted anew.
    const auto indexed = [&](std::uint32_t width, std::uint32_t height, const Bytes& rows) {
        return test::PngFile({test::PngChunk("IHDR", test::IhdrData(width, height, 8, 3)), test::PngChunk("PLTE", rgb),
                              test::PngChunk("tRNS", Bytes{0}), test::PngChunk("IDAT", test::Deflated(rows)),
                              test::PngChunk("IEND", {})});
    };
    test::WriteFile("out/s0.png", indexed(3, 2, {0, 17, 17, 3, 0, 158, 17, 9}));
    const Bytes expected =
        test::Dc6Builder().AddRows({{158, 17, 3}, {158, 158, 9}}, 2, -1).AddRows({{158, 4}}, 0, 0).Build();

    const test::ConverterRun beside = Pack({"-C", "out", "-o", "../beside.dc6", "s.json"});
    EXPECT_EQ(beside.status, 1);
    EXPECT_EQ(beside.err,
              "kelvane-pack: s.json: 2 pixels show the original sprite's colour at another index of the "
              "palette and kept the original's index (editors do not tell apart palette entries of one "
              "colour)\n");
    EXPECT_EQ(test::ReadFile("beside.dc6"), expected);

    // Loose images with --like alike; frame 1, now a pixel wider, has no
    // original to go by, and its 17 stays.
    test::WriteFile("out/wider.png", indexed(3, 1, {0, 17, 4, 17}));
    const test::ConverterRun like =
        Pack({"-C", "out", "-o", "../like.dc6", "--like", "s.dc6", "--offset", "0:2,-1", "s0.png", "wider.png"});
    EXPECT_EQ(like.status, 1);
    EXPECT_THAT(like.err, HasSubstr("s0.png: 2 pixels show the original sprite's colour"));
    EXPECT_EQ(test::ReadFile("like.dc6"),
              test::Dc6Builder().AddRows({{158, 17, 3}, {158, 158, 9}}, 2, -1).AddRows({{17, 4, 17}}, 0, 0).Build());

    // Without the original the image's indices stand.
    std::filesystem::remove("out/s.dc6");
    const test::ConverterRun alone = Pack({"-C", "out", "-o", "../alone.dc6", "s.json"});
    EXPECT_EQ(alone.status, 0) << alone.err;
    EXPECT_EQ(test::ReadFile("alone.dc6"),
              test::Dc6Builder().AddRows({{17, 17, 3}, {158, 17, 9}}, 2, -1).AddRows({{158, 4}}, 0, 0).Build());
}

// The web page runs the command again and again in one process: -C moves
// into the folder for one call only, and a second call starts afresh.
TEST(PackCliTest, TheCommandRunsTwiceInOneProcessAndLeavesTheCurrentDirectory) {
    test::TempFolder folder;
    std::filesystem::create_directories("a");
    test::WriteFile("a/s.dc6", test::Dc6Builder().AddRows({{1, 2}}).Build());
    ASSERT_EQ(test::RunConverter({"-q", "-C", "a", "-f", "png", "--json", "-o", "out", "s.dc6"}).status, 0);
    const std::filesystem::path before = std::filesystem::current_path();
    for (const char* output : {"one.dc6", "two.dc6"}) {
        std::vector<std::string> arguments = {"kelvane-pack", "-C", "a/out", "-o", output, "s.json"};
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        EXPECT_EQ(RunPackCommand(static_cast<int>(argv.size()), argv.data()), 0);
        EXPECT_EQ(std::filesystem::current_path(), before);
        EXPECT_EQ(test::ReadFile(std::string("a/out/") + output), test::ReadFile("a/s.dc6"));
    }
}

}  // namespace
