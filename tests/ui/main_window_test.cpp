// The main window, driven like a user drives it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/win32.h"

#include <filesystem>
#include <string>

#include "ui/program/current_palette.h"
#include "ui/program/error_notifier.h"
#include "res/resource.h"
#include "tests/support/dc6_builder.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/program_driver.h"
#include "ui/application.h"
#include "ui/framework/list_ctrl.h"
#include "ui/main_window.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using uitest::ProgramRun;
using uitest::TitleChange;

class MainWindowTest : public ::testing::Test {
protected:
    void Sprite(const std::string& name) {
        test::WriteFile(name, test::Dc6Builder().AddRows(test::Picture(6, 5)).Build());
    }
    void Image(const std::string& name) {
        std::filesystem::create_directories("PCXFiles");
        test::WriteFile(std::filesystem::path("PCXFiles") / name, {0x0A, 0x05, 0x01, 0x08});
    }
    // Three sprite files and a folder whose name fits "*.dc6".
    void FourEntries() {
        Sprite("walk.dc6");
        Sprite("KNIGHT.DC6");
        Sprite("arrow.dc6");
        std::filesystem::create_directory("x.dc6");
    }
    // Sends the main window a message and waits for its answer, so that
    // everything posted to it before has been handled.
    void Settle(ProgramRun& program) { ::SendMessageA(program.MainWindow(), WM_NULL, 0, 0); }

    test::TempFolder folder;
};

TEST_F(MainWindowTest, StartsWithTheFolderListedSortedAndNothingConverted) {
    FourEntries();
    ProgramRun program;
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/4 files)"));

    EXPECT_THAT(program.Column(0), ElementsAre("arrow.dc6", "KNIGHT.DC6", "walk.dc6", "x.dc6"));
    EXPECT_THAT(program.Column(1), ElementsAre("No", "No", "No", "No"));
    EXPECT_THAT(program.EnabledControls(), ElementsAre(IDCANCEL, IDC_BROWSE, IDC_SELECT_ALL, IDC_NO_ERRORS));
    EXPECT_THAT(program.SelectedItems(), IsEmpty());
    EXPECT_TRUE(paletteIsBuiltIn);
    EXPECT_EQ(ownerFallbackWindow, ::GetDesktopWindow());
    EXPECT_EQ(::errorsCheckBox, program.Control(IDC_NO_ERRORS));
    // The program's icon, large and small, and for dragging.
    const LRESULT icon = ::SendMessageA(program.MainWindow(), WM_GETICON, ICON_BIG, 0);
    EXPECT_NE(icon, 0);
    EXPECT_EQ(::SendMessageA(program.MainWindow(), WM_GETICON, ICON_SMALL, 0), icon);
    EXPECT_EQ(::SendMessageA(program.MainWindow(), WM_QUERYDRAGICON, 0, 0), icon);

    const std::vector<TitleChange> titles = program.TitleChanges();
    ASSERT_EQ(titles.size(), 4u);
    EXPECT_EQ(titles[0].title, "Kelvane Convert");
    EXPECT_THAT(titles[0].enabledControls, ElementsAre(IDCANCEL, IDC_BROWSE, IDC_NO_ERRORS));
    EXPECT_EQ(titles[1].title, "Kelvane Converter");
    // The scan runs with the window already visible and nothing to press.
    EXPECT_EQ(titles[2].title, "Retrieving file list...");
    EXPECT_TRUE(titles[2].visible);
    EXPECT_TRUE(titles[2].closeGreyed);
    EXPECT_TRUE(titles[2].moveGreyed);
    EXPECT_THAT(titles[2].enabledControls, IsEmpty());
    EXPECT_EQ(titles[3].title, "Kelvane Converter: (0/4 files)");
    EXPECT_FALSE(titles[3].closeGreyed);
    EXPECT_FALSE(titles[3].moveGreyed);
}

