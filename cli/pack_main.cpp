// kelvane-pack: the process around the command (run/pack_command.h).
#include "run/command_line.h"
#include "cli/interruption.h"
#include "run/pack_command.h"

int main(int argc, char** argv) {
    programName = "kelvane-pack";
    HandleInterruptions();
    return RunPackCommand(argc, argv);
}
