// kelvane-convert driven as a user drives it: real files in a fresh folder,
// real exit statuses, standard output and standard error.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <future>
#include <map>
#include <sstream>

#include "ui/program/sprite_conversion.h"
#include "ui/program/frame_placement.h"
#include "ui/program/current_palette.h"
#include "platform/files.h"
#include "tests/cli/converter_process.h"
#include "tests/unit/program_test.h"
#include "tests/support/pcx_image.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using test::Dc6Builder;
using test::Picture;
using test::RunConverter;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

const char kNotVersion6[] = "GetFileInfoDC6: dc6 file is not version 6 and can not be converted!";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Every file of folder/PCXFiles by name, with its bytes (folders by name only).
std::map<std::string, test::Bytes> Outputs(const fs::path& folder = ".") {
    std::map<std::string, test::Bytes> files;
    if (!fs::is_directory(folder / "PCXFiles")) return files;
    for (const auto& entry : fs::directory_iterator(folder / "PCXFiles"))
        files[entry.path().filename().string()] = entry.is_directory() ? test::Bytes{} : test::ReadFile(entry.path());
    return files;
}

std::vector<std::string> Names(const std::map<std::string, test::Bytes>& files) {
    std::vector<std::string> names;
    for (const auto& file : files) names.push_back(file.first);
    return names;
}

test::Bytes Stitched() { return Dc6Builder().AddRows(Picture(6, 5)).Build(); }
test::Bytes Separate() { return Dc6Builder().AddRows(Picture(3, 2), 0, -2).AddRows(Picture(2, 4, 9)).Build(); }
test::Bytes OldVersion() { return Dc6Builder().Version(5).AddRows(Picture(2, 2)).Build(); }

