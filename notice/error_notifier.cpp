#include "notice/error_notifier.h"

#include "notice/notice_collector.h"
#include "platform/seam.h"

bool showErrors = true;
HWND errorsCheckBox = nullptr;
HWND ownerFallbackWindow = nullptr;
HWND progressWindow = nullptr;

void NotifyError(HWND owner, const char* text) { NotifyError(owner, text, nullptr); }

void NotifyError(HWND owner, const char* text, const char* reason) {
    if (!showErrors) return;
    if (NoticeCollector* collector = NoticeCollector::Current()) {
        collector->Add(Notice::Kind::Notice, text, reason);
        return;
    }
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
    if (NoticeCollector* collector = NoticeCollector::Current()) {
        collector->Add(Notice::Kind::Fault, text);
        return;
    }
    platform::MessageBoxA(owner, text, kConverterCaption, MB_OK | MB_ICONINFORMATION);
}

namespace {

class ProgramNotices final : public Diagnostics {
public:
    void Report(const Diagnostic& notice) override {
        const std::string text = NoticeText(notice);
        if (notice.code == NoticeCode::kRemark)
            Remark(text);
        else if (IsCodingFault(notice.code))
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
