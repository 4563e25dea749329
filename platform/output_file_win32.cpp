// Output files on Windows: a temporary file created with CREATE_NEW beside
// the target, moved over it with MoveFileEx.
#ifdef _WIN32
#include <string>

#include "platform/files.h"
#include "platform/output_file.h"
#include "platform/temporary_record.h"
#include "platform/win32.h"

namespace platform {

using namespace temporary_record;

bool OutputFile::Fail(int error) { return Fail(SystemReason(static_cast<DWORD>(error)).c_str()); }

bool OutputFile::Open(const char* path) {
    Begin(path);
    SplitPath(target_, &folderPath_, &name_);
    slot_ = TakeEntry();
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string candidate = folderPath_ + RandomName();
        RecordName(slot_, candidate);
        if (!BeginMoving(slot_, kClaimed)) return Fail("the program is ending");
        // CREATE_NEW: only a name that did not exist, never through a link.
        // Shared for deletion, so that an interruption can remove it.
        HANDLE file = CreateFileA(candidate.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            handle_ = file;
            temporary_ = candidate;
            SetState(slot_, kRemovable);
            return true;
        }
        const DWORD error = GetLastError();
        SetState(slot_, kClaimed);
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return Fail(static_cast<int>(error));
    }
    return Fail("no free temporary name");
}

bool OutputFile::Write(const std::uint8_t* bytes, std::size_t length) {
    if (handle_ == nullptr || failed_) return Fail("not open");
    while (length > 0) {
        const DWORD piece = length > 0x40000000u ? 0x40000000u : static_cast<DWORD>(length);
        DWORD written = 0;
        if (!WriteFile(static_cast<HANDLE>(handle_), bytes, piece, &written, nullptr) || written == 0)
            return Fail(static_cast<int>(GetLastError()));
        bytes += written;
        length -= written;
    }
    return true;
}

bool OutputFile::Commit() {
    if (handle_ == nullptr || failed_) {
        Discard();
        return Fail("not open");
    }
    const bool closed = CloseHandle(static_cast<HANDLE>(handle_)) != 0;
    handle_ = nullptr;
    DWORD error = closed ? ERROR_SUCCESS : GetLastError();
    if (closed && !BeginMoving(slot_, kRemovable)) error = ERROR_OPERATION_ABORTED;
    if (error == ERROR_SUCCESS && !MoveFileExA(temporary_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING))
        error = GetLastError();
    if (error != ERROR_SUCCESS) {
        SetState(slot_, kRemovable);
        Discard();
        return Fail(static_cast<int>(error));
    }
    temporary_.clear();
    ReleaseEntry(slot_);
    return true;
}

void OutputFile::Discard() {
    if (handle_ != nullptr) {
        CloseHandle(static_cast<HANDLE>(handle_));
        handle_ = nullptr;
    }
    if (!temporary_.empty()) {
        DeleteFileA(temporary_.c_str());
        temporary_.clear();
    }
    ReleaseEntry(slot_);
}

}  // namespace platform

#endif
