// The current directory: changing it and searching it with a wildcard.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Makes path the current directory; true on success (errno tells why not).
bool ChangeDirectory(const char* path);

// The current directory's absolute path into *path; false when the system
// cannot tell it (errno tells why not).
bool CurrentDirectory(std::string* path);

// Remembers the current directory when made and goes back to it when
// destroyed, so that a command run inside a longer-lived process (the web
// page calls the tools as functions) leaves the directory as it found it.
// Where the directory cannot be read, nothing is restored.
class DirectoryKeeper {
public:
    DirectoryKeeper();
    ~DirectoryKeeper();
    DirectoryKeeper(const DirectoryKeeper&) = delete;
    DirectoryKeeper& operator=(const DirectoryKeeper&) = delete;

    // Whether the directory could be read (and so will be restored).
    bool kept() const { return !saved_.empty(); }

private:
    std::string saved_;
};

// Collects into names the entries of the current directory, files and folders
// alike, whose names match pattern ('*' any run of characters, '?' any one),
// letter case ignored as the platform's own search ignores it. The names come
// sorted by NameLess. Returns false, with names empty, when the directory
// cannot be read; a search that matches nothing is not a failure.
bool FindEntries(const char* pattern, std::vector<std::string>& names);

// A folder held open by its handle, so that what is done in it and below it
// happens where it was when it was opened, whatever is renamed, removed or
// replaced by a link meanwhile. A folder below another is opened through the
// other's handle and never through a link (on Windows never through a
// junction or other reparse point); on Windows a held folder can be neither
// renamed nor removed, so its path keeps leading to it.
class FolderHandle {
public:
    FolderHandle() = default;
    ~FolderHandle() { Close(); }
    FolderHandle(FolderHandle&& other) noexcept;
    FolderHandle& operator=(FolderHandle&& other) noexcept;
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    // Opens the folder at path (relative to the current directory or
    // absolute). followLink: a link (reparse point) at the path's last part
    // is followed; otherwise it is refused with kFolderIsLinkReason. False,
    // with the system's reason, when it is not there or is no folder.
    bool Open(const std::string& path, bool followLink, std::string* reason);

    // Opens the folder name (a plain name) inside parent, never through a
    // link; make: created first when missing. False, with the reason (a link
    // gives kFolderIsLinkReason).
    bool OpenIn(const FolderHandle& parent, const std::string& name, bool make, std::string* reason);

    bool IsOpen() const;
    void Close();

    // Reads the folder: the names of its entries that match pattern (as
    // FindEntries matches) into *matches, and, when folders is given, the
    // names of the folders in it that are no links into *folders; both
    // unsorted. False, with the system's reason, when it cannot be read.
    bool Read(const char* pattern, std::vector<std::string>* matches, std::vector<std::string>* folders,
              std::string* reason) const;

    // Reads the file name (a plain name) of the folder whole, as
    // ReadWholeFile (platform/files.h) reads a path; *missing tells, on
    // failure, whether nothing of that name was there.
    std::uint8_t* ReadWholeFile(const char* name, std::size_t slack, std::uint64_t maxSize, std::uint64_t* size,
                                bool* missing) const;

    // Which folder it is (device and file number), for telling folders
    // apart however they are reached; false when the system cannot say.
    bool Identity(unsigned long long* device, unsigned long long* file) const;

#ifdef _WIN32
    const std::string& path() const { return path_; }
#else
    int descriptor() const { return fd_; }
#endif

private:
#ifdef _WIN32
    std::string path_;
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

// Why a link was not taken as a folder.
extern const char kFolderIsLinkReason[];

// The order of names in a listing: ASCII letters compared without regard to
// case, every other byte by its unsigned value; names equal but for case are
// ordered by their plain bytes (so "A.dc6" comes before "a.dc6"). The order
// is total and the same on every platform, whatever the file system keeps.
bool NameLess(const std::string& left, const std::string& right);

}  // namespace platform
