// Where the files of a conversion run go: a folder on disk or, for tests and
// fuzzing, memory. The conversion names its files by their plain names; the
// folder decides how they get there.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/byte_sink.h"
#include "platform/directory.h"

namespace platform {

// A file on its way into its folder: its bytes, then Commit, which puts it in
// place whole. Dropped without a trace when it is destroyed uncommitted.
class PendingFile : public ByteSink {
public:
    // Puts the complete file in place. False (with Reason()) when it cannot;
    // whatever stood under its name then stays as it was.
    virtual bool Commit() = 0;
    // Why the last step failed, as the system says it; empty when none did.
    virtual const std::string& Reason() const = 0;
};

class OutputFolder {
public:
    virtual ~OutputFolder() = default;
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    // The folder as notices name it ("PCXFiles"). A file of the folder is
    // named path(), the separator, and its own name.
    const std::string& path() const { return path_; }
    std::string PathOf(const char* name) const;

    // Starts the file name (a plain name without a separator). Null, with
    // *reason, when the file cannot be started.
    virtual std::unique_ptr<PendingFile> Begin(const char* name, std::string* reason) = 0;

protected:
    explicit OutputFolder(std::string path) : path_(std::move(path)) {}

private:
    std::string path_;
};

// How a folder that is a link is taken: the folder the user named is used as
// given; a folder of the scanned folder's own (PCXFiles) must be one, so a
// link there (or, on Windows, a junction or other reparse point) is refused.
enum class FolderLink { Follow, Refuse };

// A folder on disk, relative to the current directory or absolute, held open
// from Open to destruction, so that its files go where it was when it was
// opened, whatever is renamed meanwhile. Its files go through the safe write
// path (platform/output_file.h).
class DiskFolder : public OutputFolder {
public:
    explicit DiskFolder(std::string path) : OutputFolder(std::move(path)) {}

    // Opens the folder at path(). False, with Reason(), when it is not there,
    // is no folder, or is a link that rule refuses; every Begin then fails
    // with that reason.
    bool Open(FolderLink rule);
    // Opens the folder name inside parent, made first when missing, never
    // through a link; path() is only how notices name it.
    bool OpenIn(const FolderHandle& parent, const std::string& name);
    const std::string& Reason() const { return reason_; }

    // Whether a file can be created in the folder: a temporary file is made
    // and removed at once. False, with Reason(), when none can be.
    bool Probe();

    // The open folder, for opening folders below it.
    const FolderHandle& handle() const { return handle_; }

    std::unique_ptr<PendingFile> Begin(const char* name, std::string* reason) override;

private:
    std::string reason_ = "the folder is not open";
    FolderHandle handle_;
};

// Why a link was refused as a folder of the scanned folder's own.
inline constexpr const char* kFolderIsLink = kFolderIsLinkReason;

// Files kept in memory by name; a committed file replaces one of its name.
class MemoryFolder : public OutputFolder {
public:
    explicit MemoryFolder(std::string path) : OutputFolder(std::move(path)) {}
    std::unique_ptr<PendingFile> Begin(const char* name, std::string* reason) override;

    std::map<std::string, std::vector<std::uint8_t>> files;
};

}  // namespace platform
