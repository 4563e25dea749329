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

// A folder on disk, relative to the current directory or absolute. Its files
// go through the safe write path (platform/output_file.h).
class DiskFolder : public OutputFolder {
public:
    explicit DiskFolder(std::string path) : OutputFolder(std::move(path)) {}
    std::unique_ptr<PendingFile> Begin(const char* name, std::string* reason) override;
};

// Files kept in memory by name; a committed file replaces one of its name.
class MemoryFolder : public OutputFolder {
public:
    explicit MemoryFolder(std::string path) : OutputFolder(std::move(path)) {}
    std::unique_ptr<PendingFile> Begin(const char* name, std::string* reason) override;

    std::map<std::string, std::vector<std::uint8_t>> files;
};

}  // namespace platform
