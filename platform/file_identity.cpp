#include "platform/file_identity.h"

#ifdef _WIN32
#include "platform/win32.h"
#else
#include <sys/stat.h>
#endif

namespace platform {

#ifdef _WIN32
namespace {

// The volume and the file index, read through a handle that asks for no access.
bool Identify(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool known = GetFileInformationByHandle(file, info) != 0;
    CloseHandle(file);
    return known;
}

}  // namespace

bool SameFile(const char* left, const char* right) {
    BY_HANDLE_FILE_INFORMATION a, b;
    return Identify(left, &a) && Identify(right, &b) && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}
#else
bool SameFile(const char* left, const char* right) {
    struct stat a, b;
    return stat(left, &a) == 0 && stat(right, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
#endif

}  // namespace platform
