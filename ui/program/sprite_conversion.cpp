#include "ui/program/sprite_conversion.h"

#include <memory>

#include "platform/heap_block.h"
#include "run/run_output_folder.h"
#include "ui/program/dc6_file.h"
#include "ui/program/frame_placement.h"
#include "ui/program/output_options.h"

namespace {

std::unique_ptr<platform::DiskFolder> runFolder;

}  // namespace

bool EnsureOutputFolder(std::string* reason) {
    RunOutputFolder opened = OpenRunOutputFolder(outputOptions.folder, outputOptions.folderNamed, nullptr);
    runFolder = std::move(opened.folder);
    outputFolder = runFolder.get();
    if (!opened.opened && reason != nullptr) *reason = opened.reason;
    return opened.opened;
}

void CloseOutputFolder() {
    outputFolder = nullptr;
    runFolder.reset();
}

SpriteOutcome ConvertSpriteFile(char* name) { return ConvertSpriteFile(name, name); }

SpriteOutcome ConvertSpriteFile(const char* path, char* name) {
    HeapBlock block(LoadWholeFile(path, &spriteSize));
    if (!block) return SpriteOutcome::Unreadable;
    spriteData = block.get();
    SpriteOutcome outcome = SpriteOutcome::Rejected;
    if (GetFileInfoDC6()) {
        WriteSpriteImages(name);
        outcome = SpriteOutcome::Converted;
    }
    spriteData = nullptr;
    return outcome;
}