test::Bytes Palette768() {
    test::Bytes palette(768);
    for (std::size_t i = 0; i < palette.size(); ++i) palette[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    return palette;
}

class ConverterTest : public test::ProgramTest {
protected:
    test::TempFolder folder;
};

TEST_F(ConverterTest, FolderModeConvertsEveryDc6EntryInNameOrder) {
    test::WriteFile("walk.DC6", Stitched());
    test::WriteFile("run.dc6", Separate());
    for (const char* old : {"b.dc6", "B.dc6", "a.dc6"}) test::WriteFile(old, OldVersion());
    test::WriteFile("notes.txt", Stitched());
    test::WriteFile("walk.dc6.bak", Stitched());

    const test::ConverterRun run = RunConverter({});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Successfully converted 3 files\n");
    EXPECT_THAT(Lines(run.err), ElementsAre(std::string("kelvane-convert: a.dc6: ") + kNotVersion6,
                                            std::string("kelvane-convert: B.dc6: ") + kNotVersion6,
                                            std::string("kelvane-convert: b.dc6: ") + kNotVersion6));
    EXPECT_THAT(Names(Outputs()), ElementsAre("run0.pcx", "run1.pcx", "walk.pcx"));
}

TEST_F(ConverterTest, FileListModeConvertsTheNamedFilesInTheOrderGiven) {
    test::WriteFile("walk.dc6", Stitched());
    test::WriteFile("-odd.dc6", Stitched());
    test::WriteFile("left-alone.dc6", Stitched());
    for (const char* old : {"b.dc6", "a.dc6"}) test::WriteFile(old, OldVersion());

    const test::ConverterRun run = RunConverter({"b.dc6", "walk.dc6", "missing.dc6", "a.dc6", "--", "-odd.dc6"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Successfully converted 2 files\n");
    EXPECT_THAT(Lines(run.err), ElementsAre(std::string("kelvane-convert: b.dc6: ") + kNotVersion6,
                                            "kelvane-convert: missing.dc6: does not exist",
                                            std::string("kelvane-convert: a.dc6: ") + kNotVersion6));
    EXPECT_THAT(Names(Outputs()), ElementsAre("-odd.pcx", "walk.pcx"));
}

TEST_F(ConverterTest, WorksInTheFolderGivenWithDashCAndTakesThePaletteFromThere) {
    fs::create_directory("sprites");
    test::WriteFile("sprites/walk.dc6", Stitched());
    test::WriteFile("sprites/warm.pal", Palette768());

    const test::ConverterRun run = RunConverter({"-C", "sprites", "-p", "warm.pal"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Successfully converted 1 files\n");
    EXPECT_EQ(run.err, "");
    EXPECT_FALSE(fs::exists("PCXFiles"));
    const test::PcxImage image = test::ReadPcxFile("sprites/PCXFiles/walk.pcx");
    test::Bytes expected = Palette768();
    for (std::size_t entry = 0; entry < expected.size(); entry += 3) std::swap(expected[entry], expected[entry + 2]);
    EXPECT_EQ(image.palette, expected);
}

TEST_F(ConverterTest, RefusedPalettesAndFoldersEndTheRunBeforeAnythingIsWritten) {
    test::WriteFile("walk.dc6", Stitched());
    test::WriteFile("short.pal", test::Bytes(767, 1));
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
    const Case cases[] = {
        {{"-p", "short.pal"},
         "kelvane-convert: short.pal: not a palette file: neither 768 bytes nor a JASC-PAL, RIFF, GIMP or .act "
         "palette\n"},
        {{"-p", "none.pal"}, "kelvane-convert: none.pal: does not exist\n"},
        {{"-C", "nowhere"}, "kelvane-convert: nowhere: cannot enter folder: No such file or directory\n"},
        {{"-x"}, "kelvane-convert: unknown option '-x'\nTry 'kelvane-convert --help'.\n"},
        {{"walk.dc6", "-p"}, "kelvane-convert: option needs a value: '-p'\nTry 'kelvane-convert --help'.\n"},
    };
    for (const Case& c : cases) {
        const test::ConverterRun run = RunConverter(c.arguments);
        EXPECT_EQ(run.status, 2) << c.message;
        EXPECT_EQ(run.err, c.message);
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(fs::exists("PCXFiles")) << c.message;
    }
}

TEST_F(ConverterTest, EveryNoticeIsOneLineAndTheRunGoesOn) {
    test::WriteFile("blocks.dc6", Dc6Builder().BlockCount(13).AddRows(Picture(2, 2)).Build());
    test::WriteFile("frames.dc6", Dc6Builder().FrameOffsets({5000}).AddRows(Picture(2, 2)).Build());
    test::WriteFile("old.dc6", OldVersion());
    test::Dc6Frame zero = test::FrameFromRows(Picture(2, 2));
    zero.coded.insert(zero.coded.begin(), 0x00);
    test::WriteFile("zero.dc6", Dc6Builder().Add(zero).Build());
    test::Dc6Frame overrun;
    overrun.width = 3;
    overrun.height = 1;
    overrun.coded = {0x05, 1, 2, 3, 0x80, 0xEE, 0xEE, 0xEE, 0xEE};  // the 0x80 is read as a code
    test::WriteFile("overrun.dc6", Dc6Builder().Add(overrun).Build());
    test::Dc6Frame wide;
    wide.width = 70000;
    wide.height = 1;
    wide.coded = {0x80, 0xEE, 0xEE, 0xEE, 0xEE};
    test::WriteFile("wide.dc6", Dc6Builder().Add(wide).Build());
    test::WriteFile("blocked.dc6", Stitched());
    fs::create_directories(test::OutputPath("blocked.pcx"));
    test::WriteFile("empty.dc6", {});
    fs::create_directory("x.dc6");
    test::WriteFile("last.dc6", Stitched());

    const test::ConverterRun run = RunConverter({});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Successfully converted 3 files\n");
    const std::string image = test::OutputPath("wide.pcx"), blocked = test::OutputPath("blocked.pcx");
    EXPECT_THAT(
        Lines(run.err),
        ElementsAre("kelvane-convert: blocked.dc6: Unable to write " + blocked + "!: Is a directory",
                    "kelvane-convert: blocks.dc6: DC6 file has invalid number of blocks and can not be converted!",
                    "kelvane-convert: empty.dc6: cannot be read",
                    "kelvane-convert: frames.dc6: DC6 file has invalid frame data and can not be converted!",
                    std::string("kelvane-convert: old.dc6: ") + kNotVersion6,
                    "kelvane-convert: overrun.dc6: Span overrun @ 4",
                    "kelvane-convert: wide.dc6: Image " + image +
                        " is too large or has invalid dimensions and was not written.",
                    "kelvane-convert: x.dc6: cannot be read", "kelvane-convert: zero.dc6: Found ZERO Byte"));
    EXPECT_THAT(Names(Outputs()), ElementsAre("blocked.pcx", "last.pcx", "overrun.pcx", "zero.pcx"));
    EXPECT_TRUE(fs::is_directory(test::OutputPath("blocked.pcx")));
}

TEST_F(ConverterTest, NamesTheProgramCouldNotListAreReportedNotCutOrFollowed) {
    fs::create_directory("sub");
    test::WriteFile("sub/walk.dc6", Stitched());
    const std::string name = std::string(300, 'n') + ".dc6";
    const test::ConverterRun run = RunConverter({name, "sub/walk.dc6"});
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(
        Lines(run.err),
        ElementsAre("kelvane-convert: " + name + ": name is too long",
                    "kelvane-convert: sub/walk.dc6: is not a name in the folder; use -C to work in its folder"));
    EXPECT_THAT(Outputs(), IsEmpty());
}

// The same sprite files through the converter and through the core's own
// conversion, as the program's Convert runs it, give the same files.
TEST_F(ConverterTest, WritesTheBytesOfTheCoresOwnConversion) {
    test::Dc6Builder tiles;
    for (int width : {256, 256, 40, 256, 30}) tiles.AddRows(Picture(width, width == 256 ? 20 : 12, width));
    test::Dc6Frame cut = test::FrameFromRows(Picture(20, 9, 3));
    cut.coded.resize(cut.coded.size() / 2);
    cut.codedLength = 400;  // claims more than the file holds
    const std::vector<std::pair<std::string, test::Bytes>> sprites = {
        {"tiles.dc6", tiles.Build()},
        {"Walk.DC6",
         Dc6Builder().AddRows({{1, test::kSkip, 0xC0}, {test::kSkip, 0xFF, 3}}, 4, 0).AddRows(Picture(5, 2)).Build()},
        {"shadow.dc6",
         Dc6Builder().Terminate({9, 0xA1, 0xA2, 0x7B}).AddRows({{test::kSkip, 2}, {3, test::kSkip}}).Build()},
        {"cut.dc6", Dc6Builder().Add(cut).Build()},
        {"old.dc6", OldVersion()},
    };
    fs::create_directory("cli");
    fs::create_directory("core");
    for (const auto& sprite : sprites) {
        test::WriteFile(fs::path("cli") / sprite.first, sprite.second);
        test::WriteFile(fs::path("core") / sprite.first, sprite.second);
    }
    test::WriteFile("cli/warm.pal", Palette768());
    test::WriteFile("core/warm.pal", Palette768());

    for (const std::string palette : {"", "warm.pal"}) {
        SCOPED_TRACE(palette);
        const test::ConverterRun run =
            RunConverter(palette.empty() ? std::vector<std::string>{"-C", "cli"}
                                         : std::vector<std::string>{"-C", "cli", "-p", palette});

        fs::current_path("core");
        user.boxes.clear();
        StartConversionRun();
        ReleasePalette();
        if (palette.empty())
            UseBuiltInPalette();
        else
            ASSERT_EQ(LoadPaletteFile(palette.c_str()), PaletteLoad::Loaded);
        ReorderPalette();
        EnsureOutputFolder();
        for (const std::string name : {"cut.dc6", "old.dc6", "shadow.dc6", "tiles.dc6", "Walk.DC6"}) {
            char buffer[kNameBufferSize] = {};
            std::strcpy(buffer, name.c_str());
            ConvertSpriteFile(buffer);
        }
        fs::current_path("..");

        EXPECT_EQ(run.out, "Successfully converted " + std::to_string(imagesWritten) + " files\n");
        // The program's notices, and one line of the command line's own: the
        // tiles' rows are of uneven width, so their picture cuts frames.
        EXPECT_EQ(Lines(run.err).size(), user.boxes.size() + 1);
        EXPECT_THAT(run.err,
                    HasSubstr("kelvane-convert: tiles.dc6: the stitched picture cuts frames 1, 2 (its rows are "
                              "of uneven width, or a frame is taller than its row)\n"));
        const auto core = Outputs("core");
        EXPECT_THAT(Names(core), ElementsAre("Walk0.pcx", "Walk1.pcx", "cut.pcx", "shadow.pcx", "tiles.pcx"));
        EXPECT_TRUE(Outputs("cli") == core);
    }
}

TEST_F(ConverterTest, TheProgressBarIsDrawnOnATerminalOnly) {
    for (const char* name : {"a.dc6", "b.dc6", "c.dc6"}) test::WriteFile(name, Stitched());
    test::WriteFile("bad.dc6", OldVersion());

    const test::ConverterRun piped = test::RunConverterIntoPipe({});
    EXPECT_EQ(piped.status, 1);
    EXPECT_EQ(piped.err, std::string("kelvane-convert: bad.dc6: ") + kNotVersion6 + "\n");

    const test::ConverterRun quiet = test::RunConverterOnTerminal({"-q", "a.dc6"}, 60);
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "");

    const test::ConverterRun shown = test::RunConverterOnTerminal({"-j", "1"}, 60);
    EXPECT_EQ(shown.status, 1);
    EXPECT_EQ(shown.out, "Successfully converted 3 files\n");
    // Each line is padded to one column short of the width; the bar is erased
    // before the notice and at the end, and the terminal turns the notice's
    // line break into a carriage return and a line feed.
    const std::string blank(59, ' ');
    const auto bar = [&](const std::string& text) { return "\r" + (text + blank).substr(0, 59); };
    EXPECT_EQ(shown.err, bar("[........................] 0/4 a.dc6") + bar("[######..................] 1/4 b.dc6") +
                             bar("[############............] 2/4 bad.dc6") + "\r" + blank +
                             "\rkelvane-convert: bad.dc6: " + kNotVersion6 + "\r\n" +
                             bar("[##################......] 3/4 c.dc6") + "\r" + blank + "\r");
}

// Whatever stands in the output folder, the run writes only the files it
// created itself, never through a link, and every image of the run once.
TEST_F(ConverterTest, TheOutputFolderCannotBeTurnedAgainstTheRun) {
    test::WriteFile("victim.txt", {'k', 'e', 'e', 'p'});
    fs::create_directory("PCXFiles");
    // A link where an image goes, and files where temporary files went.
    fs::create_symlink("../victim.txt", test::OutputPath("linked.pcx"));
    test::WriteFile(test::OutputPath("~kelvane1.tmp"), {1, 2, 3});
    fs::create_symlink("../victim.txt", test::OutputPath("~kelvane2.tmp"));
    test::WriteFile("linked.dc6", Stitched());
    // A 0600 image is replaced by one with the same bits.
    test::WriteFile(test::OutputPath("private.pcx"), {0});
    fs::permissions(test::OutputPath("private.pcx"), fs::perms::owner_read | fs::perms::owner_write);
    test::WriteFile("private.dc6", Stitched());
    // Two images of the run that would share one output path.
    test::WriteFile("walk.dc6", Separate());
    test::WriteFile("walk0.dc6", Stitched());
    // A frame without a pixel does not replace the good image of its name.
    test::WriteFile(test::OutputPath("flat.pcx"), {7, 7, 7});
    test::Dc6Frame flat;
    flat.width = 5;
    flat.coded = {0x80, 0xEE, 0xEE, 0xEE, 0xEE};
    test::WriteFile("flat.dc6", Dc6Builder().Add(flat).Build());

    const test::ConverterRun run = RunConverter({});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Successfully converted 4 files\n");
    EXPECT_THAT(Lines(run.err), ElementsAre("kelvane-convert: flat.dc6: Image " + test::OutputPath("flat.pcx") +
                                                " is too large or has invalid dimensions and was not written.",
                                            "kelvane-convert: walk0.dc6: Image " + test::OutputPath("walk0.pcx") +
                                                " was already written in this run and was not replaced."));
    EXPECT_EQ(test::ReadFile("victim.txt"), (test::Bytes{'k', 'e', 'e', 'p'}));
    EXPECT_FALSE(fs::is_symlink(test::OutputPath("linked.pcx")));
    EXPECT_EQ(test::ReadPcxFile(test::OutputPath("linked.pcx")).width, 6);
    EXPECT_EQ(test::ReadFile(test::OutputPath("~kelvane1.tmp")), (test::Bytes{1, 2, 3}));
    EXPECT_TRUE(fs::is_symlink(test::OutputPath("~kelvane2.tmp")));
    struct stat status {};
    ASSERT_EQ(stat(test::OutputPath("private.pcx").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_EQ(test::ReadPcxFile(test::OutputPath("walk0.pcx")).width, 3);  // walk.dc6's first frame
    EXPECT_EQ(test::ReadFile(test::OutputPath("flat.pcx")), (test::Bytes{7, 7, 7}));
    EXPECT_THAT(Names(Outputs()), ElementsAre("flat.pcx", "linked.pcx", "private.pcx", "walk0.pcx", "walk1.pcx",
                                              "~kelvane1.tmp", "~kelvane2.tmp"));
}

// Nothing is written that the user did not ask for: no input replaced by an
// output under another spelling, no planted link followed, nothing written
// before the run is refused, and no run refused for a folder another run made.
TEST_F(ConverterTest, NothingIsWrittenWhereNobodyAsked) {
    test::WriteFile("walk.dc6", Stitched());
    test::WriteFile("warm.pal", Palette768());
    fs::create_hard_link("walk.dc6", "walk.gpl");
    fs::create_directory("elsewhere");
    test::WriteFile("elsewhere/walk.json", {'k', 'e', 'e', 'p'});
    test::WriteFile("blocker", {1});
    test::WriteFile("old.act", {2});
    const auto refused = [](const std::vector<std::string>& arguments, const std::string& message) {
        SCOPED_TRACE(message);
        const test::ConverterRun run = RunConverter(arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err, "kelvane-convert: " + message + "\n");
        EXPECT_FALSE(fs::exists("PCXFiles"));
    };
    // The export would replace an input of the run, however it is named.
    refused({"-p", "warm.pal", "--export-palette", "./warm.pal"},
            "./warm.pal: is the palette file the run reads; it is not replaced");
    refused({"--export-palette", "walk.gpl"}, "walk.gpl: is the sprite file walk.dc6 of the run; it is not replaced");
    EXPECT_EQ(test::ReadFile("warm.pal"), Palette768());
    EXPECT_EQ(test::ReadFile("walk.gpl"), Stitched());
    // An output folder that cannot be made refuses the run before the export.
    refused({"-o", "blocker/out", "--export-palette", "old.act"}, "blocker/out: cannot create folder: Not a directory");
    EXPECT_EQ(test::ReadFile("old.act"), (test::Bytes{2}));
    // A PCXFiles planted as a link is no folder of the sprites' own; named
    // with -o, the folder it leads to is used as given.
    fs::create_directory_symlink("elsewhere", "PCXFiles");
    const test::ConverterRun planted = RunConverter({"--json"});
    EXPECT_EQ(planted.status, 2);
    EXPECT_EQ(planted.err,
              "kelvane-convert: PCXFiles: is a link, not a folder of its own; name it with -o to write there\n");
    EXPECT_EQ(test::ReadFile("elsewhere/walk.json"), (test::Bytes{'k', 'e', 'e', 'p'}));
    EXPECT_FALSE(fs::exists("elsewhere/walk.pcx"));
    EXPECT_EQ(RunConverter({"-o", "PCXFiles"}).status, 0);
    EXPECT_TRUE(fs::exists("elsewhere/walk.pcx"));
    // Runs that make the same new folder at once: whichever makes it, the
    // others take it as it is.
    for (int round = 0; round < 4; ++round) {
        const std::string output = "new" + std::to_string(round) + "/a/b/c";
        std::vector<std::future<test::ConverterRun>> runs;
        for (int i = 0; i < 6; ++i)
            runs.push_back(std::async(std::launch::async, [&] { return RunConverter({"-q", "-o", output}); }));
        for (auto& run : runs) {
            const test::ConverterRun done = run.get();
            EXPECT_EQ(done.status, 0) << output << ": " << done.err;
        }
        EXPECT_TRUE(fs::exists(output + "/walk.pcx"));
    }
}

// -r: the whole tree, folder by folder, each folder's images in its own
// PCXFiles or mirrored below -o; links to folders are not entered, output
// folders are not read for sprites, and notices name files by their paths.
TEST_F(ConverterTest, ATreeIsConvertedFolderByFolder) {
    for (const char* folder : {"a/b", "a/PCXFiles", "c", "out"}) fs::create_directories(folder);
    test::WriteFile("top.dc6", Stitched());
    test::WriteFile("a/one.dc6", Separate());
    test::WriteFile("a/b/two.dc6", OldVersion());
    test::WriteFile("a/b/three.dc6", Stitched());
    test::WriteFile("a/PCXFiles/inside.dc6", Stitched());
    test::WriteFile("c/Four.DC6", OldVersion());
    test::WriteFile("out/planted.dc6", Stitched());
    fs::create_directory_symlink("a", "link");
    const std::string sep(1, platform::kPathSeparator);
    const std::vector<std::string> notices = {
        "kelvane-convert: a" + sep + "b" + sep + "two.dc6: " + kNotVersion6,
        "kelvane-convert: c" + sep + "Four.DC6: " + kNotVersion6,
    };

    const test::ConverterRun own = RunConverter({"-r", "-q", "-j", "3"});
    EXPECT_EQ(own.status, 1);
    EXPECT_EQ(own.out, "Successfully converted 5 files\n");
    EXPECT_THAT(Lines(own.err), testing::ElementsAreArray(notices));
    EXPECT_TRUE(fs::exists("PCXFiles/top.pcx"));
    EXPECT_TRUE(fs::exists("a/PCXFiles/one0.pcx"));
    EXPECT_TRUE(fs::exists("a/PCXFiles/one1.pcx"));
    EXPECT_TRUE(fs::exists("a/b/PCXFiles/three.pcx"));
    EXPECT_FALSE(fs::exists("a/PCXFiles/PCXFiles"));
    EXPECT_FALSE(fs::exists("link/PCXFiles/PCXFiles"));
    EXPECT_TRUE(fs::exists("out/PCXFiles/planted.pcx"));

    const test::ConverterRun mirrored = RunConverter({"-r", "-q", "-o", "out"});
    EXPECT_EQ(mirrored.status, 1);
    EXPECT_EQ(mirrored.out, "Successfully converted 4 files\n");
    EXPECT_THAT(Lines(mirrored.err), testing::ElementsAreArray(notices));
    std::vector<std::string> written;
    for (const auto& entry : fs::recursive_directory_iterator("out"))
        if (entry.is_regular_file()) written.push_back(entry.path().generic_string());
    std::sort(written.begin(), written.end());
    // PCXFiles folders and the output folder itself are read for no sprite.
    EXPECT_THAT(written, ElementsAre("out/PCXFiles/planted.pcx", "out/a/b/three.pcx", "out/a/one0.pcx",
                                     "out/a/one1.pcx", "out/planted.dc6", "out/top.pcx"));
}

// A link in the mirror, planted before the run, or a folder of the tree
// swapped for a link while the run walks it, leads nowhere: the folder is
// named with the reason and its sprites skipped, the rest is converted. The
// tree is deeper than the run ever held folders open before.
TEST_F(ConverterTest, ALinkInTheTreeOrTheMirrorIsNeverFollowed) {
    for (const char* folder : {"tree/a/b", "out", "elsewhere", "outside"}) fs::create_directories(folder);
    test::WriteFile("tree/a/one.dc6", Stitched());
    test::WriteFile("tree/a/b/two.dc6", Stitched());
    for (int i = 0; i < 70; ++i) {
        const std::string folder = "tree/d" + std::to_string(10 + i);
        fs::create_directory(folder);
        test::WriteFile(folder + "/s.dc6", Stitched());
    }
    test::WriteFile("outside/x.dc6", Stitched());
    fs::create_directory_symlink("../elsewhere", "out/a");

    const test::ConverterRun planted = RunConverter({"-q", "-r", "-C", "tree", "-o", "../out"});
    EXPECT_EQ(planted.status, 1);
    EXPECT_EQ(planted.err,
              "kelvane-convert: ../out/a: is a link, not a folder of its own; not followed, "
              "2 sprites skipped\n");
    EXPECT_EQ(planted.out, "Successfully converted 70 files\n");
    EXPECT_TRUE(fs::is_empty("elsewhere"));
    EXPECT_TRUE(fs::exists("out/d79/s.pcx"));

    // The last folder swapped for a link to outside the tree just before the
    // run enters it, on one thread and on three.
    for (const char* jobs : {"1", "3"}) {
        SCOPED_TRACE(jobs);
        test::RunControl control;
        control.environment = {"KELVANE_TEST_STOP_BEFORE=d79"};
        control.whenStopped = [] {
            fs::rename("tree/d79", "d79-moved");
            fs::create_directory_symlink("../outside", "tree/d79");
        };
        const test::ConverterRun swapped =
            test::RunConverterControlled({"-q", "-r", "-j", jobs, "-C", "tree"}, control);
        EXPECT_EQ(swapped.status, 1);
        EXPECT_EQ(swapped.err,
                  "kelvane-convert: d79: is a link, not a folder of its own; not followed, "
                  "1 sprite skipped\n");
        EXPECT_EQ(swapped.out, "Successfully converted 71 files\n");
        EXPECT_FALSE(fs::exists("outside/PCXFiles"));
        EXPECT_TRUE(fs::exists("tree/d78/PCXFiles/s.pcx"));
        fs::remove("tree/d79");
        fs::rename("d79-moved", "tree/d79");
    }
}

// A run as someone who may not write or read everything: an output folder
// it cannot create files in refuses the run before any image is written; in
// a tree, a folder it cannot list and a mirrored folder it cannot write into
// are named with the system's reason, and the rest is converted.
TEST_F(ConverterTest, FoldersTheRunMayNotUseAreNamedWithTheReason) {
    test::WriteFile("top.dc6", Stitched());
    // A read-only file system, where the tests may mount one.
    fs::create_directory("rofs");
    if (mount("tmpfs", "rofs", "tmpfs", MS_RDONLY, "size=64k") == 0) {
        const test::ConverterRun refused = RunConverter({"-o", "rofs"});
        umount("rofs");
        EXPECT_EQ(refused.status, 2);
        EXPECT_EQ(refused.err, "kelvane-convert: rofs: cannot write into folder: Read-only file system\n");
    } else {
        std::printf("(no read-only file system: mounting one is not allowed here)\n");
    }
    std::string why;
    if (!test::UnprivilegedRunsPossible(&why)) GTEST_SKIP() << why;
    for (const char* folder : {"tree/shut", "tree/open", "tree/kept", "ro", "out/kept"}) fs::create_directories(folder);
    test::WriteFile("tree/top.dc6", Stitched());
    test::WriteFile("tree/shut/hidden.dc6", Stitched());
    test::WriteFile("tree/open/seen.dc6", Stitched());
    test::WriteFile("tree/kept/held.dc6", Stitched());
    test::GiveToUnprivileged(folder.path().string());
    for (const char* path : {"ro", "out/kept"}) fs::permissions(path, fs::perms(0555));
    fs::permissions("tree/shut", fs::perms::none);
    test::RunControl control;
    control.unprivileged = true;

    for (const std::vector<std::string>& arguments : {std::vector<std::string>{"-C", "tree", "-o", "../ro"},
                                                      std::vector<std::string>{"-C", "tree", "-r", "-o", "../ro"}}) {
        const test::ConverterRun refused = test::RunConverterControlled(arguments, control);
        EXPECT_EQ(refused.status, 2);
        EXPECT_EQ(refused.err, "kelvane-convert: ../ro: cannot write into folder: Permission denied\n");
        EXPECT_EQ(refused.out, "");
    }
    EXPECT_TRUE(fs::is_empty("ro"));
    fs::create_directory("tree/PCXFiles");
    fs::permissions("tree/PCXFiles", fs::perms(0555));
    const test::ConverterRun own = test::RunConverterControlled({"-C", "tree"}, control);
    EXPECT_EQ(own.status, 2);
    EXPECT_EQ(own.err, "kelvane-convert: PCXFiles: cannot write into folder: Permission denied\n");
    fs::permissions("tree/PCXFiles", fs::perms(0755));

    const test::ConverterRun tree = test::RunConverterControlled({"-q", "-r", "-C", "tree", "-o", "../out"}, control);
    EXPECT_EQ(tree.status, 1);
    EXPECT_THAT(Lines(tree.err), ElementsAre("kelvane-convert: ../out/kept: cannot write into folder: Permission "
                                             "denied, 1 sprite skipped",
                                             "kelvane-convert: shut: cannot list folder: Permission denied"));
    EXPECT_EQ(tree.out, "Successfully converted 2 files\n");
    EXPECT_TRUE(fs::exists("out/top.pcx"));
    EXPECT_TRUE(fs::exists("out/open/seen.pcx"));
    fs::permissions("tree/shut", fs::perms(0755));
    for (const char* path : {"ro", "out/kept"}) fs::permissions(path, fs::perms(0755));
}

// Four files at a time give what one at a time gives: the same files and
// bytes, the same notices in the same order, the same count and status. Of
// two images of one name the first file's stays, although the later file is
// done long before it.
TEST_F(ConverterTest, FourFilesAtATimeGiveWhatOneAtATimeGives) {
    std::vector<std::pair<std::string, test::Bytes>> sprites = {
        {"walk.dc6", Dc6Builder().AddRows(Picture(1500, 1200), 3, 0).AddRows(Picture(3, 2)).Build()},
        {"walk0.dc6", Stitched()},
        {"walk1.dc6", Stitched()},
        {"old.dc6", OldVersion()},
        {"blocks.dc6", Dc6Builder().BlockCount(13).AddRows(Picture(2, 2)).Build()},
        {"empty.dc6", {}},
    };
    test::Dc6Frame overrun;
    overrun.width = 3;
    overrun.height = 1;
    overrun.coded = {0x05, 1, 2, 3, 0x80, 0xEE, 0xEE, 0xEE, 0xEE};
    sprites.push_back({"overrun.dc6", Dc6Builder().Add(overrun).Build()});
    for (int i = 0; i < 24; ++i)
        sprites.push_back(
            {"s" + std::to_string(10 + i) + ".dc6", Dc6Builder().AddRows(Picture(40 + i, 30, i)).Build()});
    for (const char* copy : {"one", "four"}) {
        fs::create_directory(copy);
        for (const auto& [name, bytes] : sprites) test::WriteFile(fs::path(copy) / name, bytes);
    }
    const auto run = [](const char* copy, const char* jobs) {
        return RunConverter({"-C", copy, "-j", jobs, "-f", "png", "--json", "-o", "out"});
    };
    const test::ConverterRun one = run("one", "1");
    const test::ConverterRun four = run("four", "4");
    EXPECT_EQ(one.status, 1);
    EXPECT_EQ(four.status, one.status);
    EXPECT_EQ(four.out, one.out);
    EXPECT_EQ(four.err, one.err);
    EXPECT_THAT(one.err, HasSubstr("walk0.dc6: Image out/walk0.png was already written in this run"));
    EXPECT_THAT(one.err, HasSubstr("walk1.dc6: Image out/walk1.png was already written in this run"));
    std::map<std::string, test::Bytes> outputs[2];
    for (int i = 0; i < 2; ++i)
        for (const auto& entry : fs::directory_iterator(fs::path(i == 0 ? "one" : "four") / "out"))
            outputs[i][entry.path().filename().string()] = test::ReadFile(entry.path());
    // walk's two images and manifest, the manifests of walk0 and walk1 (whose
    // images are refused), overrun's image and manifest, and s10 to s33's.
    EXPECT_EQ(outputs[0].size(), 3 + 1 + 1 + 2 + 2 * 24u);
    EXPECT_TRUE(outputs[1] == outputs[0]);
}

// What a run gave: its status, its streams, and every file of its output folder.
struct RunOutcome {
    test::ConverterRun run;
    std::map<std::string, test::Bytes> files;
};

RunOutcome RunInto(const fs::path& out, std::vector<std::string> arguments, const test::RunControl& control = {}) {
    for (const char* option : {"-o", out.c_str()}) arguments.push_back(option);
    RunOutcome outcome{test::RunConverterControlled(arguments, control), {}};
    for (const auto& entry : fs::directory_iterator(out)) {
        outcome.files[entry.path().filename().string()] = test::ReadFile(entry.path());
        fs::remove(entry.path());
    }
    return outcome;
}

void ExpectSameRun(const RunOutcome& parallel, const RunOutcome& alone, const char* jobs) {
    EXPECT_EQ(parallel.run.status, alone.run.status) << "-j " << jobs;
    EXPECT_EQ(parallel.run.out, alone.run.out) << "-j " << jobs;
    EXPECT_EQ(parallel.run.err, alone.run.err) << "-j " << jobs;
    EXPECT_EQ(Names(parallel.files), Names(alone.files)) << "-j " << jobs;
    EXPECT_TRUE(parallel.files == alone.files) << "-j " << jobs;
}

TEST_F(ConverterTest, ParallelRunsShortOfMemoryEqualOneFileAtATime) {
    if (test::ConverterIsInstrumented()) GTEST_SKIP() << "sanitizers and Valgrind need more address space";
    // Two canvases of 94 MiB under a limit that holds one at a time, and
    // small sprites beside them.
    test::Dc6Frame large;
    large.width = 65535;
    large.height = 1500;
    large.coded = {0x80, 0xEE, 0xEE, 0xEE, 0xEE};
    for (const char* name : {"a.dc6", "c.dc6"}) test::WriteFile(name, Dc6Builder().Add(large).Build());
    for (const char* name : {"b.dc6", "d.dc6", "e.dc6"}) test::WriteFile(name, Separate());
    fs::create_directory("out");
    test::RunControl control;
    control.memoryLimit = 200ull << 20;
    const RunOutcome alone = RunInto("out", {"-q", "-j", "1"}, control);
    EXPECT_EQ(alone.run.status, 0) << alone.run.err;
    EXPECT_EQ(alone.run.out, "Successfully converted 8 files\n");
    ExpectSameRun(RunInto("out", {"-q", "-j", "4"}, control), alone, "4");
}

TEST_F(ConverterTest, ParallelRunsOnAFullDiskWriteWhatOneFileAtATimeWrites) {
    fs::create_directory("disk");
    if (mount("tmpfs", "disk", "tmpfs", 0, "size=300k") != 0)
        GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
    struct Unmount {
        ~Unmount() { umount2("disk", MNT_DETACH); }
    } unmount;
    // Images of 6 to 30 KiB, larger and smaller ones mixed, more than the
    // disk holds: a later file must never take the place an earlier one
    // takes on one thread, nor an earlier one lose its image to a later.
    for (int i = 0; i < 24; ++i)
        test::WriteFile("s" + std::to_string(10 + i) + ".dc6",
                        Dc6Builder().AddRows(Picture(40 + 9 * (i * 5 % 24), 90, i)).Build());
    const RunOutcome alone = RunInto("disk", {"-q", "-j", "1"});
    EXPECT_EQ(alone.run.status, 1);
    EXPECT_THAT(alone.run.err, HasSubstr("No space left on device"));
    EXPECT_GT(alone.files.size(), 5u);
    // Which file takes the space first differs from run to run: several runs.
    for (const char* jobs : {"2", "8", "2", "8", "4", "4"})
        ExpectSameRun(RunInto("disk", {"-q", "-j", jobs}), alone, jobs);
}

TEST_F(ConverterTest, AnInterruptedRunLeavesOnlyWholeImages) {
    // Enough large sprites that the run is still busy when the first image lands.
    const test::Bytes big = Dc6Builder().AddRows(Picture(1500, 1000)).Build();
    for (int i = 0; i < 150; ++i) test::WriteFile("s" + std::to_string(1000 + i) + ".dc6", big);
    test::RunControl control;
    control.interruptWhen = [] { return fs::exists(test::OutputPath("s1000.pcx")); };
    // Four files at a time: whichever threads are writing when the signal
    // comes, no temporary file stays behind and every image is whole.
    const test::ConverterRun run = test::RunConverterControlled({"-q", "-j", "4"}, control);
    ASSERT_EQ(run.status, 128 + SIGINT) << run.err;
    EXPECT_EQ(run.err, "kelvane-convert: interrupted\n");
    const auto outputs = Outputs();
    EXPECT_GE(outputs.size(), 1u);
    EXPECT_LT(outputs.size(), 150u);
    const test::Bytes expected = outputs.at("s1000.pcx");
    for (const auto& [name, bytes] : outputs) {
        EXPECT_THAT(name, testing::MatchesRegex("s1[0-9]{3}\\.pcx"));
        EXPECT_EQ(bytes, expected) << name;
    }
}

TEST_F(ConverterTest, AFifoIsRefusedNotWaitedOn) {
    ASSERT_EQ(mkfifo("a.dc6", 0600), 0);
    ASSERT_EQ(mkfifo("pipe.pal", 0600), 0);
    test::WriteFile("b.dc6", Stitched());
    test::RunControl control;
    control.secondsAllowed = 20;
    const test::ConverterRun scan = test::RunConverterControlled({}, control);
    EXPECT_EQ(scan.status, 1);
    EXPECT_EQ(scan.err, "kelvane-convert: a.dc6: cannot be read\n");
    EXPECT_EQ(scan.out, "Successfully converted 1 files\n");
    const test::ConverterRun palette = test::RunConverterControlled({"-p", "pipe.pal"}, control);
    EXPECT_EQ(palette.status, 2);
    EXPECT_EQ(palette.err, "kelvane-convert: pipe.pal: cannot be read\n");
}

TEST_F(ConverterTest, AnImageWithoutMemoryIsNamedAndFailsTheRun) {
    if (test::ConverterIsInstrumented()) GTEST_SKIP() << "sanitizers and Valgrind need more address space";
    // 64 bytes that ask for a 512 MiB canvas, under a 256 MiB limit.
    test::Dc6Frame huge;
    huge.width = 65535;
    huge.height = 8192;
    huge.coded = {0x80, 0xEE, 0xEE, 0xEE, 0xEE};
    test::WriteFile("huge.dc6", Dc6Builder().Add(huge).Build());
    test::RunControl control;
    control.memoryLimit = 256ull << 20;
    const test::ConverterRun run = test::RunConverterControlled({}, control);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Successfully converted 0 files\n");
    EXPECT_EQ(run.err, "kelvane-convert: huge.dc6: Not enough memory for image " + test::OutputPath("huge.pcx") +
                           "; it was not written.\n");
}

TEST_F(ConverterTest, NamesAreEscapedAndLostOutputIsAFailure) {
    const std::string name = "\x1b[2Jwipe\nline.dc6";
    test::WriteFile(name, OldVersion());
    const test::ConverterRun run = RunConverter({});
    EXPECT_EQ(run.err, std::string("kelvane-convert: \\x1B[2Jwipe\\x0Aline.dc6: ") + kNotVersion6 + "\n");
    // C1 controls in UTF-8 (U+009B, CSI), a lone C1 byte and a broken
    // sequence are escaped byte by byte; a Cyrillic letter is text.
    fs::remove(name);
    const std::string c1 =
        "\xC2\x9B"
        "2J\x9B"
        "m\xD0\xD0\x96.dc6";
    test::WriteFile(c1, OldVersion());
    const test::ConverterRun c1Run = RunConverter({});
    EXPECT_EQ(c1Run.err, std::string("kelvane-convert: \\xC2\\x9B2J\\x9Bm\\xD0\xD0\x96.dc6: ") + kNotVersion6 + "\n");

    test::RunControl full;
    full.standardOutput = "/dev/full";
    const test::ConverterRun lost = test::RunConverterControlled({"-q"}, full);
    EXPECT_EQ(lost.status, 1);
    EXPECT_THAT(lost.err, HasSubstr("cannot write standard output: No space left on device"));
}

TEST_F(ConverterTest, HelpAndVersionTouchNothing) {
    test::WriteFile("walk.dc6", Stitched());
    const test::ConverterRun help = RunConverter({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, StartsWith("Usage: kelvane-convert [-C DIR] [-o DIR] [-f pcx|png] [--json] [--sheet]\n"));
    const test::ConverterRun version = RunConverter({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("kelvane-convert ") + KELVANE_VERSION + "\n");
    EXPECT_FALSE(fs::exists("PCXFiles"));
}

}  // namespace
