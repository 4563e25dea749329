// CFileDialog: the common open-file (or save-file) dialog.
//
// The filter is given as pairs of description and pattern separated by "|"
// and ended by "||", for instance "Text (*.txt)|*.txt|All Files (*.*)|*.*||";
// the first pair is in force when the dialog opens. The chosen path fits a
// buffer of MAX_PATH bytes; a longer one ends the dialog as a cancel would.
#pragma once

#include <string>

#include "ui/framework/wnd.h"

class CFileDialog {
public:
    // defaultExtension (without the dot) is added to a typed name that has
    // none; fileName is the initial name. parent owns the dialog; with none,
    // the application's main window does.
    CFileDialog(BOOL openFileDialog, const char* defaultExtension = nullptr, const char* fileName = nullptr,
                DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char* filter = nullptr,
                const CWnd* parent = nullptr);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    // Runs the dialog; IDOK when a file was chosen, else IDCANCEL.
    INT_PTR DoModal();

    // The chosen file's full path.
    std::string GetPathName() const { return path_; }

    // The dialog's description, to be adjusted before DoModal (its title, for one).
    OPENFILENAMEA ofn = {};

private:
    BOOL openFileDialog_;
    const CWnd* parent_;
    std::string filter_;
    char path_[MAX_PATH] = "";
};
