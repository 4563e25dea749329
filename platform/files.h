// File-system operations of the core that the C library does not give alike on
// both platforms, and the path separator of the program's output paths.
#pragma once

// The one place the separator lives: output paths read "PCXFiles\walk.pcx" on
// Windows and "PCXFiles/walk.pcx" elsewhere. Joined to literals by the
// preprocessor, so the formats stay single literals.
#ifdef _WIN32
#define KV_PATH_SEPARATOR "\\"
#else
#define KV_PATH_SEPARATOR "/"
#endif

#include <cstdio>

namespace platform {

// Opens path for binary reading when it is a regular file, without ever
// waiting: a FIFO, a device or a folder is refused at once, not opened.
// Returns null on refusal or failure. The caller closes the stream.
std::FILE* OpenRegularFile(const char* path);

constexpr char kPathSeparator = KV_PATH_SEPARATOR[0];

// True when a file-system entry of any kind exists at path (access mode 0).
bool PathExists(const char* path);

// Creates the directory path; true on success.
bool MakeDirectory(const char* path);


}  // namespace platform
