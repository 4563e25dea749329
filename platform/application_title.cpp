#include "platform/application_title.h"

#include <cstdio>
#include <cstring>
#include <string>

#ifdef _WIN32
#include "platform/win32.h"
#endif

namespace platform {
namespace {

std::string TitleOf(const char* path) {
    std::string name(path);
    const std::size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

}  // namespace

const char* ApplicationTitle() {
    static const std::string title = [] {
#ifdef _WIN32
        char path[MAX_PATH] = {};
        const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
        if (length == 0 || length >= sizeof path) return std::string("kelvane");
        return TitleOf(path);
#else
        std::string link(4096, '\0');
        FILE* comm = std::fopen("/proc/self/comm", "r");
        if (comm == nullptr) return std::string("kelvane");
        const bool read = std::fgets(&link[0], static_cast<int>(link.size()), comm) != nullptr;
        std::fclose(comm);
        if (!read) return std::string("kelvane");
        link.resize(std::strcspn(link.c_str(), "\n"));
        return TitleOf(link.c_str());
#endif
    }();
    return title.c_str();
}

}  // namespace platform
