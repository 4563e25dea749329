// Convert, driven like a user drives it: the palette question and dialog, the
// "Working..." window, the notices of the run, the count, and the files, which
// must be those kelvane-convert writes for the same folder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/win32.h"

#include <dlgs.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "ui/program/current_palette.h"
#include "ui/program/error_notifier.h"
#include "res/resource.h"
#include "tests/support/dc6_builder.h"
#include "tests/support/pcx_image.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/conversion_driver.h"
#include "tests/ui/free_counter.h"
#include "tests/ui/program_driver.h"
#include "ui/main_window.h"
#include "ui/progress_window.h"

namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using uitest::Answer;
using uitest::MessageBoxSeen;
using uitest::ProgramRun;
using uitest::ProgressRecord;
using uitest::RunRecorder;
using uitest::Screen;

constexpr char kNotVersion6[] =
    "GetFileInfoDC6: dc6 file is not version 6 and can not be converted!\n\n"
    "Do you wish to receive further error notification?";

test::Bytes Stitched(int seed = 0) {
    return test::Dc6Builder().AddRows(test::Picture(6, 5, seed)).AddRows(test::Picture(4, 3, seed + 40)).Build();
}

// Three frames with offsets: three images.
test::Bytes Separate() {
    return test::Dc6Builder()
        .AddRows(test::Picture(5, 4, 10), 1, 2)
        .AddRows(test::Picture(3, 3, 20))
        .AddRows(test::Picture(2, 6, 30), -1, 3)
        .Build();
}

test::Bytes NotVersion6() { return test::Dc6Builder().Version(5).AddRows(test::Picture(6, 5)).Build(); }

// Its coded data starts with a zero byte, which the decoder reports.
test::Bytes WithZeroByte() {
    test::Dc6Frame frame = test::FrameFromRows(test::Picture(4, 2));
    frame.coded.insert(frame.coded.begin(), 0x00);
    return test::Dc6Builder().Add(frame).Build();
}

// Stored blue, green, red; no two entries alike.
test::Bytes PaletteFile(std::size_t size) {
    test::Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return bytes;
}

// A stored palette as a PCX file carries it: red, green, blue.
test::Bytes Written(test::Bytes stored) {
    for (std::size_t entry = 0; entry + 2 < stored.size(); entry += 3) std::swap(stored[entry], stored[entry + 2]);
    return stored;
}

