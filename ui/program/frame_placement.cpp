#include "ui/program/frame_placement.h"

#include <algorithm>
#include <optional>
#include <string>

#include "ui/program/current_palette.h"
#include "ui/program/error_notifier.h"
#include "ui/program/output_options.h"

std::int64_t frameX[kMaxBlocks] = {};
std::int64_t frameY[kMaxBlocks] = {};
std::int32_t imagesWritten = 0;
OutputClaims programClaims;
OutputOptions outputOptions;
platform::OutputFolder* outputFolder = nullptr;

namespace {

// The run's next file: each sprite converted is the file after the last.
std::size_t nextFile = 0;

}  // namespace

void StartConversionRun() {
    imagesWritten = 0;
    nextFile = 0;
    programClaims.Forget();
}

void WriteSpriteImages(char* name) {
    // GetFileInfoDC6 accepted the current sprite: it parses again without a word.
    DiagnosticList none;
    const std::optional<Dc6Sprite> sprite = ParseDc6(spriteData, spriteSize, none);
    const std::string spriteName = name;
    StripExtension(name);
    if (!sprite) return;
    RunSettings settings;
    settings.options = outputOptions;
    settings.palette = currentPalette;
    settings.folder = outputFolder;
    settings.claims = &programClaims;
    const std::size_t file = nextFile++;
    const FileClaims claims(programClaims, file);
    const PlacementReport report = WriteSpriteImages({*sprite, settings, ProgramDiagnostics(), file}, spriteName, name);
    imagesWritten += report.imagesWritten;
    if (!sprite->separateFrames) {
        std::copy(report.frameX.begin(), report.frameX.end(), frameX);
        std::copy(report.frameY.begin(), report.frameY.end(), frameY);
    }
}

std::uint64_t LargestCanvasBytes() {
    DiagnosticList none;
    const std::optional<Dc6Sprite> sprite = ParseDc6(spriteData, spriteSize, none);
    return sprite ? LargestCanvasBytes(*sprite, outputOptions) : 0;
}
