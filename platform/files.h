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

namespace platform {

constexpr char kPathSeparator = KV_PATH_SEPARATOR[0];

// True when a file-system entry of any kind exists at path (access mode 0).
bool PathExists(const char* path);

// Creates the directory path; true on success.
bool MakeDirectory(const char* path);

// Moves the file from over the file to, replacing it if it exists; true on success.
bool MoveFileOver(const char* from, const char* to);

// Removes the file path; true on success.
bool RemoveFile(const char* path);

// A number that tells this process from others running at the same time.
unsigned long ProcessId();

}  // namespace platform
