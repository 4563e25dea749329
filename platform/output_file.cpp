#include "platform/output_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <random>

#ifdef _WIN32
#include "platform/win32.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {
namespace {

constexpr int kNameAttempts = 100;
constexpr char kTemporaryPrefix[] = "~kelvane";
constexpr char kTemporarySuffix[] = ".tmp";

// The named temporary file of the moment, for a signal handler: the text is
// complete before the flag goes up and stays put until it comes down.
char inProgressPath[4096];
volatile std::sig_atomic_t inProgress = 0;

void MarkInProgress(const std::string& path) {
    inProgress = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (path.size() >= sizeof inProgressPath) return;  // too long to remember: the handler leaves it
    std::memcpy(inProgressPath, path.c_str(), path.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    inProgress = 1;
}

void ClearInProgress() { inProgress = 0; }

// A name nobody can guess: 16 hex digits from the system's random source,
// mixed with the clock so that even a weak source differs between runs.
std::string RandomName() {
    static std::random_device device;
    static std::mt19937_64 mixer(
        (static_cast<std::uint64_t>(device()) << 32 ^ device()) ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    const std::uint64_t value = mixer() ^ (static_cast<std::uint64_t>(device()) << 32 | device());
    static const char kHex[] = "0123456789abcdef";
    std::string name(kTemporaryPrefix);
    for (int shift = 60; shift >= 0; shift -= 4) name += kHex[(value >> shift) & 0xF];
    return name + kTemporarySuffix;
}

// The folder part of path with its separator ("" for a plain name) and the
// name part.
void SplitPath(const std::string& path, std::string* folder, std::string* name) {
#ifdef _WIN32
    const std::size_t cut = path.find_last_of("\\/");
#else
    const std::size_t cut = path.find_last_of('/');
#endif
    *folder = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
    *name = cut == std::string::npos ? path : path.substr(cut + 1);
}

#ifdef _WIN32
std::string SystemMessage(DWORD error) {
    char text[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                        text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.' ||
                                message.back() == ' '))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(error) : message;
}
#endif

}  // namespace

const char* TemporaryFileInProgress() { return inProgress ? inProgressPath : nullptr; }

OutputFile::~OutputFile() { Discard(); }

void OutputFile::Begin(const char* path, std::string* folder, std::string* name) {
    Discard();
    failed_ = false;
    reason_.clear();
    target_ = path;
    SplitPath(target_, folder, name);
}

bool OutputFile::Fail(const char* reason) {
    if (!failed_) reason_ = reason;
    failed_ = true;
    return false;
}

#ifdef _WIN32

bool OutputFile::Fail(int error) { return Fail(SystemMessage(static_cast<DWORD>(error)).c_str()); }

bool OutputFile::Open(const char* path) {
    std::string folder, name;
    Begin(path, &folder, &name);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string candidate = folder + RandomName();
        // CREATE_NEW: only a name that did not exist, never through a link.
        HANDLE file = CreateFileA(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            handle_ = file;
            temporary_ = candidate;
            MarkInProgress(temporary_);
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            return Fail(static_cast<int>(GetLastError()));
    }
    return Fail("no free temporary name");
}

bool OutputFile::Write(const std::uint8_t* bytes, std::size_t length) {
    if (handle_ == nullptr || failed_) return Fail("not open");
    while (length > 0) {
        const DWORD piece = length > 0x40000000u ? 0x40000000u : static_cast<DWORD>(length);
        DWORD written = 0;
        if (!WriteFile(static_cast<HANDLE>(handle_), bytes, piece, &written, nullptr) || written == 0)
            return Fail(static_cast<int>(GetLastError()));
        bytes += written;
        length -= written;
    }
    return true;
}

bool OutputFile::Commit() {
    if (handle_ == nullptr || failed_) {
        Discard();
        return Fail("not open");
    }
    const bool closed = CloseHandle(static_cast<HANDLE>(handle_)) != 0;
    handle_ = nullptr;
    if (!closed || !MoveFileExA(temporary_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        const DWORD error = GetLastError();
        DeleteFileA(temporary_.c_str());
        temporary_.clear();
        ClearInProgress();
        return Fail(static_cast<int>(error));
    }
    temporary_.clear();
    ClearInProgress();
    return true;
}

void OutputFile::Discard() {
    if (handle_ != nullptr) {
        CloseHandle(static_cast<HANDLE>(handle_));
        handle_ = nullptr;
    }
    if (!temporary_.empty()) {
        DeleteFileA(temporary_.c_str());
        temporary_.clear();
    }
    ClearInProgress();
}

#else

bool OutputFile::Fail(int error) { return Fail(std::strerror(error)); }

bool OutputFile::Open(const char* path) {
    std::string folder, name;
    Begin(path, &folder, &name);
    folder_ = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_ < 0) return Fail(errno);
#ifdef O_TMPFILE
    // Unnamed until it is complete: a run killed now leaves nothing behind.
    fd_ = openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd_ >= 0) return RememberIdentity();
#endif
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string candidate = RandomName();
        MarkInProgress(folder + candidate);
        fd_ = openat(folder_, candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            temporary_ = candidate;
            return RememberIdentity();
        }
        ClearInProgress();
        if (errno != EEXIST) return Fail(errno);
    }
    return Fail("no free temporary name");
}

