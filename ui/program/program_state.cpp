#include "ui/program/program_state.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "ui/program/frame_placement.h"
#include "ui/program/output_options.h"
#include "ui/program/sprite_conversion.h"
#include "ui/program/current_palette.h"
#include "ui/program/error_notifier.h"
#include "ui/program/dc6_file.h"

void ResetProgramState() {
    showErrors = true;
    errorsCheckBox = nullptr;
    ownerFallbackWindow = nullptr;
    progressWindow = nullptr;
    ReleasePalette();
    currentPalette = nullptr;
    paletteIsBuiltIn = false;
    StartConversionRun();
    CloseOutputFolder();
    outputOptions = OutputOptions();
    spriteData = nullptr;
    spriteSize = 0;
    std::memset(terminator, 0, sizeof terminator);
    blockCount = 0;
    std::fill(std::begin(frameTable), std::end(frameTable), nullptr);
    std::fill(std::begin(frameX), std::end(frameX), 0);
    std::fill(std::begin(frameY), std::end(frameY), 0);
    separateFrames = false;
    frameWidth = 0;
    frameHeight = 0;
    frameData = nullptr;
    frameLength = 0;
}
