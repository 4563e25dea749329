#include "ui/image_viewer.h"

#include <iterator>

#include "res/resource.h"

const Event<CDialog> ImageViewer::events[] = {
    MessageEvent<&ImageViewer::OnEraseBkgnd>(WM_ERASEBKGND),
    // IDOK (Enter) and IDCANCEL (Esc, the close box): CDialog ends the run.
};
const EventTable<CDialog> ImageViewer::eventTable = {std::begin(events), std::end(events), &CDialog::eventTable};

ImageViewer::ImageViewer() : CDialog(IDD_IMAGE_VIEWER) {}

const EventTable<CDialog>* ImageViewer::GetEventTable() const { return &eventTable; }

INT_PTR ImageViewer::Show(const std::string& path) {
    imagePath = &path;
    const INT_PTR result = DoModal();
    imagePath = nullptr;
    return result;
}

BOOL ImageViewer::OnInitDialog() {
    CDialog::OnInitDialog();
    // A failure has been reported by the reader. The window keeps its
    // template's size then and is centred and shown as any hidden dialog is.
    if (imagePath != nullptr && ReadPcx(imagePath->c_str(), GetSafeHwnd(), &image)) {
        FitToImage();
        CenterWindow();
    }
    return TRUE;
}

void ImageViewer::FitToImage() {
    // The frame as this window has it (caption, borders, client edge), so
    // that no row or column of the image is cut off, whatever the metrics.
    RECT outer = {0, 0, image.width, image.height};
    const HWND window = GetSafeHwnd();
    ::AdjustWindowRectEx(&outer, static_cast<DWORD>(::GetWindowLongA(window, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongA(window, GWL_EXSTYLE)));
    ::SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_SHOWWINDOW);
}

// The whole image on every erase; there is no painting of its own, and no
// background is painted over or around it.
LRESULT ImageViewer::OnEraseBkgnd(WPARAM context, LPARAM) {
    if (!image.pixels || !image.bitmapInfo) {
        Default();
        return 0;
    }
    ::SetDIBitsToDevice(reinterpret_cast<HDC>(context), 0, 0, static_cast<DWORD>(image.width),
                        static_cast<DWORD>(image.height), 0, 0, 0, static_cast<UINT>(image.height), image.pixels.get(),
                        reinterpret_cast<const BITMAPINFO*>(image.bitmapInfo.get()), DIB_RGB_COLORS);
    return 1;
}

void ImageViewer::PostNcDestroy() { image = DisplayImage(); }
