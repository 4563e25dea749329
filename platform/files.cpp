#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <direct.h>
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

#ifdef _WIN32
std::string SystemReason(unsigned long error) {
    char text[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                        text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == '.' || message.back() == ' '))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(error) : message;
}
#endif

ReasonRoom RoomOf(const std::string& reason) {
    if (reason.empty()) return ReasonRoom::Enough;
#ifdef _WIN32
    for (const DWORD error : {DWORD{ERROR_DISK_FULL}, DWORD{ERROR_HANDLE_DISK_FULL}})
        if (reason == SystemReason(error)) return ReasonRoom::Disk;
    for (const DWORD error : {DWORD{ERROR_NOT_ENOUGH_MEMORY}, DWORD{ERROR_OUTOFMEMORY}})
        if (reason == SystemReason(error)) return ReasonRoom::Memory;
#else
    for (const int error : {ENOSPC, EDQUOT})
        if (reason == std::strerror(error)) return ReasonRoom::Disk;
    if (reason == std::strerror(ENOMEM)) return ReasonRoom::Memory;
#endif
    return ReasonRoom::Enough;
}

bool Identify(const char* path, FileIdentity* identity) {
#ifdef _WIN32
    // Windows numbers its files per volume; the C library's stat does not say.
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION information{};
    const bool known = GetFileInformationByHandle(file, &information) != 0;
    CloseHandle(file);
    if (!known) return false;
    identity->device = information.dwVolumeSerialNumber;
    identity->file = static_cast<unsigned long long>(information.nFileIndexHigh) << 32 | information.nFileIndexLow;
    return true;
#else
    struct stat status {};
    if (stat(path, &status) != 0) return false;
    identity->device = static_cast<unsigned long long>(status.st_dev);
    identity->file = static_cast<unsigned long long>(status.st_ino);
    return true;
#endif
}

bool SameFile(const char* left, const char* right) {
    FileIdentity one, other;
    return Identify(left, &one) && Identify(right, &other) && one == other;
}

bool IsFolder(const char* path) {
#ifdef _WIN32
    struct _stat64 status {};
    return _stat64(path, &status) == 0 && (status.st_mode & _S_IFMT) == _S_IFDIR;
#else
    struct stat status {};
    return stat(path, &status) == 0 && S_ISDIR(status.st_mode);
#endif
}

bool MakeFolders(const std::string& path, std::string* reason) {
#ifdef _WIN32
    const char* separators = "\\/";
#else
    const char* separators = "/";
#endif
    // Each folder of the path from the top down; the root, a drive or a
    // folder that exists refuses to be made and is passed over.
    for (std::size_t cut = path.find_first_of(separators, 1);; cut = path.find_first_of(separators, cut + 1)) {
        const std::string part = path.substr(0, cut);
#ifdef _WIN32
        const bool made = _mkdir(part.c_str()) == 0;
#else
        const bool made = mkdir(part.c_str(), 0777) == 0;
#endif
        const int error = errno;
        if (!made && !IsFolder(part.c_str())) {
            // Something that is no folder stands in the way: above the last
            // part the path then leads through a file.
            *reason = std::strerror(error == EEXIST && cut != std::string::npos ? ENOTDIR : error);
            return false;
        }
        if (cut == std::string::npos) return true;
    }
}

std::uint8_t* ReadWholeFile(const char* path, std::size_t slack, std::uint64_t maxSize, std::uint64_t* size) {
#ifdef _WIN32
    std::FILE* file = OpenRegularFile(path);
    if (file == nullptr) return nullptr;
    long long length = -1;
    if (_fseeki64(file, 0, SEEK_END) == 0) length = _ftelli64(file);
    std::uint8_t* block = nullptr;
    if (length > 0 && static_cast<std::uint64_t>(length) <= maxSize && _fseeki64(file, 0, SEEK_SET) == 0)
        block = static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(length) + slack));
    const std::size_t bytes = block != nullptr ? static_cast<std::size_t>(length) : 0;
    if (block != nullptr && std::fread(block, 1, bytes, file) != bytes) {
        std::free(block);
        block = nullptr;
    }
    std::fclose(file);
    if (block == nullptr) return nullptr;
    std::memset(block + bytes, 0, slack);
    *size = bytes;
    return block;
#else
    int error = 0;
    return ReadWholeFileAt(AT_FDCWD, path, slack, maxSize, size, &error);
#endif
}

#ifndef _WIN32
std::uint8_t* ReadWholeFileAt(int folder, const char* name, std::size_t slack, std::uint64_t maxSize,
                              std::uint64_t* size, int* error) {
    // Straight to the system, four calls a file: the C library's stream
    // would add a seek or two and a buffer.
    const int fd = openat(folder, name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);  // a FIFO does not wait for a writer
    *error = fd < 0 ? errno : 0;
    if (fd < 0) return nullptr;
    struct stat status {};
    std::uint8_t* block = nullptr;
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0 &&
        static_cast<std::uint64_t>(status.st_size) <= maxSize)
        block = static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(status.st_size) + slack));
    const std::size_t bytes = block != nullptr ? static_cast<std::size_t>(status.st_size) : 0;
    for (std::size_t done = 0; block != nullptr && done < bytes;) {
        const ssize_t got = read(fd, block + done, bytes - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            std::free(block);
            block = nullptr;
        } else {
            done += static_cast<std::size_t>(got);
        }
    }
    close(fd);
    if (block == nullptr) return nullptr;
    std::memset(block + bytes, 0, slack);
    *size = bytes;
    return block;
}
#endif

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
