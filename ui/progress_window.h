// The "Working..." window of a conversion run: a status line naming the file
// being converted above a bar that steps once per file. The object lives with
// the main window; each run creates the window modeless and destroys it at
// its end, so every run starts with an empty line and an empty bar.
#pragma once

#include "ui/framework/dialog.h"
#include "ui/framework/progress_ctrl.h"
#include "ui/framework/static.h"

class ProgressWindow : public CDialog {
public:
    ProgressWindow();

    // Overrides.
    // Consumes WM_KEYDOWN, so that no key closes the window or moves in it;
    // everything else goes the usual way.
    BOOL PreTranslateMessage(MSG* message) override;

    // The run dispatches no messages, so nothing would show a change before
    // it ends. Paints control, whose text or position has just changed, and
    // takes the keys pressed in the window meanwhile (TakeKeys).
    void ShowNow(const CWnd& control);
    // Keys pressed in the window while the run works would otherwise wait in
    // the queue and act on whatever has the focus once the run is over (the
    // count's message box, the main window). Takes the window's keyboard
    // messages out of the queue, each through PreTranslateMessage, and
    // dispatches none of them. Takes no other message.
    void TakeKeys();

    CProgressCtrl progressBar;
    CStatic statusText;

protected:
    // Overrides.
    void DoDataExchange(CDataExchange* exchange) override;
    // Publishes the window as progressWindow, centres it over the main window,
    // shows it and paints it before the run reads its first file.
    BOOL OnInitDialog() override;
    // The controls went with the window: the next run binds its own.
    void PostNcDestroy() override;
};
