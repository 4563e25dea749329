// A file read whole into a block with zero-filled slack after its bytes, so
// that the frame decoder may look past the end of the coded data.
#pragma once

#include <cstdint>

namespace platform {
class FolderHandle;
}

// Reads the file at path (relative to the current directory or absolute) into
// a new block of its size + kFileSlack bytes, the slack zero-filled. Returns
// the block and sets size; on failure (cannot open, empty, short read, no
// memory) returns null and leaves size untouched. The caller owns the block
// and releases it with std::free (or holds it in a HeapBlock).
std::uint8_t* ReadFileWithSlack(const char* path, std::uint32_t* size);

// The same for the file name inside the open folder; *missing tells, on
// failure, whether nothing of that name was there.
std::uint8_t* ReadFileWithSlackIn(const platform::FolderHandle& folder, const char* name, std::uint32_t* size,
                                  bool* missing);
