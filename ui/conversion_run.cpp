// The Convert command of the main window and the conversion run it frames.
#include "ui/main_window.h"

#include <cstdio>

#include "ui/program/frame_placement.h"
#include "ui/program/sprite_conversion.h"
#include "ui/program/current_palette.h"
#include "ui/program/error_notifier.h"
#include "res/resource.h"
#include "ui/framework/win_app.h"

namespace {

constexpr UINT kQuestion = MB_YESNO | MB_ICONQUESTION;
constexpr UINT kReport = MB_OK | MB_ICONINFORMATION;

constexpr char kCustomPaletteQuestion[] = "Do you wish to load a custom palette?";
constexpr char kCustomPaletteFailed[] = "Custom palette load was cancelled or failed!\n\nDo you wish to continue?";
constexpr char kNoProgressWindow[] = "Unable to open the progress window!";
constexpr char kStatusFormat[] = "Processing %s...";

}  // namespace

// Convert is the dialog's OK command; it never ends the main window's run.
void MainWindow::OnOK() { OnConvert(); }

void MainWindow::OnConvert() {
    CWinApp* app = CWinApp::Current();
    if (app != nullptr) app->BeginWaitCursor();
    ::EnableWindow(selfWindow, FALSE);
    StartConversionRun();
    RunConversion();
    RefreshFileList();
    char report[64];
    std::snprintf(report, sizeof report, "Successfully converted %d files", static_cast<int>(imagesWritten));
    ::MessageBoxA(selfWindow, report, kConverterCaption, kReport);
    ::EnableWindow(selfWindow, TRUE);
    if (app != nullptr) app->EndWaitCursor();
}

bool MainWindow::ChooseRunPalette() {
    // A custom palette lives from its run to the start of the next one.
    ReleasePalette();
    paletteIsBuiltIn = true;
    const bool customWanted = ::MessageBoxA(selfWindow, kCustomPaletteQuestion, kConverterCaption, kQuestion) == IDYES;
    if (customWanted && LoadCustomPalette()) {
        paletteIsBuiltIn = false;
        return true;
    }
    if (customWanted && ::MessageBoxA(selfWindow, kCustomPaletteFailed, kConverterCaption, kQuestion) == IDNO)
        return false;
    UseBuiltInPalette();
    return true;
}

void MainWindow::RunConversion() {
    if (!ChooseRunPalette()) return;
    // A message box or file dialog may enable its owner again when it closes,
    // whatever the owner was before (Wine's do), and leaves the arrow cursor:
    // the main window stays disabled, under the wait cursor, for the run.
    ::EnableWindow(selfWindow, FALSE);
    if (CWinApp* app = CWinApp::Current(); app != nullptr) app->RestoreWaitCursor();

    // Every notice of the run is owned by this window, which publishes itself
    // as progressWindow while it initialises.
    if (!progress.Create(IDD_PROGRESS_WINDOW)) {
        progressWindow = nullptr;
        ::MessageBoxA(selfWindow, kNoProgressWindow, kConverterCaption, kReport);
        return;
    }
    const CProgressCtrl& bar = progress.progressBar;
    const CStatic& status = progress.statusText;
    bar.SetRange(0, static_cast<short>(selectedCount));
    bar.SetStep(1);
    ReorderPalette();
    int current = fileList.GetNextItem(-1, LVNI_SELECTED);
    EnsureOutputFolder();

    // The run dispatches no messages, so neither control would repaint by
    // itself until the run is over: each change is shown as it is made.
    for (int iteration = 0; iteration < selectedCount; ++iteration) {
        // With fewer selected entries than counted, the iterations left over
        // have no file: they read nothing, and only step the bar.
        const int next = current == -1 ? -1 : fileList.GetNextItem(current, LVNI_SELECTED);
        if (current != -1) {
            char name[kNameBufferSize];
            fileList.GetItemText(current, 0, name, sizeof name);
            char text[sizeof kStatusFormat + kNameBufferSize];
            std::snprintf(text, sizeof text, kStatusFormat, name);
            status.SetWindowText(text);
            progress.ShowNow(status);
            ConvertSpriteFile(name);
        }
        bar.StepIt();
        progress.ShowNow(bar);
        current = next;
    }

    CloseOutputFolder();
    progress.TakeKeys();
    progress.EndDialog(0);
    progress.DestroyWindow();
    progressWindow = nullptr;
}
