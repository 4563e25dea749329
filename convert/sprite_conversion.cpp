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

void EnsureOutputFolder() {
    const char* folder = outputOptions.folder.c_str();
    if (!platform::PathExists(folder)) platform::MakeDirectory(folder);
    runFolder = std::make_unique<platform::DiskFolder>(outputOptions.folder);
    outputFolder = runFolder.get();
}

void CloseOutputFolder() {
    outputFolder = nullptr;
    runFolder.reset();
}

SpriteOutcome ConvertSpriteFile(char* name) {
    HeapBlock block(LoadWholeFile(name, &spriteSize));
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
