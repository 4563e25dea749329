// Writing a file so that nothing in its folder can turn the write against the
// user, and nothing half-written ever takes the place of a good file.
//
// The bytes go to a temporary file created afresh in the target's folder: on
// Linux an unnamed one (O_TMPFILE) where the file system allows it, else a
// new name with a random part, created exclusively and never through a link
// (O_CREAT | O_EXCL | O_NOFOLLOW; CREATE_NEW on Windows). Commit puts the
// complete file in place: an unnamed file is linked under the target's name
// when nothing stands there, else named afresh and moved over the target in
// one rename; an existing target's permission bits carry over, and a link at
// the target is replaced, never followed. Only a name this object created is
// ever removed, and only while it still names the file this object wrote.
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

#ifndef _WIN32
    // Starts the file name (no separator) in the open folder descriptor
    // folder, which stays the caller's and must stay open until the file is
    // committed or discarded.
    bool Open(int folder, const char* name);
#endif

    // Appends bytes, unbuffered: callers hand over pieces of a buffer of
    // their own. False (with Reason()) on any failure; later writes fail too.
    bool Write(const std::uint8_t* bytes, std::size_t length) override;

    // Puts the complete file in place. False (with Reason()) when it cannot;
    // the temporary file is then gone and the target untouched.
    bool Commit() override;

    // Drops the temporary file; the target stays as it was.
    void Discard();

    // Why the last step failed, as the system says it ("Permission denied").
    const std::string& Reason() const override { return reason_; }

private:
    // Forgets any earlier file and takes path as the new target.
    void Begin(const char* path);
    // The folder part of path with its separator ("" for a plain name) and
    // the name part.
    static void SplitPath(const std::string& path, std::string* folder, std::string* name);
    bool Fail(int error);
    bool Fail(const char* reason);

    std::string target_;     // as given
    std::string name_;       // the target's name in its folder
    std::string temporary_;  // the name we created, empty while unnamed
    std::string reason_;
    bool failed_ = false;
    int slot_ = -1;  // our entry in the record of named temporary files
#ifdef _WIN32
    std::string folderPath_;
    void* handle_ = nullptr;
#else
    bool Start();
    bool NameAfresh();
    bool RememberIdentity();
    int fd_ = -1;
    int folder_ = -1;
    bool ownsFolder_ = false;
    // The identity of the file we wrote, so that a name is removed only
    // while it still leads to that file.
    unsigned long long device_ = 0;
    unsigned long long inode_ = 0;
#endif
};

// Removes every named temporary file this process is writing at this moment,
// and lets files that are being moved into place arrive whole first (for a
// short while). Safe to call from a signal handler that ends the process:
// afterwards no thread of the process names a temporary file again.
// Unnamed temporary files vanish with the process by themselves.
void RemoveTemporaryFilesInProgress();

}  // namespace platform
