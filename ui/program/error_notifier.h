// The program's notices: message boxes over the core's notices, which the
// user can silence for the rest of the session by answering No in a notice,
// or with the main window's "Do not show &errors" check box. The program runs
// on one thread; these values are its own.
#pragma once

#include <string>

#include "notice/diagnostics.h"
#include "platform/win32.h"

// The question that closes every notice the user can silence.
extern const char kFurtherNotices[];

// The caption of every message box of the conversion and of help.
inline constexpr const char kConverterCaption[] = "Kelvane Converter";

// Notices are shown while true. Starts true in every process; never saved.
extern bool showErrors;

// The main window's check box 1003; ticked when a notice is answered No.
extern HWND errorsCheckBox;

// The desktop window: owner of a notice whose caller names none.
extern HWND ownerFallbackWindow;

// The "Working..." window while a conversion run is active, none otherwise.
// Every message box of the run (notices, decoder faults) is owned by it.
extern HWND progressWindow;

// Shows text (which ends in the question whether further notices are wanted)
// in a Yes/No box captioned "Kelvane Converter", owned by owner, or by
// ownerFallbackWindow when owner is none. Does nothing while showErrors is
// false. A No answer turns showErrors off and ticks errorsCheckBox.
void NotifyError(HWND owner, const char* text);

// The same for a notice with a reason the system gave (why a file could not
// be written). The message box shows the text alone.
void NotifyError(HWND owner, const char* text, const char* reason);

// A fault in a frame's coded data: a plain box (OK, information icon)
// captioned "Kelvane Converter" and owned by owner, shown whatever showErrors
// says.
void ShowFault(HWND owner, const char* text);

// The text of a core notice as the program's box shows it: a refusal closed
// by "\n\n" and kFurtherNotices, a span overrun by a line break.
std::string BoxText(const Diagnostic& notice);

// The program's way with the core's notices: a coding fault through
// ShowFault, any other notice but a remark (the program has no place for
// those) through NotifyError, owned by progressWindow. Holds nothing of its
// own.
Diagnostics& ProgramDiagnostics();
