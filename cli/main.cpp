// kelvane-convert: the command-line batch converter on the program's core.
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "cli/convert_command.h"
#include "cli/interruption.h"

namespace {

// A batch run takes and frees blocks of much the same sizes file after file
// (the sprite file, the canvas, the PCX image). By default the C library hands
// large blocks back to the system at once and takes fresh zeroed pages for the
// next file; keeping them in the heap saves that work for every file.
void KeepFreedBlocks() {
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
}

}  // namespace

int main(int argc, char** argv) {
    KeepFreedBlocks();
    HandleInterruptions();
    return RunConvertCommand(argc, argv);
}
