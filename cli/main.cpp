// kelvane-convert: the command-line batch converter on the program's core.
#include <cstdio>

#include "cli/batch.h"
#include "cli/options.h"

#ifndef KELVANE_VERSION
#error "KELVANE_VERSION is set by the build"
#endif

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) return kExitRefused;
    if (options.help) {
        std::fputs(kUsage, stdout);
        return kExitClean;
    }
    if (options.version) {
        std::printf("%s %s\n", kProgramName, KELVANE_VERSION);
        return kExitClean;
    }
    return RunBatch(options);
}
