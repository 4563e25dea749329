// kelvane-convert's command called twice in one process, as the web page
// calls it: each call works as the first, and the caller's folder stays.
#include "run/convert_command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/unit/program_test.h"
#include "tests/support/pcx_image.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

int Command(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "kelvane-convert");
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    return RunConvertCommand(static_cast<int>(arguments.size()), argv.data());
}

class ConvertCommandTest : public test::ProgramTest {
protected:
    test::TempFolder folder;
};

TEST_F(ConvertCommandTest, ASecondCallWorksAsTheFirstAndTheCallersFolderStays) {
    fs::create_directory("sprites");
    test::WriteFile("sprites/walk.dc6", test::Dc6Builder().AddRows(test::Picture(6, 5)).Build());
    test::WriteFile("sprites/old.dc6", test::Dc6Builder().Version(5).AddRows(test::Picture(2, 2)).Build());
    const fs::path caller = fs::current_path();
    for (const char* format : {"png", "pcx", "png"}) {
        SCOPED_TRACE(format);
        EXPECT_EQ(Command({"-q", "-C", "sprites", "-f", format, "-o", std::string("out-") + format}), 1);
        EXPECT_EQ(fs::current_path(), caller);
        EXPECT_TRUE(fs::exists(std::string("sprites/out-") + format + "/walk." + format));
        EXPECT_FALSE(fs::exists(std::string("sprites/out-") + format + "/old." + format));
    }
    // Refused before converting: the folder stays too.
    EXPECT_EQ(Command({"-C", "sprites", "-p", "missing.pal"}), 2);
    EXPECT_EQ(fs::current_path(), caller);
    EXPECT_EQ(Command({"-C", "sprites", "walk.dc6"}), 0);
    EXPECT_EQ(test::ReadPcxFile("sprites/PCXFiles/walk.pcx").width, 6);
}

}  // namespace