std::vector<std::string> ComboItems(HWND combo) {
    std::vector<std::string> items;
    const int count = static_cast<int>(::SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[256] = "";
        ::SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

POINT Centre(const RECT& frame) { return {(frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2}; }

RECT Inset(const RECT& area, int by) { return {area.left + by, area.top + by, area.right - by, area.bottom - by}; }

// Makes link a symbolic link to the folder target. Windows makes one for a
// user allowed to; Wine says it did but makes none, and then the system's own
// ln does it, as Wine runs the host's programs.
bool PlantFolderLink(const char* link, const char* target) {
    const auto planted = [&] {
        const DWORD attributes = ::GetFileAttributesA(link);
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    };
    if (::CreateSymbolicLinkA(link, target, SYMBOLIC_LINK_FLAG_DIRECTORY) && planted()) return true;
    std::string command = std::string("Z:\\bin\\ln -s ") + target + " " + link;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA("Z:\\bin\\ln", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return false;
    // A host program's handle may be signalled before the program is done.
    ::WaitForSingleObject(process.hProcess, 10000);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return uitest::WaitUntil(planted);
}

class ConversionRunTest : public ::testing::Test {
protected:
    // Waits for the palette dialog and checks how it opened. Then, as a user
    // does, goes into folder (when given) by typing its path and pressing
    // Open, types name into the file name box and presses button.
    void ChoosePalette(ProgramRun& program, const std::string& name, int button = IDOK, const fs::path& folder = {}) {
        const HWND dialog = program.WaitForWindowOfThread("#32770", "Select the palette to load...");
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(::GetWindow(dialog, GW_OWNER), program.MainWindow());
        const HWND types = ::GetDlgItem(dialog, cmb1);
        EXPECT_THAT(ComboItems(types), ElementsAre("Palette Files (*.pal;*.pl2)", "All Files (*.*)"));
        EXPECT_EQ(::SendMessageA(types, CB_GETCURSEL, 0, 0), 0);
        // The name box: an edit control, maybe inside the combo box that lists recent names.
        HWND edit = nullptr;
        ::EnumChildWindows(
            dialog,
            [](HWND child, LPARAM found) -> BOOL {
                if (uitest::ClassName(child) != "Edit" || !::IsWindowVisible(child)) return TRUE;
                *reinterpret_cast<HWND*>(found) = child;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&edit));
        ASSERT_NE(edit, nullptr);
        if (!folder.empty()) {
            ::SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.string().c_str()));
            ProgramRun::Press(dialog, IDOK);
            const HWND lookIn = ::GetDlgItem(dialog, cmb2);
            ASSERT_TRUE(uitest::WaitUntil([&] { return uitest::WindowText(lookIn) == folder.filename().string(); }));
        }
        ::SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
        ProgramRun::Press(dialog, button);
        ASSERT_TRUE(uitest::WaitUntil([&] { return !::IsWindow(dialog); }));
    }

    void SelectAll(ProgramRun& program, int files) {
        program.Click(IDC_SELECT_ALL);
        const std::string count = std::to_string(files);
        ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (" + count + "/" + count + " files)"));
    }

    // The count that ends a run; the main window is enabled again after it.
    std::string Count(ProgramRun& program) {
        const MessageBoxSeen count = Answer(program, IDOK);
        EXPECT_EQ(count.owner, program.MainWindow());
        EXPECT_EQ(count.icon, "information");
        EXPECT_THAT(count.buttons, ElementsAre(IDOK));
        EXPECT_TRUE(uitest::WaitUntil([&] { return ::IsWindowEnabled(program.MainWindow()) != FALSE; }));
        return count.text;
    }

    // The same sprite files converted by kelvane-convert.exe in a folder of
    // their own; its PCX files.
    std::map<std::string, test::Bytes> ConvertedByTheCommandLine(const std::vector<std::string>& names,
                                                                 const std::vector<std::string>& arguments,
                                                                 const std::string& countLine) {
        const fs::path cli = folder.path() / "cli";
        fs::remove_all(cli);
        fs::create_directory(cli);
        for (const std::string& name : names) fs::copy_file(name, cli / name);
        EXPECT_EQ(uitest::RunKelvaneConvert(cli, arguments).substr(0, countLine.size()), countLine);
        const auto images = uitest::FolderContents(cli / "PCXFiles");
        // Wine lets go of an ended process's current directory a moment
        // after it ends; until then the folder cannot be removed, and a
        // folder left behind would show in the folder browser of later tests.
        EXPECT_TRUE(uitest::WaitUntil([&] {
            std::error_code busy;
            fs::remove_all(cli, busy);
            return !busy;
        }));
        return images;
    }

    test::TempFolder folder;
};

TEST_F(ConversionRunTest, ConvertsTheSelectedFilesInListOrderAsTheCommandLineConverterDoes) {
    test::WriteFile("c.dc6", NotVersion6());
    test::WriteFile("b.dc6", Separate());
    test::WriteFile("a.dc6", Stitched());
    ProgramRun program;
    RunRecorder recorder(program);
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/3 files)"));
    SelectAll(program, 3);

    program.Click(IDOK);
    const MessageBoxSeen question = Answer(program, IDNO);
    EXPECT_EQ(question.text, "Do you wish to load a custom palette?");
    EXPECT_EQ(question.owner, program.MainWindow());
    EXPECT_EQ(question.icon, "question");
    EXPECT_THAT(question.buttons, ElementsAre(IDYES, IDNO));
    EXPECT_FALSE(question.ownerEnabled);

    // The invalid file's notice stands above the progress window, which it disables.
    const MessageBoxSeen notice = Answer(program, IDYES);
    EXPECT_EQ(notice.text, kNotVersion6);
    ASSERT_EQ(recorder.Runs().size(), 1u);
    EXPECT_EQ(notice.owner, recorder.Runs()[0].window);
    EXPECT_EQ(notice.icon, "information");
    EXPECT_THAT(notice.buttons, ElementsAre(IDYES, IDNO));
    EXPECT_FALSE(notice.ownerEnabled);

    HWND progressAtCount = nullptr;
    HWND workingAtCount = nullptr;
    const MessageBoxSeen count = Answer(program, IDOK, [&](const MessageBoxSeen&) {
        progressAtCount = progressWindow;
        workingAtCount = program.FindWindowOfThread("#32770", "Working...");
    });
    // One image of the stitched file, one per frame of the separate one.
    EXPECT_EQ(count.text, "Successfully converted 4 files");
    EXPECT_EQ(count.owner, program.MainWindow());
    EXPECT_EQ(count.icon, "information");
    EXPECT_FALSE(count.ownerEnabled);
    EXPECT_EQ(progressAtCount, nullptr);
    EXPECT_EQ(workingAtCount, nullptr);

    // The list is rebuilt: the selection is gone, and only the stitched
    // file's image has the name that is looked for.
    ASSERT_TRUE(
        uitest::WaitUntil([&] { return program.Enabled(IDC_SELECT_ALL) && ::IsWindowEnabled(program.MainWindow()); }));
    EXPECT_EQ(program.Title(), "Kelvane Converter: (0/3 files)");
    EXPECT_THAT(program.Column(1), ElementsAre("Yes", "No", "No"));
    EXPECT_THAT(program.SelectedItems(), IsEmpty());
    EXPECT_THAT(program.EnabledControls(), ElementsAre(IDCANCEL, IDC_BROWSE, IDC_SELECT_ALL, IDC_NO_ERRORS));

    const ProgressRecord run = recorder.Runs().at(0);
    EXPECT_EQ(run.caption, "Working...");
    EXPECT_EQ(run.owner, program.MainWindow());
    EXPECT_TRUE(run.visible);
    EXPECT_NEAR(Centre(run.frame).x, Centre(run.mainFrame).x, 1);
    EXPECT_NEAR(Centre(run.frame).y, Centre(run.mainFrame).y, 1);
    EXPECT_TRUE(run.frame.left >= run.workArea.left && run.frame.top >= run.workArea.top &&
                run.frame.right <= run.workArea.right && run.frame.bottom <= run.workArea.bottom);
    EXPECT_FALSE(run.mainEnabled);
    EXPECT_TRUE(run.waitCursor);
    EXPECT_EQ(run.progressWindow, run.window);
    EXPECT_EQ(run.statusAtOpen, "");
    EXPECT_EQ(run.positionAtOpen, 0);
    EXPECT_EQ(run.rangeLow, 0);
    EXPECT_EQ(run.rangeHigh, 3);
    EXPECT_EQ(run.step, 1);
    EXPECT_THAT(run.statuses, ElementsAre("Processing a.dc6...", "Processing b.dc6...", "Processing c.dc6..."));
    EXPECT_THAT(run.positionAtStatus, ElementsAre(0, 1, 2));
    EXPECT_EQ(run.steps, 3);
    EXPECT_TRUE(run.closed);
    EXPECT_EQ(run.positionAtClose, 3);
    EXPECT_EQ(run.progressWindowAtClose, run.window);
    EXPECT_EQ(progressWindow, nullptr);

    const auto images = uitest::FolderContents("PCXFiles");
    std::vector<std::string> names;
    for (const auto& image : images) names.push_back(image.first);
    EXPECT_THAT(names, ElementsAre("a.pcx", "b0.pcx", "b1.pcx", "b2.pcx"));
    EXPECT_EQ(images, ConvertedByTheCommandLine({"a.dc6", "b.dc6", "c.dc6"}, {}, "Successfully converted 4 files"));
}

TEST_F(ConversionRunTest, TheWindowShowsEachFileAndStepOnScreenWhileTheRunWorksAndKeysChangeNothing) {
    const std::vector<std::string> names = {"a.dc6", "bbbbbbbbbbbbbbbb.dc6", "cc.dc6", "dddddddddddddddddddddddd.dc6"};
    for (const std::string& name : names) test::WriteFile(name, Stitched());
    ProgramRun program;
    RunRecorder recorder(program);
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/4 files)"));
    SelectAll(program, 4);

    recorder.PauseAtStatusChanges();
    program.Click(IDOK);
    Answer(program, IDNO);
    // Before each file but the first, the run has just stepped the bar after
    // the file before it; the screen is read as the X display shows it.
    std::vector<Screen> shots(4);
    for (std::size_t k = 0; k < 4; ++k) {
        ASSERT_TRUE(recorder.WaitForPause(k)) << k;
        ASSERT_TRUE(uitest::GrabScreen(shots[k], "mid-run-" + std::to_string(k)));
        if (k == 1) {
            // The keys a dialog acts on, and the system keys that close a
            // window (Alt+F4) or open its system menu (Alt+Space), into the
            // progress window.
            ASSERT_EQ(::GetForegroundWindow(), recorder.Runs().at(0).window);
            std::vector<INPUT> keys;
            const auto key = [&](WORD code, DWORD flags) {
                INPUT input = {};
                input.type = INPUT_KEYBOARD;
                input.ki.wVk = code;
                input.ki.dwFlags = flags;
                keys.push_back(input);
            };
            for (WORD code : {VK_RETURN, VK_ESCAPE, VK_TAB, VK_SPACE, VK_DOWN}) {
                key(code, 0);
                key(code, KEYEVENTF_KEYUP);
            }
            for (WORD code : {VK_F4, VK_SPACE}) {
                key(VK_MENU, 0);
                key(code, 0);
                key(code, KEYEVENTF_KEYUP);
                key(VK_MENU, KEYEVENTF_KEYUP);
            }
            ::SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
        }
        recorder.Resume(k == 3);
    }
    // The keys closed neither the window nor the count, nor the program, and
    // opened no system menu.
    EXPECT_EQ(Count(program), "Successfully converted 4 files");
    ::SendMessageA(program.MainWindow(), WM_NULL, 0, 0);
    EXPECT_EQ(program.FindWindowOfThread("#32770"), nullptr);
    EXPECT_EQ(program.FindWindowOfThread("#32768"), nullptr);
    EXPECT_EQ(uitest::FolderContents("PCXFiles").size(), 4u);
    EXPECT_FALSE(program.Finished());
    const ProgressRecord run = recorder.Runs().at(0);
    EXPECT_EQ(run.stepsWhenHidden, 4);

    // The bar's filled part and the status line, as they were at each pause.
    const RECT bar = Inset(run.barFrame, 2);
    const int middle = (bar.top + bar.bottom) / 2;
    const COLORREF empty = shots[0].At(bar.right - 1, middle);
    const RECT status = Inset(run.statusFrame, 2);
    for (std::size_t k = 0; k < 4; ++k) {
        int filled = 0;
        for (int x = bar.left; x < bar.right; ++x) filled += shots[k].At(x, middle) != empty;
        EXPECT_NEAR(filled, static_cast<int>((bar.right - bar.left) * k / 4), 4) << "shot " << k;
        const std::vector<COLORREF> line = shots[k].Pixels(status);
        const bool blank = std::all_of(line.begin(), line.end(), [&](COLORREF c) { return c == line.front(); });
        EXPECT_EQ(blank, k == 0) << "shot " << k;
        if (k > 1) {
            EXPECT_NE(line, shots[k - 1].Pixels(status)) << "shot " << k;
        }
    }
}

