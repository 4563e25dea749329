#include "platform/output_folder.h"

#include <cerrno>
#include <cstring>

#include "platform/files.h"
#include "platform/output_file.h"

namespace platform {
namespace {

// A memory file: its bytes go into the folder's map when committed.
class MemoryFile : public PendingFile {
public:
    MemoryFile(MemoryFolder& folder, std::string name) : folder_(folder), name_(std::move(name)) {}
    bool Write(const std::uint8_t* bytes, std::size_t length) override {
        bytes_.insert(bytes_.end(), bytes, bytes + length);
        return true;
    }
    bool Commit() override {
        folder_.files[name_] = std::move(bytes_);
        return true;
    }
    const std::string& Reason() const override { return reason_; }

private:
    MemoryFolder& folder_;
    std::string name_;
    std::vector<std::uint8_t> bytes_;
    std::string reason_;
};

}  // namespace

std::string OutputFolder::PathOf(const char* name) const { return path_ + kPathSeparator + name; }

bool DiskFolder::Open(FolderLink rule) {
    if (handle_.Open(path(), rule == FolderLink::Follow, &reason_)) reason_.clear();
    return handle_.IsOpen();
}

bool DiskFolder::OpenIn(const FolderHandle& parent, const std::string& name) {
    if (handle_.OpenIn(parent, name, true, &reason_)) reason_.clear();
    return handle_.IsOpen();
}

bool DiskFolder::Probe() {
    OutputFile probe;
#ifdef _WIN32
    const bool started = handle_.IsOpen() && probe.Open((handle_.path() + kPathSeparator + "probe").c_str());
#else
    const bool started = handle_.IsOpen() && probe.Open(handle_.descriptor(), "probe");
#endif
    if (!started) reason_ = handle_.IsOpen() ? probe.Reason() : reason_;
    return started;  // the probe's temporary file goes with it, never named "probe"
}

std::unique_ptr<PendingFile> DiskFolder::Begin(const char* name, std::string* reason) {
    if (!handle_.IsOpen()) {
        *reason = reason_;
        return nullptr;
    }
    auto file = std::make_unique<OutputFile>();
#ifdef _WIN32
    const bool started = file->Open((handle_.path() + kPathSeparator + name).c_str());
#else
    const bool started = file->Open(handle_.descriptor(), name);
#endif
    if (!started) {
        *reason = file->Reason();
        return nullptr;
    }
    return file;
}

std::unique_ptr<PendingFile> MemoryFolder::Begin(const char* name, std::string*) {
    return std::make_unique<MemoryFile>(*this, name);
}

}  // namespace platform
