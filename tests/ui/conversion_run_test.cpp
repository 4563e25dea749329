// Convert, driven like a user drives it: the palette question, the
// "Working..." window, the notices of the run, the count, and the files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/win32.h"

#include <string>

#include "convert/error_notifier.h"
#include "image/palette.h"
#include "res/resource.h"
#include "tests/support/dc6_builder.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/conversion_driver.h"
#include "tests/ui/program_driver.h"
#include "ui/main_window.h"

namespace {

using ::testing::ElementsAre;
using uitest::Answer;
using uitest::MessageBoxSeen;
using uitest::ProgramRun;
using uitest::ProgressRecord;
using uitest::RunRecorder;
using uitest::Screen;

RECT Inset(RECT area, int by) { return {area.left + by, area.top + by, area.right - by, area.bottom - by}; }

class ConversionRunTest : public ::testing::Test {
protected:
    void Sprite(const std::string& name, int seed = 0) {
        test::WriteFile(name, test::Dc6Builder().AddRows(test::Picture(6, 5, seed)).Build());
    }
    test::TempFolder folder;
};

TEST_F(ConversionRunTest, TheWindowShowsEachFileAndStepOnScreenWhileTheRunWorks) {
    const std::vector<std::string> names = {"a.dc6", "bbbbbbbbbbbbbbbb.dc6", "cc.dc6", "dddddddddddddddddddddddd.dc6"};
    for (const std::string& name : names) Sprite(name);
    ProgramRun program;
    RunRecorder recorder(program);
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/4 files)"));
    program.Click(IDC_SELECT_ALL);
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (4/4 files)"));

    recorder.PauseAtStatusChanges();
    program.Click(IDOK);
    Answer(program, IDNO);
    std::vector<Screen> shots(4);
    for (std::size_t k = 0; k < 4; ++k) {
        ASSERT_TRUE(recorder.WaitForPause(k)) << k;
        ASSERT_TRUE(uitest::GrabScreen(shots[k], "mid-run-" + std::to_string(k)));
        if (k == 1) {
            EXPECT_EQ(::GetForegroundWindow(), recorder.Runs().at(0).window);
            std::vector<INPUT> keys;
            for (WORD key : {VK_RETURN, VK_ESCAPE, VK_TAB, VK_SPACE, VK_DOWN}) {
                for (DWORD flags : {DWORD{0}, DWORD{KEYEVENTF_KEYUP}}) {
                    INPUT input = {};
                    input.type = INPUT_KEYBOARD;
                    input.ki.wVk = key;
                    input.ki.dwFlags = flags;
                    keys.push_back(input);
                }
            }
            ::SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
            ::Sleep(200);
        }
        recorder.Resume(k == 3);
    }
    const MessageBoxSeen count = Answer(program, IDOK);
    EXPECT_EQ(count.text, "Successfully converted 4 files");
    ::Sleep(500);
    EXPECT_FALSE(program.Finished());
    ::SendMessageA(program.MainWindow(), WM_NULL, 0, 0);
    EXPECT_EQ(program.FindWindowOfThread("#32770"), nullptr) << uitest::WindowText(program.FindWindowOfThread("#32770"));
    EXPECT_EQ(recorder.Runs().size(), 1u);

    const ProgressRecord run = recorder.Runs().at(0);
    // The keys neither closed the window before the run ended.
    EXPECT_EQ(run.stepsWhenHidden, 4);
    const RECT bar = Inset(run.barFrame, 2);
    const int middle = (bar.top + bar.bottom) / 2;
    const COLORREF empty = shots[0].At(bar.right - 1, middle);
    const RECT status = Inset(run.statusFrame, 2);
    for (std::size_t k = 0; k < 4; ++k) {
        int filled = 0;
        for (int x = bar.left; x < bar.right; ++x) filled += shots[k].At(x, middle) != empty;
        const int expected = static_cast<int>((bar.right - bar.left) * k / 4);
        EXPECT_NEAR(filled, expected, 4) << "shot " << k;
        const std::vector<COLORREF> line = shots[k].Pixels(status);
        const bool blank = std::all_of(line.begin(), line.end(), [&](COLORREF c) { return c == line.front(); });
        EXPECT_EQ(blank, k == 0) << "shot " << k;
        if (k > 1) {
            EXPECT_NE(line, shots[k - 1].Pixels(status)) << "shot " << k;
        }
    }
}

}  // namespace