TEST_F(ConversionRunTest, ACustomPaletteChosenInTheDialogColoursItsRunAndIsReleasedOnce) {
    test::WriteFile("a.dc6", Stitched());
    test::WriteFile("b.dc6", Separate());
    fs::create_directory("palettes");
    const test::Bytes stored = PaletteFile(kPaletteSize);
    test::WriteFile("palettes/warm.pal", stored);
    const fs::path startedIn = fs::current_path();
    ProgramRun program;
    RunRecorder recorder(program);
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/2 files)"));
    SelectAll(program, 2);

    // In a folder of its own, which the dialog goes into. The dialog may open
    // in the folder it showed last: the paths typed are full ones.
    const std::string palette = (startedIn / "palettes" / "warm.pal").string();
    program.Click(IDOK);
    Answer(program, IDYES);
    ChoosePalette(program, "warm.pal", IDOK, startedIn / "palettes");
    EXPECT_EQ(Count(program), "Successfully converted 4 files");
    EXPECT_FALSE(paletteIsBuiltIn);
    const void* firstBlock = currentPalette;
    ASSERT_NE(firstBlock, nullptr);
    // The folder stayed current through the dialog.
    EXPECT_EQ(fs::current_path(), startedIn);
    EXPECT_FALSE(fs::exists("palettes/PCXFiles"));
    for (const char* image : {"a.pcx", "b0.pcx", "b1.pcx", "b2.pcx"})
        EXPECT_EQ(test::ReadPcxFile(test::OutputPath(image)).palette, Written(stored)) << image;
    EXPECT_EQ(uitest::FolderContents("PCXFiles"),
              ConvertedByTheCommandLine({"a.dc6", "b.dc6"}, {"-p", palette}, "Successfully converted 4 files"));

    // The next run releases it before it asks, whatever the answer.
    uitest::WatchReleases(firstBlock);
    SelectAll(program, 2);
    program.Click(IDOK);
    int releasesAtQuestion = -1;
    Answer(program, IDYES, [&](const MessageBoxSeen&) { releasesAtQuestion = uitest::Releases(); });
    EXPECT_EQ(releasesAtQuestion, 1);
    ChoosePalette(program, palette);
    EXPECT_EQ(Count(program), "Successfully converted 4 files");

    // Held at exit: released there, once.
    const void* secondBlock = currentPalette;
    ASSERT_NE(secondBlock, nullptr);
    uitest::WatchReleases(secondBlock);
    program.Click(IDCANCEL);
    ASSERT_TRUE(program.WaitForExit());
    EXPECT_EQ(uitest::Releases(), 1);
    EXPECT_EQ(currentPalette, nullptr);
    EXPECT_EQ(recorder.Runs().size(), 2u);
}

