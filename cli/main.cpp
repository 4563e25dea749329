// kelvane-convert: the command-line batch converter on the program's core.
#include <cstdlib>  // first: it tells whether the C library is glibc

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "run/convert_command.h"
#include "cli/interruption.h"
#include "cli/progress_bar.h"
#include "platform/terminal.h"

namespace {

// A batch run takes and frees blocks of much the same sizes file after file
// (the sprite file, the canvas, the PCX image). By default the C library hands
// large blocks back to the system at once and takes fresh zeroed pages for the
// next file; keeping them in the heap saves that work for every file.
void KeepFreedBlocks() {
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    // And the heap grows in large steps rather than by each block's size:
    // address space only, taken into use page by page.
    mallopt(M_TOP_PAD, 32 << 20);
#endif
}

}  // namespace

int main(int argc, char** argv) {
    KeepFreedBlocks();
    HandleInterruptions();
    // The bar is drawn on a terminal only; in a pipe or a file nothing at all.
    ProgressBar progress(platform::IsTerminal(stderr));
    return RunConvertCommand(argc, argv, &progress);
}
