// File-system operations of the core that the C library does not give alike on
// both platforms, and the path separator of the program's output paths.
#pragma once

// The separator the program writes into its output paths: they read
// "PCXFiles\walk.pcx" on Windows and "PCXFiles/walk.pcx" elsewhere. Joined
// to literals by the preprocessor, so the formats stay single literals.
// Code written for one platform only (the Win32 and POSIX halves of
// files.cpp and directory.cpp, output_file_win32.cpp and
// output_file_posix.cpp) splits and joins paths with that platform's own
// separators.
#ifdef _WIN32
#define KV_PATH_SEPARATOR "\\"
#else
#define KV_PATH_SEPARATOR "/"
#endif

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {

// Opens path for binary reading when it is a regular file, without ever
// waiting: a FIFO, a device or a folder is refused at once, not opened.
// Returns null on refusal or failure. The caller closes the stream.
std::FILE* OpenRegularFile(const char* path);

// Reads the regular file at path whole into a new block of its size + slack
// bytes (the slack zero-filled), without waiting on anything that is not a
// regular file. Returns the block (the caller frees it with std::free) and
// sets *size; null, with *size untouched, when the file cannot be opened, is
// no regular file, is empty or longer than maxSize, cannot be read in full,
// or memory is short.
std::uint8_t* ReadWholeFile(const char* path, std::size_t slack, std::uint64_t maxSize, std::uint64_t* size);

#ifndef _WIN32
// The same for the file name inside the open folder descriptor folder
// (AT_FDCWD: the current directory); *error is the system's error when the
// file cannot be opened, else 0.
std::uint8_t* ReadWholeFileAt(int folder, const char* name, std::size_t slack, std::uint64_t maxSize,
                              std::uint64_t* size, int* error);
#endif

constexpr char kPathSeparator = KV_PATH_SEPARATOR[0];

// True when a file-system entry of any kind exists at path (access mode 0).
bool PathExists(const char* path);

// Creates the directory path; true on success.
bool MakeDirectory(const char* path);

// True when path leads to a folder (links followed).
bool IsFolder(const char* path);

// Makes the folder path and every missing folder above it. A folder that
// exists already, or that someone else makes meanwhile, is taken as it is.
// False, with the system's reason in *reason, when some part of the path
// cannot be made a folder.
bool MakeFolders(const std::string& path, std::string* reason);

// Which file a path leads to (links followed), by device and file number:
// two paths lead to the same file when their identities are equal, however
// they are spelt.
struct FileIdentity {
    unsigned long long device = 0;
    unsigned long long file = 0;
    bool operator==(const FileIdentity& other) const { return device == other.device && file == other.file; }
};

// True, with *identity, when path leads to an existing file of any kind.
bool Identify(const char* path, FileIdentity* identity);

// True when both paths lead to existing entries and those are one file.
bool SameFile(const char* left, const char* right);

// What a system reason, as this layer words it, says ran out.
enum class ReasonRoom { Enough, Memory, Disk };
ReasonRoom RoomOf(const std::string& reason);

#ifdef _WIN32
// The system's text for a Windows error code, without its closing full stop.
std::string SystemReason(unsigned long error);
#endif

}  // namespace platform