TEST_F(ConversionRunTest, ARefusedPaletteAsksWhetherToGoOnAndRunsInARowWriteTheSameBuiltInPalette) {
    test::WriteFile("a.dc6", Stitched());
    test::WriteFile("b.dc6", Stitched(90));
    test::WriteFile("short.pal", PaletteFile(kPaletteSize - 1));
    ProgramRun program;
    RunRecorder recorder(program);
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/2 files)"));

    // A file of 767 bytes, then No: the run ends before its window.
    SelectAll(program, 2);
    program.Click(IDOK);
    Answer(program, IDYES);
    ChoosePalette(program, (fs::current_path() / "short.pal").string());
    const MessageBoxSeen failed = Answer(program, IDNO);
    EXPECT_EQ(failed.text, "Custom palette load was cancelled or failed!\n\nDo you wish to continue?");
    EXPECT_EQ(failed.owner, program.MainWindow());
    EXPECT_EQ(failed.icon, "question");
    EXPECT_THAT(failed.buttons, ElementsAre(IDYES, IDNO));
    EXPECT_EQ(Count(program), "Successfully converted 0 files");
    EXPECT_TRUE(recorder.Runs().empty());
    EXPECT_FALSE(fs::exists("PCXFiles"));
    EXPECT_EQ(program.Title(), "Kelvane Converter: (0/2 files)");

    // The dialog cancelled, then Yes: the built-in palette.
    SelectAll(program, 2);
    program.Click(IDOK);
    Answer(program, IDYES);
    ChoosePalette(program, "", IDCANCEL);
    Answer(program, IDYES);
    EXPECT_EQ(Count(program), "Successfully converted 2 files");
    const test::Bytes firstRun = test::ReadPcxFile(test::OutputPath("a.pcx")).palette;

    SelectAll(program, 2);
    program.Click(IDOK);
    Answer(program, IDNO);
    EXPECT_EQ(Count(program), "Successfully converted 2 files");
    const test::Bytes secondRun = test::ReadPcxFile(test::OutputPath("a.pcx")).palette;

    const test::Bytes builtIn(builtInPalette, builtInPalette + kPaletteSize);
    EXPECT_EQ(firstRun, Written(builtIn));
    EXPECT_EQ(secondRun, Written(builtIn));
    EXPECT_THAT(test::Bytes(secondRun.begin() + 3, secondRun.begin() + 6), ElementsAre(0x24, 0x00, 0x00));
    // Each run had a fresh window: an empty line and bar, and all its texts.
    const std::vector<ProgressRecord> runs = recorder.Runs();
    ASSERT_EQ(runs.size(), 2u);
    for (const ProgressRecord& run : runs) {
        EXPECT_EQ(run.statusAtOpen, "");
        EXPECT_EQ(run.positionAtOpen, 0);
        EXPECT_THAT(run.statuses, ElementsAre("Processing a.dc6...", "Processing b.dc6..."));
        EXPECT_EQ(run.positionAtClose, 2);
    }
}

