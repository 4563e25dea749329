#include "ui/program/error_notifier.h"

#include "platform/seam.h"

const char kFurtherNotices[] = "Do you wish to receive further error notification?";

bool showErrors = true;
HWND errorsCheckBox = nullptr;
HWND ownerFallbackWindow = nullptr;
HWND progressWindow = nullptr;

void NotifyError(HWND owner, const char* text) { NotifyError(owner, text, nullptr); }

void NotifyError(HWND owner, const char* text, const char* reason) {
    (void)reason;  // the box has no room for it
    if (!showErrors) return;
    if (owner == nullptr) owner = ownerFallbackWindow;
    const int answer = platform::MessageBoxA(owner, text, kConverterCaption, MB_YESNO | MB_ICONINFORMATION);
    if (answer == IDNO) {
        showErrors = false;
        // A programmatic tick: no BN_CLICKED follows, so the box's own handler
        // does not run and showErrors stays as set here.
        if (errorsCheckBox != nullptr) platform::SendMessageA(errorsCheckBox, BM_SETCHECK, BST_CHECKED, 0);
    }
}

void ShowFault(HWND owner, const char* text) {
    platform::MessageBoxA(owner, text, kConverterCaption, MB_OK | MB_ICONINFORMATION);
}

std::string BoxText(const Diagnostic& notice) {
    std::string text = NoticeText(notice);
    if (notice.code == NoticeCode::kSpanOverrun) text += "\n";
    if (IsRefusal(notice.code)) text = text + "\n\n" + kFurtherNotices;
    return text;
}

namespace {

class ProgramNotices final : public Diagnostics {
public:
    void Report(const Diagnostic& notice) override {
        const std::string text = BoxText(notice);
        if (notice.code == NoticeCode::kRemark) return;
        if (IsCodingFault(notice.code))
            ShowFault(progressWindow, text.c_str());
        else
            NotifyError(progressWindow, text.c_str(), notice.reason.empty() ? nullptr : notice.reason.c_str());
    }
};

}  // namespace

Diagnostics& ProgramDiagnostics() {
    static ProgramNotices notices;
    return notices;
}
