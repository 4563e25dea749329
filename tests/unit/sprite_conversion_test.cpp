#include "ui/program/sprite_conversion.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "ui/program/frame_placement.h"
#include "ui/program/current_palette.h"
#include "ui/program/dc6_file.h"
#include "tests/unit/program_test.h"
#include "tests/support/temp_folder.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class SpriteConversionTest : public test::ProgramTest {
protected:
    SpriteConversionTest() {
        UseBuiltInPalette();
        ReorderPalette();
    }

    SpriteOutcome Convert(const std::string& name) {
        char buffer[kNameBufferSize] = {};
        std::strncpy(buffer, name.c_str(), sizeof buffer - 1);
        return ConvertSpriteFile(buffer);
    }

    test::TempFolder folder;
};

TEST_F(SpriteConversionTest, OutputFolderIsMadeOnceAndAnyEntryOfItsNameIsKept) {
    EnsureOutputFolder();
    EXPECT_TRUE(std::filesystem::is_directory("PCXFiles"));
    test::WriteFile(test::OutputPath("keep.pcx"), {1});
    EnsureOutputFolder();
    EXPECT_TRUE(std::filesystem::exists(test::OutputPath("keep.pcx")));
}

TEST_F(SpriteConversionTest, ConvertsReadableValidFilesAndReleasesThem) {
    EnsureOutputFolder();
    test::WriteFile("walk.dc6", test::Dc6Builder().AddRows(test::Picture(4, 3)).Build());
    EXPECT_EQ(Convert("walk.dc6"), SpriteOutcome::Converted);
    EXPECT_EQ(spriteData, nullptr);
    EXPECT_EQ(imagesWritten, 1);
    EXPECT_TRUE(std::filesystem::exists(test::OutputPath("walk.pcx")));
    EXPECT_THAT(user.boxes, IsEmpty());
}

TEST_F(SpriteConversionTest, UnreadableFilesAreSkippedSilently) {
    EnsureOutputFolder();
    test::WriteFile("empty.dc6", {});
    std::filesystem::create_directory("folder.dc6");
    EXPECT_EQ(Convert("empty.dc6"), SpriteOutcome::Unreadable);
    EXPECT_EQ(Convert("missing.dc6"), SpriteOutcome::Unreadable);
    EXPECT_EQ(Convert("folder.dc6"), SpriteOutcome::Unreadable);
    EXPECT_THAT(user.boxes, IsEmpty());
    EXPECT_EQ(imagesWritten, 0);
}

TEST_F(SpriteConversionTest, InvalidHeadersAreNotifiedAndSkipped) {
    EnsureOutputFolder();
    test::WriteFile("old.dc6", test::Dc6Builder().Version(5).AddRows(test::Picture(2, 2)).Build());
    EXPECT_EQ(Convert("old.dc6"), SpriteOutcome::Rejected);
    EXPECT_EQ(spriteData, nullptr);
    EXPECT_THAT(user.Texts(), ElementsAre("GetFileInfoDC6: dc6 file is not version 6 and can not be converted!\n\n"
                                          "Do you wish to receive further error notification?"));
    EXPECT_FALSE(std::filesystem::exists(test::OutputPath("old.pcx")));
}

}  // namespace
