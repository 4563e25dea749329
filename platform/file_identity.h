// Whether two paths lead to the same file: by the file's identity (device
// and inode; volume and file index on Windows), not by the spelling of the
// paths, so that links and other names of a file are seen through.
#pragma once

namespace platform {

// True when both paths name existing entries and those are one file.
bool SameFile(const char* left, const char* right);

}  // namespace platform
