// The command-line tools as functions of the page's core.
#include "cli/command_line.h"
#include "web/bridge.h"

// The tools' own mains, compiled under these names for the page (web/CMakeLists.txt).
int KelvaneConvertMain(int argc, char** argv);
int KelvanePackMain(int argc, char** argv);

extern "C" {

int KelvaneConvert(int argc, char** argv) {
    programName = "kelvane-convert";
    return KelvaneConvertMain(argc, argv);
}

int KelvanePack(int argc, char** argv) {
    programName = "kelvane-pack";
    return KelvanePackMain(argc, argv);
}

}  // extern "C"
