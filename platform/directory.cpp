#include "platform/directory.h"

#include "platform/files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#ifdef _WIN32
#include <direct.h>

#include "platform/win32.h"
#else
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {
namespace {

unsigned char Folded(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

// Negative, zero or positive as left sorts before, with or after right when
// letter case is ignored.
int CompareFolded(const std::string& left, const std::string& right) {
    const std::size_t common = std::min(left.size(), right.size());
    for (std::size_t i = 0; i < common; ++i)
        if (Folded(left[i]) != Folded(right[i])) return Folded(left[i]) < Folded(right[i]) ? -1 : 1;
    return left.size() < right.size() ? -1 : left.size() > right.size() ? 1 : 0;
}

}  // namespace

bool ChangeDirectory(const char* path) {
#ifdef _WIN32
    return _chdir(path) == 0;
#else
    return chdir(path) == 0;
#endif
}

bool CurrentDirectory(std::string* path) {
    std::vector<char> buffer(4096);
    for (;;) {
#ifdef _WIN32
        if (_getcwd(buffer.data(), static_cast<int>(buffer.size())) != nullptr) break;
#else
        if (getcwd(buffer.data(), buffer.size()) != nullptr) break;
#endif
        if (errno != ERANGE || buffer.size() > (1u << 20)) return false;
        buffer.resize(buffer.size() * 2);
    }
    *path = buffer.data();
    return true;
}

DirectoryKeeper::DirectoryKeeper() {
    if (!CurrentDirectory(&saved_)) saved_.clear();
}

DirectoryKeeper::~DirectoryKeeper() {
    // Nothing to do about a failure here: the folder was removed meanwhile.
    if (!saved_.empty()) ChangeDirectory(saved_.c_str());
}

const char kFolderIsLinkReason[] = "is a link, not a folder of its own";

FolderHandle::FolderHandle(FolderHandle&& other) noexcept { *this = std::move(other); }

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
    if (this != &other) {
        Close();
#ifdef _WIN32
        path_ = std::move(other.path_);
        handle_ = other.handle_;
        other.handle_ = nullptr;
#else
        fd_ = other.fd_;
        other.fd_ = -1;
#endif
    }
    return *this;
}

#ifdef _WIN32

namespace {

// Opens the folder at path, a link at its last part not followed but
// refused unless followLink. Held without sharing deletion: while the run
// has it, the folder can be neither renamed nor replaced by a junction.
void* OpenFolderAt(const std::string& path, bool followLink, std::string* reason) {
    const DWORD linkFlag = followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT;
    HANDLE folder = CreateFileA(path.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | linkFlag, nullptr);
    if (folder == INVALID_HANDLE_VALUE) {
        *reason = SystemReason(GetLastError());
        return nullptr;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    const bool known = GetFileInformationByHandle(folder, &information) != 0;
    // Some systems tell a reparse point only by its path's attributes.
    const DWORD attributes = known ? information.dwFileAttributes | GetFileAttributesA(path.c_str()) : 0;
    if (!known || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        *reason = known ? SystemReason(ERROR_DIRECTORY) : SystemReason(GetLastError());
    } else if (!followLink && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        *reason = kFolderIsLinkReason;
    } else {
        return folder;
    }
    CloseHandle(folder);
    return nullptr;
}

}  // namespace

bool FolderHandle::Open(const std::string& path, bool followLink, std::string* reason) {
    Close();
    handle_ = OpenFolderAt(path, followLink, reason);
    if (handle_ != nullptr) path_ = path;
    return handle_ != nullptr;
}

bool FolderHandle::OpenIn(const FolderHandle& parent, const std::string& name, bool make, std::string* reason) {
    Close();
    // The parent is held and so still where its path says.
    const std::string path = parent.path_ == "." ? name : parent.path_ + "\\" + name;
    if (make) CreateDirectoryA(path.c_str(), nullptr);  // one that exists is opened below; any other failure too
    handle_ = OpenFolderAt(path, false, reason);
    if (handle_ != nullptr) path_ = path;
    return handle_ != nullptr;
}

bool FolderHandle::IsOpen() const { return handle_ != nullptr; }

void FolderHandle::Close() {
    if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
    path_.clear();
}

bool FolderHandle::Read(const char* pattern, std::vector<std::string>* matches, std::vector<std::string>* folders,
                        std::string* reason) const {
    const std::string prefix = path_ == "." ? std::string() : path_ + "\\";
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((prefix + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND) {
            *reason = SystemReason(GetLastError());
            return false;
        }
    } else {
        do matches->emplace_back(found.cFileName);
        while (FindNextFileA(search, &found));
        const DWORD error = GetLastError();
        FindClose(search);
        if (error != ERROR_NO_MORE_FILES) {
            *reason = SystemReason(error);
            return false;
        }
    }
    if (folders == nullptr) return true;
    search = FindFirstFileA((prefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) return true;
        *reason = SystemReason(GetLastError());
        return false;
    }
    do {
        const std::string name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
            (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 && name != "." && name != "..")
            folders->push_back(name);
    } while (FindNextFileA(search, &found));
    const DWORD error = GetLastError();
    FindClose(search);
    if (error != ERROR_NO_MORE_FILES) {
        *reason = SystemReason(error);
        return false;
    }
    return true;
}

std::uint8_t* FolderHandle::ReadWholeFile(const char* name, std::size_t slack, std::uint64_t maxSize,
                                          std::uint64_t* size, bool* missing) const {
    const std::string path = path_ == "." ? std::string(name) : path_ + "\\" + name;
    std::uint8_t* block = platform::ReadWholeFile(path.c_str(), slack, maxSize, size);
    *missing = block == nullptr && !PathExists(path.c_str());
    return block;
}

bool FolderHandle::Identity(unsigned long long* device, unsigned long long* file) const {
    BY_HANDLE_FILE_INFORMATION information{};
    if (handle_ == nullptr || GetFileInformationByHandle(static_cast<HANDLE>(handle_), &information) == 0) return false;
    *device = information.dwVolumeSerialNumber;
    *file = static_cast<unsigned long long>(information.nFileIndexHigh) << 32 | information.nFileIndexLow;
    return true;
}

#else

bool FolderHandle::Open(const std::string& path, bool followLink, std::string* reason) {
    Close();
    const int noFollow = followLink ? 0 : O_NOFOLLOW;
    fd_ = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | noFollow);
    if (fd_ >= 0) return true;
    const int error = errno;
    // O_NOFOLLOW refuses a link at the last step with ELOOP; a link to
    // something that is no folder may say ENOTDIR first.
    struct stat status {};
    const bool link = noFollow != 0 && lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
    *reason = link ? kFolderIsLinkReason : std::strerror(error);
    return false;
}

bool FolderHandle::OpenIn(const FolderHandle& parent, const std::string& name, bool make, std::string* reason) {
    Close();
    if (make && mkdirat(parent.fd_, name.c_str(), 0777) != 0 && errno != EEXIST) {
        *reason = std::strerror(errno);
        return false;
    }
    fd_ = openat(parent.fd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd_ >= 0) return true;
    const int error = errno;
    struct stat status {};
    const bool link = fstatat(parent.fd_, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(status.st_mode);
    *reason = link ? kFolderIsLinkReason : std::strerror(error);
    return false;
}

bool FolderHandle::IsOpen() const { return fd_ >= 0; }

void FolderHandle::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

bool FolderHandle::Read(const char* pattern, std::vector<std::string>* matches, std::vector<std::string>* folders,
                        std::string* reason) const {
    // A descriptor of its own for the listing, which closedir closes.
    const int listing = openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* directory = listing >= 0 ? fdopendir(listing) : nullptr;
    if (directory == nullptr) {
        *reason = std::strerror(errno);
        if (listing >= 0) close(listing);
        return false;
    }
    for (;;) {
        errno = 0;  // readdir tells the end from a failure only through errno
        const dirent* entry = readdir(directory);
        if (entry == nullptr) break;
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (fnmatch(pattern, entry->d_name, FNM_CASEFOLD) == 0) matches->push_back(name);
        if (folders == nullptr) continue;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat status {};
            isFolder =
                fstatat(dirfd(directory), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(status.st_mode);
        }
        if (isFolder) folders->push_back(name);
    }
    const int error = errno;
    closedir(directory);
    if (error != 0) *reason = std::strerror(error);
    return error == 0;
}

std::uint8_t* FolderHandle::ReadWholeFile(const char* name, std::size_t slack, std::uint64_t maxSize,
                                          std::uint64_t* size, bool* missing) const {
    int error = 0;
    std::uint8_t* block = ReadWholeFileAt(fd_, name, slack, maxSize, size, &error);
    *missing = error == ENOENT;
    return block;
}

bool FolderHandle::Identity(unsigned long long* device, unsigned long long* file) const {
    struct stat status {};
    if (fd_ < 0 || fstat(fd_, &status) != 0) return false;
    *device = static_cast<unsigned long long>(status.st_dev);
    *file = static_cast<unsigned long long>(status.st_ino);
    return true;
}

#endif

bool FindEntries(const char* pattern, std::vector<std::string>& names) {
    names.clear();
    FolderHandle here;
    std::string reason;
    if (!here.Open(".", true, &reason) || !here.Read(pattern, &names, nullptr, &reason)) {
        names.clear();
        return false;
    }
    std::sort(names.begin(), names.end(), NameLess);
    return true;
}

bool NameLess(const std::string& left, const std::string& right) {
    const int folded = CompareFolded(left, right);
    // std::string compares its bytes as unsigned values.
    return folded != 0 ? folded < 0 : left < right;
}

}  // namespace platform
