// Output files elsewhere: an unnamed (O_TMPFILE) or freshly named temporary
// file in the target's folder descriptor, linked or renamed into place.
#ifndef _WIN32
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/output_file.h"
#include "platform/temporary_record.h"

namespace platform {

using namespace temporary_record;

namespace {

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

}  // namespace

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
    RecordIdentity(slot_, folder_, device_, inode_);
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
        const int error = Ending() ? ECANCELED : errno;
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

}  // namespace platform

#endif
