// Writing a file so that nothing in its folder can turn the write against the
// user, and nothing half-written ever takes the place of a good file.
//
// The bytes go to a temporary file created afresh beside the target: on Linux
// an unnamed one (O_TMPFILE) where the file system allows it, else a new
// name with a random part, created exclusively and never through a link
// (O_CREAT | O_EXCL | O_NOFOLLOW; CREATE_NEW on Windows). Commit gives it a
// name and moves it over the target in one rename; an existing target's
// permission bits carry over. Only a name this object created is ever
// removed, and only while it still names the file this object wrote.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/output_folder.h"

namespace platform {

class OutputFile : public PendingFile {
public:
    OutputFile() = default;
    ~OutputFile() override;  // discards what was not committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Starts the file that will become path. False (with Reason()) when no
    // temporary file can be created beside it.
    bool Open(const char* path);

    // Appends bytes, unbuffered: callers hand over pieces of a buffer of
    // their own. False (with Reason()) on any failure; later writes fail too.
    bool Write(const std::uint8_t* bytes, std::size_t length) override;

    // Moves the complete file over the target. False (with Reason()) when it
    // cannot; the temporary file is then gone and the target untouched.
    bool Commit() override;

    // Drops the temporary file; the target stays as it was.
    void Discard();

    // Why the last step failed, as the system says it ("Permission denied").
    const std::string& Reason() const override { return reason_; }

private:
    // Forgets any earlier file and takes path as the new target.
    void Begin(const char* path, std::string* folder, std::string* name);
    bool Fail(int error);
    bool Fail(const char* reason);

    std::string target_;
    std::string temporary_;  // the name we created, empty while unnamed
    std::string reason_;
    bool failed_ = false;
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    bool RememberIdentity();
    int fd_ = -1;
    int folder_ = -1;
    // The identity of the file we wrote, so that a name is removed only
    // while it still leads to that file.
    unsigned long long device_ = 0;
    unsigned long long inode_ = 0;
#endif
};

// The name of the named temporary file being written at this moment, or
// null. Safe to call from a signal handler, which may remove that file
// before the process ends; unnamed temporary files need no such care.
const char* TemporaryFileInProgress();

}  // namespace platform
