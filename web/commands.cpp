// The command-line tools as functions of the page's core.
#include <cstdio>
#include <new>

#include "run/command_line.h"
#include "run/convert_command.h"
#include "run/pack_command.h"
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

// The page's core has a fixed ceiling of memory; an allocation the core does
// not answer itself must end the command with the tool's notice, never
// escape into the worker as a bare exception.
template <typename Command>
int WithinMemory(Command command, int refusedStatus) {
    try {
        return command();
    } catch (const std::bad_alloc&) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: Not enough memory; the command stopped\n", programName);
        return refusedStatus;
    }
}

}  // namespace

extern "C" {

int KelvaneConvert(int argc, char** argv) {
    // The packer names itself; the converter is the default name.
    programName = "kelvane-convert";
    return WithinMemory([&] { return RunConvertCommand(argc, argv); }, kExitNotices);
}

// A pack that ran out of memory wrote nothing.
int KelvanePack(int argc, char** argv) {
    return WithinMemory([&] { return RunPackCommand(argc, argv, kPageWording); }, kExitRefused);
}

}  // extern "C"
