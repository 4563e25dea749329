// The current directory: changing it and searching it with a wildcard.
#pragma once

#include <functional>
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

// Collects into paths, folder by folder, the entries that match pattern (as
// FindEntries does) in the current directory and every folder below it: a
// folder's own entries first, sorted by NameLess, then each folder in it, in
// the same order, with everything below it. Paths are relative, their parts
// joined with the platform's separator. Links to folders (and other reparse
// points) are not entered, nor the folders for which enter (given the
// folder's path) says false. Returns false, with paths empty and *failed the
// folder, when a folder cannot be read.
bool FindEntriesInTree(const char* pattern, const std::function<bool(const std::string& folder)>& enter,
                       std::vector<std::string>& paths, std::string* failed);

// The order of names in a listing: ASCII letters compared without regard to
// case, every other byte by its unsigned value; names equal but for case are
// ordered by their plain bytes (so "A.dc6" comes before "a.dc6"). The order
// is total and the same on every platform, whatever the file system keeps.
bool NameLess(const std::string& left, const std::string& right);

}  // namespace platform
