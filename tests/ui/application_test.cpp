// The application: help from F1, the start-up and exit steps, the wait cursor.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "ui/program/current_palette.h"
#include "res/resource.h"
#include "tests/support/dc6_builder.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/program_driver.h"
#include "ui/application.h"

namespace {

using ::testing::ElementsAre;
using uitest::ProgramRun;

// A top-level window of any thread with that title.
HWND TopLevelWindow(const std::string& title) {
    struct Search {
        const std::string* title;
        HWND found;
    } search = {&title, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto* search = reinterpret_cast<Search*>(parameter);
            if (!::IsWindowVisible(window) || uitest::WindowText(window) != *search->title) return TRUE;
            search->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The first window of that class among all the window's descendants.
HWND Descendant(HWND window, const std::string& className) {
    struct Search {
        const std::string* className;
        HWND found;
    } search = {&className, nullptr};
    ::EnumChildWindows(
        window,
        [](HWND child, LPARAM parameter) -> BOOL {
            auto* search = reinterpret_cast<Search*>(parameter);
            if (uitest::ClassName(child) != *search->className) return TRUE;
            search->found = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::filesystem::path TestProgramFolder() {
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).parent_path();
}

class ApplicationTest : public ::testing::Test {
protected:
    ApplicationTest() { test::WriteFile("walk.dc6", test::Dc6Builder().AddRows(test::Picture(6, 5)).Build()); }

    // Waits for the help error, checks it and answers it.
    void ExpectHelpError(ProgramRun& program) {
        const HWND box = program.WaitForWindowOfThread("#32770", "Kelvane Converter");
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(ProgramRun::MessageText(box), "ERROR: Can't Find Help File");
        EXPECT_EQ(::GetWindow(box, GW_OWNER), program.MainWindow());
        // MB_OK: one button and no icon.
        EXPECT_THAT(ProgramRun::Shown(box), ElementsAre("Button: OK", "Static: ERROR: Can't Find Help File"));
        ProgramRun::Press(box, IDOK);
        ASSERT_TRUE(uitest::WaitUntil([&] { return !::IsWindow(box); }));
    }

    test::TempFolder folder;
};

TEST_F(ApplicationTest, HelpLiesInTheStartUpDirectory) {
    ProgramRun program;
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/1 files)"));
    char directory[MAX_PATH] = "";
    ::GetCurrentDirectoryA(MAX_PATH, directory);
    EXPECT_EQ(application.helpPath, std::string(directory) + "\\Kelvane.chm");
}

TEST_F(ApplicationTest, F1WithoutAHelpFileSaysSoEveryTime) {
    ProgramRun program;
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/1 files)"));

    program.PressKey(VK_F1);
    ExpectHelpError(program);
    EXPECT_EQ(program.HelpCommands(), 1);
    program.PressKey(VK_F1);
    ExpectHelpError(program);
    EXPECT_EQ(program.HelpCommands(), 2);
}

TEST_F(ApplicationTest, F1WithShiftCtrlOrAltDoesNothing) {
    ProgramRun program;
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/1 files)"));

    program.PressKey(VK_F1, {VK_SHIFT});
    program.PressKey(VK_F1, {VK_CONTROL});
    program.PressKey(VK_F1, {VK_MENU});
    // Alt+E ticks "Do not show &errors": once it shows, the keys before it are handled.
    program.PressKey('E', {VK_MENU});
    const HWND box = program.Control(IDC_NO_ERRORS);
    ASSERT_TRUE(uitest::WaitUntil([&] { return ::SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }));
    EXPECT_EQ(program.HelpCommands(), 0);
    EXPECT_EQ(program.FindWindowOfThread("#32770"), nullptr);
}

TEST_F(ApplicationTest, F1OpensTheHelpFileOfTheStartUpDirectory) {
    std::filesystem::copy_file(TestProgramFolder() / "help_fixture.chm", "Kelvane.chm");
    ProgramRun program;
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/1 files)"));

    program.PressKey(VK_F1);
    HWND viewer = nullptr;
    ASSERT_TRUE(uitest::WaitUntil([&] { return (viewer = TopLevelWindow("Kelvane Test Help")) != nullptr; }));
    // The viewer belongs to the desktop, not to the main window.
    EXPECT_EQ(::GetWindow(viewer, GW_OWNER), nullptr);
    ::SendMessageA(program.MainWindow(), WM_NULL, 0, 0);
    EXPECT_EQ(program.FindWindowOfThread("#32770", "Kelvane Converter"), nullptr);
    ::PostMessageA(viewer, WM_CLOSE, 0, 0);
    EXPECT_TRUE(uitest::WaitUntil([&] { return !::IsWindow(viewer); }));
}

// The help file that we ship opens with its contents beside the page, one
// entry for each topic of its contents file, wide enough to read.
TEST_F(ApplicationTest, OurHelpFileOpensWithItsContentsShown) {
    std::filesystem::copy_file(KELVANE_HELP_FILE, "Kelvane.chm");
    std::ifstream contents(KELVANE_HELP_CONTENTS);
    ASSERT_TRUE(contents);
    const std::string text((std::istreambuf_iterator<char>(contents)), std::istreambuf_iterator<char>());
    int topics = 0;
    for (std::size_t at = text.find("text/sitemap"); at != std::string::npos; at = text.find("text/sitemap", at + 1)) {
        ++topics;
    }
    ASSERT_GT(topics, 0);
    ProgramRun program;
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/1 files)"));

