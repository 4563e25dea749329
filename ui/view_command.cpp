// The View command of the main window.
#include "ui/main_window.h"

void MainWindow::OnView() {}
