// The image viewer: a small modal window that shows one converted PCX file
// at its natural size, one screen pixel per image pixel, with nothing else in
// it. The main window keeps one viewer for its whole life and shows every
// image of a View through it, one after another.
#pragma once

#include <string>

#include "ui/program/pcx_file.h"
#include "ui/framework/dialog.h"

class ImageViewer : public CDialog {
public:
    ImageViewer();

    // Runs the viewer modally over the main window on the PCX file at path,
    // and returns when the user has closed it (close box, Esc or Enter). A
    // file that cannot be shown has been reported by then, and the window
    // opened empty at its template's size.
    INT_PTR Show(const std::string& path);

protected:
    // Overrides.
    // Reads the file; with an image, sizes the window to it, shows it and
    // centres it over the main window.
    BOOL OnInitDialog() override;
    // Releases the image: every opening starts without one.
    void PostNcDestroy() override;
    const EventTable<CDialog>* GetEventTable() const override;

    // Handlers.
    LRESULT OnEraseBkgnd(WPARAM context, LPARAM);

private:
    // Gives the window the outer size whose client area is exactly the image.
    void FitToImage();

    static const Event<CDialog> events[];
    static const EventTable<CDialog> eventTable;

    const std::string* imagePath = nullptr;
    DisplayImage image;
};
