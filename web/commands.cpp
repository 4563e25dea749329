// The command-line tools as functions of the page's core.
#include "cli/command_line.h"
#include "cli/convert_command.h"
#include "cli/pack_command.h"
#include "web/bridge.h"

namespace {

// The page's controls where the program names its options.
const PackWording kPageWording = {
    "choose the original sprite with the files to pack",
    "tick \"nearest colour\"",
    "pack the images with their manifest",
    "correct the sprite's name in the manifest",
    "save the images as PNG",
};

}  // namespace

extern "C" {

int KelvaneConvert(int argc, char** argv) {
    // The packer names itself; the converter is the default name.
    programName = "kelvane-convert";
    return RunConvertCommand(argc, argv);
}

int KelvanePack(int argc, char** argv) { return RunPackCommand(argc, argv, kPageWording); }

}  // extern "C"
