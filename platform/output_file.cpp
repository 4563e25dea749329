#include "platform/output_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

#include "platform/files.h"

#ifdef _WIN32
#include "platform/win32.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#endif

namespace platform {
namespace {

constexpr int kNameAttempts = 100;
constexpr char kTemporaryPrefix[] = "~kelvane";
constexpr char kTemporarySuffix[] = ".tmp";

// The record of named temporary files, for a signal handler that ends the
// process. Each entry is taken by one file and moved through these states by
// that file's thread alone; the handler only reads them.
enum : int {
    kFree = 0,
    kClaimed = 1,    // taken; no name of ours exists
    kRemovable = 2,  // our name exists: the handler may remove it
    kMoving = 3,     // a name is being created or moved into place: the handler waits
};
constexpr int kRecordEntries = 256;
#ifdef _WIN32
constexpr std::size_t kRecordedName = 4096;  // the whole path
#else
constexpr std::size_t kRecordedName = 64;  // the name in its folder
#endif

struct RecordEntry {
    std::atomic<int> state{kFree};
    std::atomic<const void*> owner{nullptr};  // the thread that took the entry
    char name[kRecordedName] = {};
#ifndef _WIN32
    int folder = -1;
    // The identity of the file we wrote, so that the name is removed only
    // while it still leads to that file.
    unsigned long long device = 0;
    unsigned long long inode = 0;
#endif
};

RecordEntry record[kRecordEntries];
std::atomic<int> ending{0};  // set once by the handler: nothing is named any more

// Its address tells the threads apart, in a signal handler too.
thread_local char threadTag;

static_assert(std::atomic<int>::is_always_lock_free, "the record is read in a signal handler");

// An entry for a file that will name a temporary; -1 when all are taken (the
// file then goes unrecorded, and an interruption may leave its name behind).
int TakeEntry() {
    for (int i = 0; i < kRecordEntries; ++i) {
        int expected = kFree;
        if (record[i].state.compare_exchange_strong(expected, kClaimed)) {
            record[i].owner = &threadTag;
            return i;
        }
    }
    return -1;
}

void SetState(int entry, int state) {
    if (entry >= 0) record[entry].state.store(state);
}

// Enters kMoving before a name is created or moved; false when the process is
// being ended, and then nothing may be named.
bool BeginMoving(int entry, int stateAfterRefusal) {
    SetState(entry, kMoving);
    if (ending.load() == 0) return true;
    SetState(entry, stateAfterRefusal);
    return false;
}

void ReleaseEntry(int& entry) {
    SetState(entry, kFree);
    entry = -1;
}

// A name nobody can guess beforehand: 16 hex digits from a generator seeded
// once per thread from the system's random source and the clock.
std::string RandomName() {
    thread_local std::mt19937_64 mixer = [] {
        std::random_device device;
        const std::uint64_t seed =
            (static_cast<std::uint64_t>(device()) << 32 ^ device()) ^
            static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
            reinterpret_cast<std::uintptr_t>(&threadTag);
        return std::mt19937_64(seed);
    }();
    const std::uint64_t value = mixer();
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

void RecordName(int entry, const std::string& name) {
    if (entry < 0) return;
    const std::size_t length = name.size() < kRecordedName - 1 ? name.size() : kRecordedName - 1;
    std::memcpy(record[entry].name, name.c_str(), length);
    record[entry].name[length] = '\0';
}

#ifdef _WIN32
void RemoveRecorded(RecordEntry& entry) { DeleteFileA(entry.name); }
#else
void Pause() {
    const timespec millisecond{0, 1000000};
    nanosleep(&millisecond, nullptr);
}

// Removes the name in folder while it still leads to the file of that identity.
bool RemoveIfSame(int folder, const char* name, unsigned long long device, unsigned long long inode) {
    struct stat there {};
    return fstatat(folder, name, &there, AT_SYMLINK_NOFOLLOW) == 0 &&
           static_cast<unsigned long long>(there.st_dev) == device &&
           static_cast<unsigned long long>(there.st_ino) == inode && unlinkat(folder, name, 0) == 0;
}

void RemoveRecorded(RecordEntry& entry) { RemoveIfSame(entry.folder, entry.name, entry.device, entry.inode); }

// Links the unnamed file fd under name in folder; 0 or the system's error.
// Linking by the descriptor itself needs a privilege most users lack; its
// refusal is remembered, and the file is then linked through /proc.
int LinkUnnamed(int fd, int folder, const char* name) {
    static std::atomic<bool> byDescriptorRefused{false};
    if (!byDescriptorRefused.load()) {
        if (linkat(fd, "", folder, name, AT_EMPTY_PATH) == 0) return 0;
        if (errno != ENOENT) return errno;
        byDescriptorRefused.store(true);
    }
    char self[32];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    return linkat(AT_FDCWD, self, folder, name, AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}
#endif

}  // namespace

void RemoveTemporaryFilesInProgress() {
    ending.store(1);
    for (RecordEntry& entry : record) {
        // A file being moved into place by another thread arrives whole in a
        // moment; one being moved by the thread this handler interrupted
        // never will.
#ifndef _WIN32
        for (int waited = 0; waited < 2000 && entry.state.load() == kMoving && entry.owner.load() != &threadTag;
             ++waited)
            Pause();
#else
        for (int waited = 0; waited < 2000 && entry.state.load() == kMoving && entry.owner.load() != &threadTag;
             ++waited)
            Sleep(1);
#endif
        const int state = entry.state.load();
        if (state == kRemovable || state == kMoving) RemoveRecorded(entry);
    }
}

OutputFile::~OutputFile() { Discard(); }

void OutputFile::Begin(const char* path) {
    Discard();
    failed_ = false;
    reason_.clear();
    target_ = path;
}

bool OutputFile::Fail(const char* reason) {
    if (!failed_) reason_ = reason;
    failed_ = true;
    return false;
}

#ifdef _WIN32

bool OutputFile::Fail(int error) { return Fail(SystemReason(static_cast<DWORD>(error)).c_str()); }

bool OutputFile::Open(const char* path) {
    Begin(path);
    SplitPath(target_, &folderPath_, &name_);
    slot_ = TakeEntry();
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string candidate = folderPath_ + RandomName();
        RecordName(slot_, candidate);
        if (!BeginMoving(slot_, kClaimed)) return Fail("the program is ending");
        // CREATE_NEW: only a name that did not exist, never through a link.
        // Shared for deletion, so that an interruption can remove it.
        HANDLE file = CreateFileA(candidate.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            handle_ = file;
            temporary_ = candidate;
            SetState(slot_, kRemovable);
            return true;
        }
        const DWORD error = GetLastError();
        SetState(slot_, kClaimed);
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return Fail(static_cast<int>(error));
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
    DWORD error = closed ? ERROR_SUCCESS : GetLastError();
    if (closed && !BeginMoving(slot_, kRemovable)) error = ERROR_OPERATION_ABORTED;
    if (error == ERROR_SUCCESS && !MoveFileExA(temporary_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING))
        error = GetLastError();
    if (error != ERROR_SUCCESS) {
        SetState(slot_, kRemovable);
        Discard();
        return Fail(static_cast<int>(error));
    }
    temporary_.clear();
    ReleaseEntry(slot_);
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
    ReleaseEntry(slot_);
}

#else

bool OutputFile::Fail(int error) { return Fail(std::strerror(error)); }

bool OutputFile::Open(const char* path) {
    Begin(path);
    std::string folder;
    SplitPath(target_, &folder, &name_);
    folder_ = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_ < 0) return Fail(errno);
    ownsFolder_ = true;
    return Start();
}

bool OutputFile::Open(int folder, const char* name) {
    Begin(name);
    name_ = name;
    folder_ = folder;
    ownsFolder_ = false;
    return Start();
}

bool OutputFile::Start() {
#ifdef O_TMPFILE
    // Unnamed until it is complete: a run killed now leaves nothing behind.
    fd_ = openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd_ >= 0) return true;
#endif
    slot_ = TakeEntry();
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string candidate = RandomName();
        RecordName(slot_, candidate);
        if (!BeginMoving(slot_, kClaimed)) return Fail("the program is ending");
        fd_ = openat(folder_, candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            temporary_ = candidate;
            if (!RememberIdentity()) return false;
            SetState(slot_, kRemovable);
            return true;
        }
        const int error = errno;
        SetState(slot_, kClaimed);
        if (error != EEXIST) return Fail(error);
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
    if (slot_ >= 0) {
        record[slot_].folder = folder_;
        record[slot_].device = device_;
        record[slot_].inode = inode_;
    }
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

bool OutputFile::NameAfresh() {
    slot_ = TakeEntry();
    if (!RememberIdentity()) return false;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string candidate = RandomName();
        RecordName(slot_, candidate);
        if (!BeginMoving(slot_, kClaimed)) return Fail("the program is ending");
        const int error = LinkUnnamed(fd_, folder_, candidate.c_str());
        if (error == 0) {
            temporary_ = candidate;
            SetState(slot_, kRemovable);
            return true;
        }
        SetState(slot_, kClaimed);
        if (error != EEXIST) return Fail(error);
    }
    return Fail("no free temporary name");
}

bool OutputFile::Commit() {
    if (fd_ < 0 || failed_) {
        Discard();
        return Fail("not open");
    }
    const bool unnamed = temporary_.empty();
    if (unnamed) {
        // Complete and still unnamed: where nothing stands under the target's
        // name, the file takes it in one step. (The descriptor is closed
        // afterwards: unnamed files exist on local file systems only, whose
        // close reports nothing a write did not.)
        const int error = LinkUnnamed(fd_, folder_, name_.c_str());
        if (error == 0) {
            Discard();
            return true;
        }
        if (error != EEXIST) {
            Discard();
            return Fail(error);
        }
    }
    // Something stands there: a replaced image keeps its permission bits; a
    // link is replaced, never followed.
    struct stat old {};
    if (fstatat(folder_, name_.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode) &&
        fchmod(fd_, old.st_mode & 0777) != 0) {
        const int error = errno;
        Discard();
        return Fail(error);
    }
    if (unnamed && !NameAfresh()) {
        Discard();
        return false;
    }
    // A named file may live on a file system whose close reports a failed
    // write: it is closed before it takes the target's place.
    if (!unnamed && close(fd_) != 0) {
        fd_ = -1;
        const int error = errno;
        Discard();
        return Fail(error);
    }
    if (!unnamed) fd_ = -1;
    if (!BeginMoving(slot_, kRemovable) || renameat(folder_, temporary_.c_str(), folder_, name_.c_str()) != 0) {
        const int error = ending.load() == 0 ? errno : ECANCELED;
        SetState(slot_, kRemovable);
        Discard();
        return Fail(error);
    }
    temporary_.clear();
    Discard();
    return true;
}

void OutputFile::Discard() {
    if (!temporary_.empty()) {
        // Remove the name only while it is still the file we made: someone
        // may have put something else there since.
        RemoveIfSame(folder_, temporary_.c_str(), device_, inode_);
        temporary_.clear();
    }
    ReleaseEntry(slot_);
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (ownsFolder_ && folder_ >= 0) close(folder_);
    folder_ = -1;
    ownsFolder_ = false;
}

#endif

}  // namespace platform
