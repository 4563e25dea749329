#include "platform/files.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#include <process.h>

#include "platform/win32.h"
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

bool PathExists(const char* path) {
#ifdef _WIN32
    return _access(path, 0) == 0;
#else
    return access(path, F_OK) == 0;
#endif
}

bool MakeDirectory(const char* path) {
#ifdef _WIN32
    return CreateDirectoryA(path, nullptr) != 0;
#else
    return mkdir(path, 0777) == 0;
#endif
}

bool MoveFileOver(const char* from, const char* to) {
#ifdef _WIN32
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return std::rename(from, to) == 0;
#endif
}

bool RemoveFile(const char* path) {
    return std::remove(path) == 0;
}

unsigned long ProcessId() {
#ifdef _WIN32
    return static_cast<unsigned long>(_getpid());
#else
    return static_cast<unsigned long>(getpid());
#endif
}

}  // namespace platform
