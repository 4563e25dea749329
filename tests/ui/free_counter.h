// Counts how often the program releases one heap block. The UI tests link
// with malloc, calloc, realloc and free wrapped (see CMakeLists.txt), so every
// release the program's code makes passes here, whichever thread makes it.
#pragma once

namespace uitest {

// Starts counting the releases of block. A block handed out again by the
// allocator is another block: counting stops there.
void WatchReleases(const void* block);
// The releases of the watched block since WatchReleases.
int Releases();

}  // namespace uitest
