#include "platform/output_folder.h"

#include <cerrno>
#include <cstring>

#include "platform/files.h"
#include "platform/output_file.h"

#ifdef _WIN32
#include "platform/win32.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {
namespace {

// A memory file: its bytes go into the folder's map when committed.
class MemoryFile : public PendingFile {
public:
    MemoryFile(MemoryFolder& folder, std::string name) : folder_(folder), name_(std::move(name)) {}
    bool Write(const std::uint8_t* bytes, std::size_t length) override {
        bytes_.insert(bytes_.end(), bytes, bytes + length);
        return true;
    }
    bool Commit() override {
        folder_.files[name_] = std::move(bytes_);
        return true;
    }
    const std::string& Reason() const override { return reason_; }

private:
    MemoryFolder& folder_;
    std::string name_;
    std::vector<std::uint8_t> bytes_;
    std::string reason_;
};

}  // namespace

std::string OutputFolder::PathOf(const char* name) const { return path_ + kPathSeparator + name; }

const char kFolderIsLink[] = "is a link, not a folder of its own";

#ifdef _WIN32

DiskFolder::~DiskFolder() {
    if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
}

bool DiskFolder::Open(FolderLink rule) {
    // Held without sharing deletion: while the run has it, the folder can be
    // neither renamed nor replaced by a junction.
    const DWORD linkFlag = rule == FolderLink::Refuse ? FILE_FLAG_OPEN_REPARSE_POINT : 0;
    HANDLE folder = CreateFileA(path().c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | linkFlag, nullptr);
    if (folder == INVALID_HANDLE_VALUE) {
        reason_ = SystemReason(GetLastError());
        return false;
    }
    BY_HANDLE_FILE_INFORMATION information {};
    const bool known = GetFileInformationByHandle(folder, &information) != 0;
    // Some systems tell a reparse point only by its path's attributes.
    const DWORD attributes = known ? information.dwFileAttributes | GetFileAttributesA(path().c_str()) : 0;
    if (!known || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        reason_ = known ? SystemReason(ERROR_DIRECTORY) : SystemReason(GetLastError());
    } else if (rule == FolderLink::Refuse && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        reason_ = kFolderIsLink;
    } else {
        handle_ = folder;
        reason_.clear();
        return true;
    }
    CloseHandle(folder);
    return false;
}

std::unique_ptr<PendingFile> DiskFolder::Begin(const char* name, std::string* reason) {
    if (handle_ == nullptr) {
        *reason = reason_;
        return nullptr;
    }
    auto file = std::make_unique<OutputFile>();
    if (!file->Open(PathOf(name).c_str())) {
        *reason = file->Reason();
        return nullptr;
    }
    return file;
}

#else

DiskFolder::~DiskFolder() {
    if (fd_ >= 0) close(fd_);
}

bool DiskFolder::Open(FolderLink rule) {
    const int noFollow = rule == FolderLink::Refuse ? O_NOFOLLOW : 0;
    fd_ = open(path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | noFollow);
    if (fd_ >= 0) {
        reason_.clear();
        return true;
    }
    const int error = errno;
    // O_NOFOLLOW refuses a link at the last step with ELOOP; a link to
    // something that is no folder may say ENOTDIR first.
    struct stat status {};
    const bool link = noFollow != 0 && lstat(path().c_str(), &status) == 0 && S_ISLNK(status.st_mode);
    reason_ = link ? kFolderIsLink : std::strerror(error);
    return false;
}

std::unique_ptr<PendingFile> DiskFolder::Begin(const char* name, std::string* reason) {
    if (fd_ < 0) {
        *reason = reason_;
        return nullptr;
    }
    auto file = std::make_unique<OutputFile>();
    if (!file->Open(fd_, name)) {
        *reason = file->Reason();
        return nullptr;
    }
    return file;
}

#endif

std::unique_ptr<PendingFile> MemoryFolder::Begin(const char* name, std::string*) {
    return std::make_unique<MemoryFile>(*this, name);
}

}  // namespace platform
