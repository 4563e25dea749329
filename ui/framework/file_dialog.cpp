#include "ui/framework/file_dialog.h"

#include <cstring>

#include "ui/framework/win_app.h"

CFileDialog::CFileDialog(BOOL openFileDialog, const char* defaultExtension, const char* fileName, DWORD flags,
                         const char* filter, const CWnd* parent)
    : openFileDialog_(openFileDialog), parent_(parent) {
    if (filter != nullptr) {
        // The common dialog wants each part ended by a zero and the list by
        // two: "||" gives exactly that.
        filter_ = filter;
        for (char& c : filter_)
            if (c == '|') c = '\0';
    }
    if (fileName != nullptr) {
        std::strncpy(path_, fileName, sizeof path_ - 1);
        path_[sizeof path_ - 1] = '\0';
    }
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFilter = filter_.empty() ? nullptr : filter_.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = path_;
    ofn.nMaxFile = sizeof path_;
    ofn.lpstrDefExt = defaultExtension;
    ofn.Flags = flags;
}

INT_PTR CFileDialog::DoModal() {
    const CWnd* owner = parent_;
    if (owner == nullptr && CWinApp::Current() != nullptr) owner = CWinApp::Current()->GetMainWnd();
    ofn.hwndOwner = owner != nullptr ? owner->GetSafeHwnd() : nullptr;
    const BOOL chosen = openFileDialog_ ? ::GetOpenFileNameA(&ofn) : ::GetSaveFileNameA(&ofn);
    return chosen ? IDOK : IDCANCEL;
}