TEST_F(ConversionRunTest, NoSelectionStartsNoRunButSelectAllDoesAndMissingEntriesOnlyStepTheBar) {
    for (const char* name : {"a.dc6", "b.dc6", "c.dc6"}) test::WriteFile(name, Stitched());
    ProgramRun program;
    RunRecorder recorder(program);
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/3 files)"));

    // After a click on empty space Convert cannot be pressed: a mouse click
    // on it does nothing. A click on the list after it shows when both have
    // been handled: the title is set again.
    const auto clickEmptySpace = [&] {
        const std::size_t titles = program.TitleChanges().size();
        program.ClickEmptySpace();
        return uitest::WaitUntil([&] { return program.TitleChanges().size() > titles; });
    };
    ASSERT_TRUE(clickEmptySpace());
    EXPECT_EQ(program.Title(), "Kelvane Converter: (0/3 files)");
    EXPECT_FALSE(program.Enabled(IDOK));
    RECT convert = {};
    ::GetWindowRect(program.Control(IDOK), &convert);
    program.ClickAt(Centre(convert), 1);
    ASSERT_TRUE(clickEmptySpace());
    EXPECT_EQ(program.FindWindowOfThread("#32770"), nullptr);
    EXPECT_TRUE(recorder.Runs().empty());

    // Select All on a list with no items counts 0 and enables Convert: a run
    // over nothing, which still makes the output folder.
    ::SendMessageA(program.Control(IDC_FILE_LIST), LVM_DELETEALLITEMS, 0, 0);
    program.Click(IDC_SELECT_ALL);
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/0 files)"));
    ASSERT_TRUE(uitest::WaitUntil([&] { return program.Enabled(IDOK); }));
    program.Click(IDOK);
    Answer(program, IDNO);
    EXPECT_EQ(Count(program), "Successfully converted 0 files");
    EXPECT_TRUE(fs::is_directory("PCXFiles"));
    ASSERT_EQ(recorder.Runs().size(), 1u);
    EXPECT_EQ(recorder.Runs()[0].rangeHigh, 0);
    EXPECT_THAT(recorder.Runs()[0].statuses, IsEmpty());
    EXPECT_TRUE(recorder.Runs()[0].closed);

    // Select All counts 3; a key then leaves one item selected, uncounted.
    SelectAll(program, 3);
    program.PressKey(VK_DOWN);
    ASSERT_TRUE(uitest::WaitUntil([&] { return program.SelectedItems().size() == 1; }));
    const std::string name = program.Column(0).at(program.SelectedItems()[0]);
    EXPECT_EQ(selectedCount, 3);
    program.Click(IDOK);
    Answer(program, IDNO);
    EXPECT_EQ(Count(program), "Successfully converted 1 files");
    ASSERT_EQ(recorder.Runs().size(), 2u);
    const ProgressRecord run = recorder.Runs()[1];
    EXPECT_THAT(run.statuses, ElementsAre("Processing " + name + "..."));
    EXPECT_EQ(run.steps, 3);
    EXPECT_EQ(run.positionAtClose, 3);
    const auto images = uitest::FolderContents("PCXFiles");
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images.begin()->first, name.substr(0, 1) + ".pcx");
}

