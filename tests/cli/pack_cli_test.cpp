// kelvane-pack driven as a user drives it: real files, exit statuses and
// standard error.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/pack_command.h"
#include "tests/cli/converter_process.h"
#include "tests/support/png_assembler.h"
#include "tests/support/temp_folder.h"

namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;
using test::Bytes;

test::ConverterRun Pack(const std::vector<std::string>& arguments) { return test::RunProgram(KELVANE_PACK, arguments); }

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

    // Another palette: a notice, status 1, the sprite written all the same.
    test::WriteFile("out/s0.png", test::PngFile({test::PngChunk("IHDR", test::IhdrData(3, 2, 8, 3)),
                                                 test::PngChunk("PLTE", test::PngPalette(4)),
                                                 test::PngChunk("IDAT", test::Deflated({0, 1, 0, 2, 0, 3, 0, 0})),
                                                 test::PngChunk("IEND", {})}));
    const test::ConverterRun notice = Pack({"-C", "out", "-o", "../edited.dc6", "s.json"});
    EXPECT_EQ(notice.status, 1);
    EXPECT_EQ(notice.err, "kelvane-pack: s0.png: its palette differs from the sprite's; indices are used as they are\n");
    EXPECT_TRUE(std::filesystem::exists("edited.dc6"));

    // Several manifests in one run, each under its sprite's name; a refused
    // one does not stop the others, and -o cannot name them all.
    test::WriteFile("t.dc6", test::Dc6Builder().AddRows({{4, 5}}).Build());
    ASSERT_EQ(test::RunConverter({"-q", "-f", "png", "--json", "-o", "out", "t.dc6"}).status, 0);
    test::WriteFile("out/bad.json", {'{'});
    std::filesystem::remove("out/s.dc6");
    const test::ConverterRun several = Pack({"-C", "out", "bad.json", "t.json", "s.json"});
    EXPECT_EQ(several.status, 2);
    EXPECT_THAT(several.err, StartsWith("kelvane-pack: bad.json: "));
    EXPECT_THAT(several.err, HasSubstr("\nkelvane-pack: s0.png: its palette differs"));  // the edit above
    EXPECT_TRUE(std::filesystem::exists("out/t.dc6"));
    EXPECT_TRUE(std::filesystem::exists("out/s.dc6"));
    EXPECT_EQ(Pack({"-C", "out", "-o", "x.dc6", "t.json", "s.json"}).status, 2);
    EXPECT_FALSE(std::filesystem::exists("out/x.dc6"));
}

TEST(PackCliTest, RefusalsAndUsageErrorsWriteNothing) {
    test::TempFolder folder;
    test::WriteFile("grey\x1b.png", test::PngFile({test::PngChunk("IHDR", test::IhdrData(1, 1, 8, 0)),
                                                   test::PngChunk("IDAT", test::Deflated({0, 9})),
                                                   test::PngChunk("IEND", {})}));
    const test::ConverterRun refused = Pack({"-o", "x.dc6", "grey\x1b.png"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_THAT(refused.err, StartsWith("kelvane-pack: grey\\x1B.png: is a grey, RGB or 16-bit PNG image; save it as"));
    EXPECT_EQ(refused.err.find('\n'), refused.err.size() - 1);
    EXPECT_FALSE(std::filesystem::exists("x.dc6"));

    for (const std::vector<std::string>& usage : std::vector<std::vector<std::string>>{
             {"a.png"}, {"-o", "x.dc6", "--offset", "1:2", "a.png"}, {"-o", "x.dc6", "--offset", "3:0,0", "a.png"},
             {"--like", "s.dc6", "s.json"}, {}}) {
        const test::ConverterRun run = Pack(usage);
        EXPECT_EQ(run.status, 2);
        EXPECT_THAT(run.err, HasSubstr("Try 'kelvane-pack --help'."));
    }
    const test::ConverterRun version = Pack({"--version"});
    EXPECT_EQ(version.out, "kelvane-pack " KELVANE_VERSION "\n");
    EXPECT_EQ(version.status, 0);
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
