#include "platform/output_folder.h"

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

std::unique_ptr<PendingFile> DiskFolder::Begin(const char* name, std::string* reason) {
    auto file = std::make_unique<OutputFile>();
    if (!file->Open(PathOf(name).c_str())) {
        *reason = file->Reason();
        return nullptr;
    }
    return file;
}

std::unique_ptr<PendingFile> MemoryFolder::Begin(const char* name, std::string*) {
    return std::make_unique<MemoryFile>(*this, name);
}

}  // namespace platform
