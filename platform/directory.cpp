#include "platform/directory.h"

#include "platform/files.h"

#include <algorithm>
#include <cerrno>

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

namespace {

// Reads the folder (a relative path; "" for the current directory): the
// names of its entries that match pattern into *matches, and, when folders
// is given, the names of the folders in it that are no links (nor other
// reparse points) into *folders. Both unsorted. False when the folder
// cannot be read.
bool ReadFolder(const std::string& folder, const char* pattern, std::vector<std::string>* matches,
                std::vector<std::string>* folders) {
#ifdef _WIN32
    const std::string prefix = folder.empty() ? std::string() : folder + "\\";
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((prefix + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND) return false;
    } else {
        do matches->emplace_back(found.cFileName);
        while (FindNextFileA(search, &found));
        const bool complete = GetLastError() == ERROR_NO_MORE_FILES;
        FindClose(search);
        if (!complete) return false;
    }
    if (folders == nullptr) return true;
    search = FindFirstFileA((prefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        const std::string name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
            (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 && name != "." && name != "..")
            folders->push_back(name);
    } while (FindNextFileA(search, &found));
    const bool complete = GetLastError() == ERROR_NO_MORE_FILES;
    FindClose(search);
    return complete;
#else
    DIR* directory = opendir(folder.empty() ? "." : folder.c_str());
    if (directory == nullptr) return false;
    for (;;) {
        errno = 0;  // readdir tells the end from a failure only through errno
        const dirent* entry = readdir(directory);
        if (entry == nullptr) break;
        const std::string name = entry->d_name;
        if (fnmatch(pattern, entry->d_name, FNM_CASEFOLD) == 0) matches->push_back(name);
        if (folders == nullptr || name == "." || name == "..") continue;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat status {};
            isFolder = fstatat(dirfd(directory), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                       S_ISDIR(status.st_mode);
        }
        if (isFolder) folders->push_back(name);
    }
    const bool complete = errno == 0;
    closedir(directory);
    return complete;
#endif
}

}  // namespace

bool FindEntries(const char* pattern, std::vector<std::string>& names) {
    names.clear();
    if (!ReadFolder("", pattern, &names, nullptr)) {
        names.clear();
        return false;
    }
    std::sort(names.begin(), names.end(), NameLess);
    return true;
}

bool FindEntriesInTree(const char* pattern, const std::function<bool(const std::string& folder)>& enter,
                       std::vector<std::string>& paths, std::string* failed) {
    paths.clear();
    // Depth first, a folder's own entries before the folders in it; the
    // folders still to read wait on a stack, the next one on top.
    std::vector<std::string> waiting = {""};
    while (!waiting.empty()) {
        const std::string folder = waiting.back();
        waiting.pop_back();
        std::vector<std::string> matches, folders;
        if (!ReadFolder(folder, pattern, &matches, &folders)) {
            *failed = folder.empty() ? "." : folder;
            paths.clear();
            return false;
        }
        const std::string prefix = folder.empty() ? std::string() : folder + KV_PATH_SEPARATOR;
        std::sort(matches.begin(), matches.end(), NameLess);
        for (const std::string& name : matches) paths.push_back(prefix + name);
        std::sort(folders.begin(), folders.end(), NameLess);
        for (auto inner = folders.rbegin(); inner != folders.rend(); ++inner)
            if (enter(prefix + *inner)) waiting.push_back(prefix + *inner);
    }
    return true;
}

bool NameLess(const std::string& left, const std::string& right) {
    const int folded = CompareFolded(left, right);
    // std::string compares its bytes as unsigned values.
    return folded != 0 ? folded < 0 : left < right;
}

}  // namespace platform