bool OutputFile::RememberIdentity() {
    struct stat self {};
    if (fstat(fd_, &self) != 0) {
        const int error = errno;
        Discard();
        return Fail(error);
    }
    device_ = static_cast<unsigned long long>(self.st_dev);
    inode_ = static_cast<unsigned long long>(self.st_ino);
    return true;
}

bool OutputFile::Write(const std::uint8_t* bytes, std::size_t length) {
    if (fd_ < 0 || failed_) return Fail("not open");
    while (length > 0) {
        const ssize_t written = write(fd_, bytes, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return Fail(written < 0 ? errno : ENOSPC);
        bytes += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

bool OutputFile::Commit() {
    if (fd_ < 0 || failed_) {
        Discard();
        return Fail("not open");
    }
    std::string folder, name;
    SplitPath(target_, &folder, &name);
    // A replaced image keeps its permission bits; a link at the target is
    // replaced, never followed.
    struct stat old {};
    if (fstatat(folder_, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode) &&
        fchmod(fd_, old.st_mode & 0777) != 0) {
        const int error = errno;
        Discard();
        return Fail(error);
    }
    if (temporary_.empty()) {
        // Name the unnamed file under a fresh name of its own, then move it.
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        for (int attempt = 0; attempt < kNameAttempts && temporary_.empty(); ++attempt) {
            const std::string candidate = RandomName();
            MarkInProgress(folder + candidate);
            if (linkat(fd_, "", folder_, candidate.c_str(), AT_EMPTY_PATH) == 0 ||
                linkat(AT_FDCWD, self.c_str(), folder_, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                temporary_ = candidate;
                break;
            }
            ClearInProgress();
            if (errno != EEXIST) {
                const int error = errno;
                Discard();
                return Fail(error);
            }
        }
        if (temporary_.empty()) {
            Discard();
            return Fail("no free temporary name");
        }
    }
    if (close(fd_) != 0) {
        fd_ = -1;
        const int error = errno;
        Discard();
        return Fail(error);
    }
    fd_ = -1;
    if (renameat(folder_, temporary_.c_str(), folder_, name.c_str()) != 0) {
        const int error = errno;
        Discard();
        return Fail(error);
    }
    temporary_.clear();
    ClearInProgress();
    close(folder_);
    folder_ = -1;
    return true;
}

void OutputFile::Discard() {
    if (!temporary_.empty()) {
        // Remove the name only while it is still the file we made: someone
        // may have put something else there since.
        struct stat there {};
        if (fstatat(folder_, temporary_.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
            static_cast<unsigned long long>(there.st_dev) == device_ &&
            static_cast<unsigned long long>(there.st_ino) == inode_)
            unlinkat(folder_, temporary_.c_str(), 0);
        temporary_.clear();
    }
    ClearInProgress();
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (folder_ >= 0) close(folder_);
    folder_ = -1;
}

#endif

}  // namespace platform
