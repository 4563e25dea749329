#include "tests/support/core_state.h"

#include <cstring>

#include "ui/program/frame_placement.h"
#include "ui/program/output_options.h"
#include "ui/program/sprite_conversion.h"
#include "ui/program/current_palette.h"
#include "ui/program/error_notifier.h"
#include "ui/program/dc6_file.h"

namespace test {

void ResetCoreState() {
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
    separateFrames = false;
}

}  // namespace test
