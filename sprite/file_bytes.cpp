#include "sprite/file_bytes.h"

#include "platform/directory.h"
#include "platform/files.h"
#include "sprite/dc6_sprite.h"

namespace {

// Files larger than this are not read: offsets and lengths are 32-bit, and
// the block must also hold the slack.
constexpr std::uint64_t kMaxFileSize = 0xFFFFFFFFull - kFileSlack;

}  // namespace

std::uint8_t* ReadFileWithSlack(const char* path, std::uint32_t* size) {
    std::uint64_t length = 0;
    std::uint8_t* block = platform::ReadWholeFile(path, kFileSlack, kMaxFileSize, &length);
    if (block != nullptr) *size = static_cast<std::uint32_t>(length);
    return block;
}

std::uint8_t* ReadFileWithSlackIn(const platform::FolderHandle& folder, const char* name, std::uint32_t* size,
                                  bool* missing) {
    std::uint64_t length = 0;
    std::uint8_t* block = folder.ReadWholeFile(name, kFileSlack, kMaxFileSize, &length, missing);
    if (block != nullptr) *size = static_cast<std::uint32_t>(length);
    return block;
}
