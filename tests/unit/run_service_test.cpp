// The run's palette and output folder, which every front end takes from the
// run layer: what each accepts, and that a refusal leaves nothing behind.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "run/run_output_folder.h"
#include "run/run_palette.h"
#include "tests/support/temp_folder.h"

namespace {

using test::Bytes;

class RunServiceTest : public ::testing::Test {
protected:
    test::TempFolder folder;
};

TEST_F(RunServiceTest, TheProgramTakesAny768ByteFileAndTheToolsEveryPaletteFormat) {
    Bytes raw(768);
    for (std::size_t k = 0; k < raw.size(); ++k) raw[k] = static_cast<std::uint8_t>(k);
    test::WriteFile("colours.txt", raw);  // not a palette name: the program takes it all the same
    const std::string jasc = "JASC-PAL\r\n0100\r\n1\r\n10 20 30\r\n";
    test::WriteFile("short.pal", Bytes(jasc.begin(), jasc.end()));
    const std::string broken = "JASC-PAL\r\n0100\r\n1\r\n10 20\r\n";
    test::WriteFile("broken.pal", Bytes(broken.begin(), broken.end()));

    PaletteFile read;
    std::string reason;
    ASSERT_EQ(ReadRunPalette("colours.txt", PaletteFiles::Raw768, &read, &reason), RunPaletteRead::Read);
    EXPECT_EQ(read.colours, 256);
    EXPECT_EQ(read.storedBgr[767], 255);

    // The tools read the program's files too, but the program no other format.
    PaletteFile kept = read;
    EXPECT_EQ(ReadRunPalette("short.pal", PaletteFiles::Raw768, &kept, &reason), RunPaletteRead::WrongSize);
    EXPECT_EQ(reason, "is not a palette of 768 bytes");
    EXPECT_EQ(ReadRunPalette("missing.pal", PaletteFiles::Raw768, &kept, &reason), RunPaletteRead::Unreadable);
    EXPECT_EQ(ReadRunPalette("broken.pal", PaletteFiles::AnyFormat, &kept, &reason), RunPaletteRead::Refused);
    EXPECT_THAT(reason, ::testing::HasSubstr("line 4"));
    EXPECT_EQ(0, std::memcmp(kept.storedBgr, read.storedBgr, sizeof read.storedBgr)) << "a refusal changed the palette";

    PaletteFile any;
    ASSERT_EQ(ReadRunPalette("colours.txt", PaletteFiles::AnyFormat, &any, &reason), RunPaletteRead::Read);
    EXPECT_EQ(0, std::memcmp(any.storedBgr, read.storedBgr, sizeof read.storedBgr));
    ASSERT_EQ(ReadRunPalette("short.pal", PaletteFiles::AnyFormat, &kept, &reason), RunPaletteRead::Read);
    EXPECT_EQ(kept.colours, 1);
    EXPECT_THAT(Bytes(kept.storedBgr, kept.storedBgr + 3), ::testing::ElementsAre(30, 20, 10));
}

TEST_F(RunServiceTest, ANamedFolderIsMadeWithItsParentsAndTheOwnFolderIsMadeInTheWorkingFolder) {
    const RunOutputFolder named = OpenRunOutputFolder("out/a/b", true, nullptr);
    ASSERT_TRUE(named.opened) << named.reason;
    EXPECT_TRUE(std::filesystem::is_directory("out/a/b"));

    const RunOutputFolder own = OpenRunOutputFolder(kRunOutputFolder, false, nullptr);
    ASSERT_TRUE(own.opened) << own.reason;
    EXPECT_TRUE(std::filesystem::is_directory(kRunOutputFolder));

    test::WriteFile("taken", {1});
    const RunOutputFolder blocked = OpenRunOutputFolder("taken/x", true, nullptr);
    EXPECT_FALSE(blocked.made);
    EXPECT_FALSE(blocked.opened);
    EXPECT_FALSE(blocked.reason.empty());
    std::string reason;
    EXPECT_EQ(blocked.folder->Begin("a.pcx", &reason), nullptr);
}

#ifndef _WIN32
TEST_F(RunServiceTest, AnOwnFolderPlantedAsALinkIsRefusedAndNothingIsWrittenThroughIt) {
    std::filesystem::create_directory("elsewhere");
    std::filesystem::create_directory_symlink("elsewhere", kRunOutputFolder);

    const RunOutputFolder own = OpenRunOutputFolder(kRunOutputFolder, false, nullptr);
    EXPECT_FALSE(own.opened);
    EXPECT_EQ(own.reason, platform::kFolderIsLink);
    std::string reason;
    EXPECT_EQ(own.folder->Begin("a.pcx", &reason), nullptr);
    EXPECT_TRUE(std::filesystem::is_empty("elsewhere"));

    // The user's own choice of a link is theirs: it is followed.
    const RunOutputFolder named = OpenRunOutputFolder(kRunOutputFolder, true, nullptr);
    EXPECT_TRUE(named.opened) << named.reason;
}
#endif

}  // namespace