    program.PressKey(VK_F1);
    HWND viewer = nullptr;
    ASSERT_TRUE(uitest::WaitUntil([&] { return (viewer = TopLevelWindow("Kelvane Converter Help")) != nullptr; }));
    HWND tree = nullptr;
    ASSERT_TRUE(uitest::WaitUntil([&] {
        tree = Descendant(viewer, "SysTreeView32");
        return tree && ::SendMessageA(tree, TVM_GETCOUNT, 0, 0) == topics;
    })) << "topics in the contents tree: "
        << (tree ? ::SendMessageA(tree, TVM_GETCOUNT, 0, 0) : -1);
    EXPECT_TRUE(::IsWindowVisible(tree));
    RECT area = {};
    ::GetClientRect(tree, &area);
    EXPECT_GE(area.right - area.left, 150);
    ::PostMessageA(viewer, WM_CLOSE, 0, 0);
    EXPECT_TRUE(uitest::WaitUntil([&] { return !::IsWindow(viewer); }));
}

TEST_F(ApplicationTest, ExitReleasesACustomPalette) {
    ProgramRun program;
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/1 files)"));
    // What a run with a custom palette leaves behind.
    ::SendMessageA(program.MainWindow(), WM_NULL, 0, 0);
    currentPalette = static_cast<std::uint8_t*>(std::malloc(kPaletteSize));
    paletteIsBuiltIn = false;

    program.Click(IDCANCEL);
    ASSERT_TRUE(program.WaitForExit());
    EXPECT_EQ(currentPalette, nullptr);
}

TEST(WaitCursorTest, ShowsUntilTheLastEndThenGivesTheCursorBack) {
    const HCURSOR arrow = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    const HCURSOR wait = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT));
    ::SetCursor(arrow);
    application.BeginWaitCursor();
    EXPECT_EQ(::GetCursor(), wait);
    application.BeginWaitCursor();
    application.EndWaitCursor();
    EXPECT_EQ(::GetCursor(), wait);
    application.EndWaitCursor();
    EXPECT_EQ(::GetCursor(), arrow);
    // An End too many changes nothing.
    ::SetCursor(wait);
    application.EndWaitCursor();
    EXPECT_EQ(::GetCursor(), wait);
    ::SetCursor(arrow);
}

}  // namespace