TEST_F(ConversionRunTest, AnImageNotWrittenIsNotCountedAndNoToANoticeSilencesTheNextButNotTheDecoder) {
    // A folder stands where a.dc6's image goes.
    test::WriteFile("a.dc6", Stitched());
    fs::create_directories("PCXFiles/a.pcx");
    test::WriteFile("b.dc6", NotVersion6());
    test::WriteFile("c.dc6", test::Dc6Builder().BlockCount(13).AddRows(test::Picture(6, 5)).Build());
    test::WriteFile("d.dc6", WithZeroByte());
    ProgramRun program;
    RunRecorder recorder(program);
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/4 files)"));
    SelectAll(program, 4);

    program.Click(IDOK);
    Answer(program, IDNO);
    const MessageBoxSeen unwritten = Answer(program, IDYES);
    EXPECT_EQ(unwritten.text, "Unable to write PCXFiles\\a.pcx!\n\nDo you wish to receive further error notification?");
    ASSERT_EQ(recorder.Runs().size(), 1u);
    EXPECT_EQ(unwritten.owner, recorder.Runs()[0].window);
    EXPECT_EQ(Answer(program, IDNO).text, kNotVersion6);
    // c.dc6 says nothing; the decoder still speaks, above the progress window.
    const MessageBoxSeen decoder = Answer(program, IDOK);
    EXPECT_EQ(decoder.text, "Found ZERO Byte");
    EXPECT_EQ(decoder.owner, recorder.Runs()[0].window);
    EXPECT_EQ(decoder.icon, "information");
    EXPECT_THAT(decoder.buttons, ElementsAre(IDOK));
    // Only d.dc6's image is on disk, and only it is counted.
    EXPECT_EQ(Count(program), "Successfully converted 1 files");

    EXPECT_FALSE(showErrors);
    EXPECT_EQ(::SendMessageA(program.Control(IDC_NO_ERRORS), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(recorder.Runs()[0].steps, 4);
    EXPECT_TRUE(fs::is_directory("PCXFiles/a.pcx"));
    EXPECT_TRUE(fs::exists("PCXFiles/d.pcx"));
}

TEST_F(ConversionRunTest, AnOutputFolderPlantedAsALinkIsNotWrittenThrough) {
    test::WriteFile("a.dc6", Stitched());
    fs::create_directory("elsewhere");
    ASSERT_TRUE(PlantFolderLink("PCXFiles", "elsewhere"));
    {
        ProgramRun program;
        ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/1 files)"));
        SelectAll(program, 1);
        program.Click(IDOK);
        Answer(program, IDNO);
        EXPECT_EQ(Answer(program, IDYES).text,
                  "Unable to write PCXFiles\\a.pcx!\n\nDo you wish to receive further error notification?");
        EXPECT_EQ(Count(program), "Successfully converted 0 files");
    }
    EXPECT_TRUE(fs::is_empty("elsewhere"));
    // The C++ library here takes the link for a folder and would never be
    // done removing it with the test's folder.
    EXPECT_TRUE(::RemoveDirectoryA("PCXFiles"));
}

