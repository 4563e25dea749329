// kelvane.exe: the Windows program. Everything but this entry point lives in
// the kelvane_ui library, which the UI tests run as well.
#include "ui/application.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return RunApplication(application); }