TEST_F(MainWindowTest, ReadsYesWhereTheImageOfTheNameExists) {
    FourEntries();
    Image("KNIGHT.pcx");
    // Images of separate frames carry a number: their sprite still reads No.
    Image("walk0.pcx");
    Image("walk1.pcx");
    ProgramRun program;
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/4 files)"));
    EXPECT_THAT(program.Column(1), ElementsAre("No", "Yes", "No", "No"));
}

TEST_F(MainWindowTest, ANameWhoseImagePathDoesNotFitReadsNo) {
    // 251 characters: "PCXFiles\" and the name with "pcx" need 261 bytes.
    const std::string stem(247, 'a');
    Sprite(stem + ".dc6");
    // Where a path cut to 259 characters would look.
    Image(stem + ".pc");
    Image(stem + ".pcx");
    ProgramRun program;
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/1 files)"));
    EXPECT_THAT(program.Column(0), ElementsAre(stem + ".dc6"));
    EXPECT_THAT(program.Column(1), ElementsAre("No"));

    // Read back from the list, the name fits a name buffer whole; a shorter
    // buffer gets a terminated start of it.
    CListCtrl list;
    list.Attach(program.Control(IDC_FILE_LIST));
    char name[260];
    EXPECT_EQ(list.GetItemText(0, 0, name, sizeof name), 251);
    EXPECT_EQ(name, stem + ".dc6");
    char shortName[8];
    list.GetItemText(0, 0, shortName, sizeof shortName);
    EXPECT_STREQ(shortName, "aaaaaaa");
}

TEST_F(MainWindowTest, SelectAllSelectsEveryItemAndAClickOnEmptySpaceNone) {
    FourEntries();
    ProgramRun program;
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/4 files)"));

    program.Click(IDC_SELECT_ALL);
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (4/4 files)"));
    EXPECT_EQ(selectedCount, 4);
    EXPECT_THAT(program.SelectedItems(), ElementsAre(0, 1, 2, 3));
    EXPECT_THAT(program.EnabledControls(),
                ElementsAre(IDOK, IDCANCEL, IDC_BROWSE, IDC_SELECT_ALL, IDC_VIEW, IDC_NO_ERRORS));
    GUITHREADINFO focus = {};
    focus.cbSize = sizeof focus;
    ASSERT_TRUE(::GetGUIThreadInfo(program.ThreadId(), &focus));
    EXPECT_EQ(focus.hwndFocus, program.Control(IDC_FILE_LIST));

    program.ClickEmptySpace();
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/4 files)"));
    EXPECT_EQ(selectedCount, 0);
    EXPECT_THAT(program.SelectedItems(), IsEmpty());
    EXPECT_THAT(program.EnabledControls(), ElementsAre(IDCANCEL, IDC_BROWSE, IDC_SELECT_ALL, IDC_NO_ERRORS));
}

TEST_F(MainWindowTest, AClickOnAnItemCountsItAndADoubleClickDoesNoMore) {
    FourEntries();
    ProgramRun program;
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/4 files)"));

    program.ClickItem(1);
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (1/4 files)"));
    EXPECT_THAT(program.SelectedItems(), ElementsAre(1));
    EXPECT_TRUE(program.Enabled(IDOK));
    EXPECT_TRUE(program.Enabled(IDC_VIEW));

    program.DoubleClickItem(2);
    ASSERT_TRUE(uitest::WaitUntil([&] { return program.SelectedItems() == std::vector<int>{2}; }));
    Settle(program);
    EXPECT_EQ(program.Title(), "Kelvane Converter: (1/4 files)");
    EXPECT_EQ(selectedCount, 1);
    EXPECT_THAT(program.EnabledControls(),
                ElementsAre(IDOK, IDCANCEL, IDC_BROWSE, IDC_SELECT_ALL, IDC_VIEW, IDC_NO_ERRORS));
    EXPECT_EQ(program.FindWindowOfThread("#32770"), nullptr);
}