TEST_F(ConversionRunTest, WithoutItsWindowTheRunConvertsNothingAndSaysSo) {
    test::WriteFile("a.dc6", Stitched());
    ProgramRun program;
    RunRecorder recorder(program);
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/1 files)"));
    SelectAll(program, 1);

    recorder.RefuseProgressWindow();
    program.Click(IDOK);
    Answer(program, IDNO);
    const MessageBoxSeen refusal = Answer(program, IDOK);
    EXPECT_EQ(refusal.text, "Unable to open the progress window!");
    EXPECT_EQ(refusal.owner, program.MainWindow());
    EXPECT_EQ(refusal.icon, "information");
    EXPECT_THAT(refusal.buttons, ElementsAre(IDOK));
    EXPECT_EQ(Count(program), "Successfully converted 0 files");
    EXPECT_FALSE(fs::exists("PCXFiles"));
    EXPECT_EQ(progressWindow, nullptr);
    EXPECT_TRUE(recorder.Runs().empty());
    EXPECT_EQ(program.Title(), "Kelvane Converter: (0/1 files)");
}

TEST(ProgressWindowTest, ConsumesEveryKeyboardMessageAndPassesEverythingElseOn) {
    ProgressWindow window;
    for (UINT message : {WM_KEYDOWN, WM_KEYUP, WM_CHAR, WM_SYSKEYDOWN, WM_SYSKEYUP, WM_SYSCHAR}) {
        for (int key : {VK_RETURN, VK_ESCAPE, VK_F4, VK_SPACE, VK_F10, int{'A'}}) {
            MSG press = {};
            press.message = message;
            press.wParam = static_cast<WPARAM>(key);
            EXPECT_TRUE(window.PreTranslateMessage(&press)) << message << " " << key;
        }
    }
    // With no window, the dialog manager takes none of the others either.
    for (UINT message : {WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_TIMER}) {
        MSG other = {};
        other.message = message;
        EXPECT_FALSE(window.PreTranslateMessage(&other)) << message;
    }
}

}  // namespace
