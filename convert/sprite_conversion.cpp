#include "convert/sprite_conversion.h"

#include <memory>

#include "convert/frame_placement.h"
#include "convert/output_options.h"
#include "platform/files.h"
#include "platform/heap_block.h"
#include "sprite/dc6_file.h"

namespace {

std::unique_ptr<platform::DiskFolder> runFolder;

}  // namespace

bool EnsureOutputFolder(std::string* reason) {
    const char* folder = outputOptions.folder.c_str();
    if (!platform::PathExists(folder)) platform::MakeDirectory(folder);
    runFolder = std::make_unique<platform::DiskFolder>(outputOptions.folder);
    outputFolder = runFolder.get();
    const bool open =
        runFolder->Open(outputOptions.folderNamed ? platform::FolderLink::Follow : platform::FolderLink::Refuse);
    if (!open && reason != nullptr) *reason = runFolder->Reason();
    return open;
}

void CloseOutputFolder() {
    outputFolder = nullptr;
    runFolder.reset();
}

SpriteOutcome ConvertSpriteFile(char* name) { return ConvertSpriteFile(name, name); }

namespace {

// Validates the sprite read whole into block and writes its images, once
// admit (when given) lets it.
SpriteOutcome ConvertLoaded(HeapBlock block, char* name, const std::function<bool(std::uint64_t)>& admit) {
    spriteData = block.get();
    SpriteOutcome outcome = SpriteOutcome::Rejected;
    if (GetFileInfoDC6() && (!admit || admit(spriteSize + LargestCanvasBytes()))) {
        WriteSpriteImages(name);
        outcome = SpriteOutcome::Converted;
    }
    spriteData = nullptr;
    return outcome;
}

}  // namespace

SpriteOutcome ConvertSpriteFile(const char* path, char* name) {
    HeapBlock block(LoadWholeFile(path, &spriteSize));
    if (!block) return SpriteOutcome::Unreadable;
    return ConvertLoaded(std::move(block), name, nullptr);
}

SpriteOutcome ConvertSpriteFileIn(const platform::FolderHandle& folder, const char* fileName, char* name, bool* missing,
                                  const std::function<bool(std::uint64_t)>& admit) {
    HeapBlock block(LoadWholeFileIn(folder, fileName, &spriteSize, missing));
    if (!block) return SpriteOutcome::Unreadable;
    return ConvertLoaded(std::move(block), name, admit);
}
