#include "tests/support/core_state.h"

#include <cstring>

#include "convert/frame_placement.h"
#include "convert/output_options.h"
#include "convert/sprite_conversion.h"
#include "image/palette.h"
#include "notice/error_notifier.h"
#include "sprite/dc6_file.h"

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
    informationHandler = nullptr;
    spriteData = nullptr;
    spriteSize = 0;
    std::memset(terminator, 0, sizeof terminator);
    blockCount = 0;
    separateFrames = false;
}

}  // namespace test
