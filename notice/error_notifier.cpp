#include "notice/error_notifier.h"

#include "platform/seam.h"

bool showErrors = true;
HWND errorsCheckBox = nullptr;
HWND ownerFallbackWindow = nullptr;
HWND progressWindow = nullptr;
const char* noticeReason = nullptr;

void NotifyError(HWND owner, const char* text) {
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

void NotifyError(HWND owner, const char* text, const char* reason) {
    noticeReason = reason;
    NotifyError(owner, text);
    noticeReason = nullptr;
}
