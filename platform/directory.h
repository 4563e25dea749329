// The current directory: changing it and searching it with a wildcard.
#pragma once

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

// The order of names in a listing: ASCII letters compared without regard to
// case, every other byte by its unsigned value; names equal but for case are
// ordered by their plain bytes (so "A.dc6" comes before "a.dc6"). The order
// is total and the same on every platform, whatever the file system keeps.
bool NameLess(const std::string& left, const std::string& right);

}  // namespace platform