TEST_F(MainWindowTest, SelectionFromTheKeyboardChangesNeitherCountNorButtons) {
    FourEntries();
    ProgramRun program;
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/4 files)"));

    program.ClickItem(0);
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (1/4 files)"));
    program.PressKey(VK_END, {VK_SHIFT});
    ASSERT_TRUE(uitest::WaitUntil([&] { return program.SelectedItems().size() == 4; }));
    Settle(program);
    EXPECT_EQ(program.Title(), "Kelvane Converter: (1/4 files)");
    EXPECT_EQ(selectedCount, 1);

    program.ClickEmptySpace();
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/4 files)"));
    // The focus is on the last item since Shift+End.
    program.PressKey(VK_UP);
    ASSERT_TRUE(uitest::WaitUntil([&] { return !program.SelectedItems().empty(); }));
    Settle(program);
    EXPECT_EQ(program.Title(), "Kelvane Converter: (0/4 files)");
    EXPECT_EQ(selectedCount, 0);
    EXPECT_FALSE(program.Enabled(IDOK));
    EXPECT_FALSE(program.Enabled(IDC_VIEW));
}

TEST_F(MainWindowTest, TheCheckBoxSilencesNoticesWhileTicked) {
    FourEntries();
    ProgramRun program;
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/4 files)"));
    const HWND box = program.Control(IDC_NO_ERRORS);
    ASSERT_EQ(::SendMessageA(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_TRUE(showErrors);

    program.Click(IDC_NO_ERRORS);
    ASSERT_TRUE(uitest::WaitUntil([&] { return ::SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }));
    Settle(program);
    EXPECT_FALSE(showErrors);

    program.Click(IDC_NO_ERRORS);
    ASSERT_TRUE(uitest::WaitUntil([&] { return ::SendMessageA(box, BM_GETCHECK, 0, 0) == BST_UNCHECKED; }));
    Settle(program);
    EXPECT_TRUE(showErrors);
}

TEST_F(MainWindowTest, AnEmptyFolderOpensTheFolderBrowserAndCancellingKeepsItEmpty) {
    ProgramRun program;
    const HWND browser = program.WaitForWindowOfThread("#32770");
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(::GetWindow(browser, GW_OWNER), program.MainWindow());
    EXPECT_TRUE(::IsWindowVisible(program.MainWindow()));
    // The title it was given is one of its texts.
    bool titled = false;
    ::EnumChildWindows(
        browser,
        [](HWND child, LPARAM found) -> BOOL {
            if (uitest::WindowText(child) == "Select the folder which contains the DC6 files...")
                *reinterpret_cast<bool*>(found) = true;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&titled));
    EXPECT_TRUE(titled);
    EXPECT_EQ(program.Title(), "Kelvane Converter: (0/0 files)");

    const std::filesystem::path before = std::filesystem::current_path();
    ProgramRun::Press(browser, IDCANCEL);
    ASSERT_TRUE(uitest::WaitUntil([&] { return !::IsWindow(browser); }));
    Settle(program);
    EXPECT_EQ(program.Title(), "Kelvane Converter: (0/0 files)");
    EXPECT_THAT(program.EnabledControls(), ElementsAre(IDCANCEL, IDC_BROWSE, IDC_NO_ERRORS));
    EXPECT_TRUE(folderPath.empty());
    EXPECT_EQ(std::filesystem::current_path(), before);
}

TEST_F(MainWindowTest, BrowseCancelledLeavesTheListAsItWas) {
    FourEntries();
    ProgramRun program;
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/4 files)"));
    program.Click(IDC_SELECT_ALL);
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (4/4 files)"));

    program.Click(IDC_BROWSE);
    const HWND browser = program.WaitForWindowOfThread("#32770");
    ASSERT_NE(browser, nullptr);
    ProgramRun::Press(browser, IDCANCEL);
    ASSERT_TRUE(uitest::WaitUntil([&] { return !::IsWindow(browser); }));
    Settle(program);
    EXPECT_EQ(program.Title(), "Kelvane Converter: (4/4 files)");
    EXPECT_THAT(program.SelectedItems(), ElementsAre(0, 1, 2, 3));
    EXPECT_EQ(program.TitleChanges().size(), 5u);
}

