// The palette file a conversion run may write with instead of the built-in one.
#include "ui/main_window.h"

#include "ui/program/current_palette.h"
#include "ui/framework/file_dialog.h"

namespace {

// Without the current directory staying put, the run that follows would read
// its sprite files and write "PCXFiles" in the palette's folder.
constexpr DWORD kPaletteDialogFlags =
    OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_FILEMUSTEXIST | OFN_NONETWORKBUTTON | OFN_LONGNAMES;
static_assert(kPaletteDialogFlags == 0x22100C);

constexpr char kPaletteFilter[] = "Palette Files (*.pal;*.pl2)|*.pal;*.pl2|All Files (*.*)|*.*||";

}  // namespace

bool MainWindow::LoadCustomPalette() {
    CFileDialog dialog(TRUE, "pal", "", kPaletteDialogFlags, kPaletteFilter, this);
    dialog.ofn.lpstrTitle = "Select the palette to load...";
    if (dialog.DoModal() != IDOK) return false;
    // Any file of exactly 768 bytes is a palette, whatever its extension.
    return LoadPaletteFile(dialog.GetPathName().c_str()) == PaletteLoad::Loaded;
}
