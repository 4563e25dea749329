// What both platforms' output files share; the writing itself is in
// output_file_win32.cpp and output_file_posix.cpp, the record of named
// temporary files in temporary_record.cpp.
#include "platform/output_file.h"

#include <string>

namespace platform {

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

void OutputFile::SplitPath(const std::string& path, std::string* folder, std::string* name) {
#ifdef _WIN32
    const std::size_t cut = path.find_last_of("\\/");
#else
    const std::size_t cut = path.find_last_of('/');
#endif
    *folder = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
    *name = cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace platform
