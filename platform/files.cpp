#include "platform/files.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>

#include "platform/win32.h"
#else
#include <fcntl.h>
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

std::FILE* OpenRegularFile(const char* path) {
#ifdef _WIN32
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return nullptr;
    struct _stat64 status {};
    if (_fstat64(_fileno(file), &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG) {
        std::fclose(file);
        return nullptr;
    }
    return file;
#else
    // Non-blocking, so that opening a FIFO does not wait for a writer.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || fcntl(fd, F_SETFL, 0) != 0) {
        close(fd);
        return nullptr;
    }
    std::FILE* file = fdopen(fd, "rb");
    if (file == nullptr) close(fd);
    return file;
#endif
}

}  // namespace platform
