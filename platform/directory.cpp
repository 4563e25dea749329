#include "platform/directory.h"

#include <algorithm>
#include <cerrno>

#ifdef _WIN32
#include <direct.h>

#include "platform/win32.h"
#else
#include <dirent.h>
#include <fnmatch.h>
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

bool FindEntries(const char* pattern, std::vector<std::string>& names) {
    names.clear();
#ifdef _WIN32
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do names.emplace_back(found.cFileName);
    while (FindNextFileA(search, &found));
    const bool complete = GetLastError() == ERROR_NO_MORE_FILES;
    FindClose(search);
    if (!complete) {
        names.clear();
        return false;
    }
#else
    DIR* directory = opendir(".");
    if (directory == nullptr) return false;
    for (;;) {
        errno = 0;  // readdir tells the end from a failure only through errno
        const dirent* entry = readdir(directory);
        if (entry == nullptr) break;
        if (fnmatch(pattern, entry->d_name, FNM_CASEFOLD) == 0) names.emplace_back(entry->d_name);
    }
    const bool complete = errno == 0;
    closedir(directory);
    if (!complete) {
        names.clear();
        return false;
    }
#endif
    std::sort(names.begin(), names.end(), NameLess);
    return true;
}

bool NameLess(const std::string& left, const std::string& right) {
    const int folded = CompareFolded(left, right);
    // std::string compares its bytes as unsigned values.
    return folded != 0 ? folded < 0 : left < right;
}

}  // namespace platform