TEST_F(MainWindowTest, BrowseMakesTheChosenFolderCurrentAndListsIt) {
    Sprite("walk.dc6");
    std::filesystem::create_directory("more");
    Sprite("more/b.dc6");
    Sprite("more/a.dc6");
    char startUp[MAX_PATH] = "";
    ::GetCurrentDirectoryA(MAX_PATH, startUp);
    const std::string chosen = std::string(startUp) + "\\more";
    ProgramRun program;
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/1 files)"));

    program.Click(IDC_BROWSE);
    const HWND browser = program.WaitForWindowOfThread("#32770");
    ASSERT_NE(browser, nullptr);
    // As the user would pick it in the tree, once the browser has filled its
    // tree: a selection made while it still builds it is replaced by its own.
    ASSERT_TRUE(uitest::WaitUntil([&] { return ::IsWindowVisible(browser) != FALSE; }));
    const HWND tree = ::FindWindowExA(browser, nullptr, WC_TREEVIEWA, nullptr);
    ASSERT_NE(tree, nullptr);
    ASSERT_TRUE(uitest::WaitUntil([&] {
        ::SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(chosen.c_str()));
        char text[MAX_PATH] = "";
        TVITEMA item = {};
        item.mask = TVIF_TEXT;
        item.hItem = TreeView_GetSelection(tree);
        item.pszText = text;
        item.cchTextMax = sizeof text;
        return item.hItem != nullptr && ::SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) &&
               std::string(text) == "more";
    }));
    ProgramRun::Press(browser, IDOK);
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/2 files)"));
    EXPECT_THAT(program.Column(0), ElementsAre("a.dc6", "b.dc6"));
    EXPECT_EQ(folderPath, chosen);
    char current[MAX_PATH] = "";
    ::GetCurrentDirectoryA(MAX_PATH, current);
    EXPECT_EQ(std::string(current), chosen);
    // Help stays with the start-up directory.
    EXPECT_EQ(application.helpPath, std::string(startUp) + "\\Kelvane.chm");
    const std::vector<TitleChange> titles = program.TitleChanges();
    ASSERT_GE(titles.size(), 2u);
    EXPECT_EQ(titles[titles.size() - 2].title, "Retrieving file list...");
}

TEST_F(MainWindowTest, QuitEndsTheProgram) {
    FourEntries();
    ProgramRun program;
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/4 files)"));
    program.Click(IDCANCEL);
    EXPECT_TRUE(program.WaitForExit());
}

TEST_F(MainWindowTest, EscapeEndsTheProgram) {
    FourEntries();
    ProgramRun program;
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/4 files)"));
    program.PressKey(VK_ESCAPE);
    EXPECT_TRUE(program.WaitForExit());
}

TEST_F(MainWindowTest, TheCloseBoxEndsTheProgram) {
    FourEntries();
    ProgramRun program;
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/4 files)"));
    const HWND window = program.MainWindow();
    RECT frame;
    ::GetWindowRect(window, &frame);
    // The close box is the caption's rightmost button.
    POINT box = {frame.right - ::GetSystemMetrics(SM_CXFIXEDFRAME) - ::GetSystemMetrics(SM_CXSIZE) / 2,
                 frame.top + ::GetSystemMetrics(SM_CYFIXEDFRAME) + ::GetSystemMetrics(SM_CYCAPTION) / 2};
    ASSERT_EQ(::SendMessageA(window, WM_NCHITTEST, 0, MAKELPARAM(box.x, box.y)), HTCLOSE);
    program.ClickAt(box, 1);
    EXPECT_TRUE(program.WaitForExit());
}

}  // namespace
