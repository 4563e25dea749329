// The command-line tools as functions of the page's core.
#include "cli/command_line.h"
#include "cli/convert_command.h"
#include "cli/pack_command.h"
#include "web/bridge.h"

extern "C" {

int KelvaneConvert(int argc, char** argv) {
    // The packer names itself; the converter is the default name.
    programName = "kelvane-convert";
    return RunConvertCommand(argc, argv);
}

int KelvanePack(int argc, char** argv) { return RunPackCommand(argc, argv); }

}  // extern "C"
