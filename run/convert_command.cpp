#include "run/convert_command.h"

#include <string>

#include "run/batch.h"
#include "run/options.h"

#ifndef KELVANE_VERSION
#error "KELVANE_VERSION is set by the build"
#endif

int RunConvertCommand(int argc, char** argv, RunProgress* progress) {
    // kelvane-pack's command may have run in this process before.
    programName = "kelvane-convert";
    Options options;
    if (!ParseOptions(argc, argv, options)) return kExitRefused;
    if (options.help) return PrintAndEnd(kUsage);
    if (options.version) return PrintAndEnd(std::string(programName) + " " + KELVANE_VERSION + "\n");
    return RunBatch(options, progress);
}
