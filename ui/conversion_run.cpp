// The Convert command of the main window.
#include "ui/main_window.h"

// Convert is the dialog's OK command; it never ends the main window's run.
void MainWindow::OnOK() {}
