#include "cli/batch.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/interruption.h"
#include "cli/notice_printer.h"
#include "cli/progress_bar.h"
#include "convert/error_notifier.h"
#include "convert/frame_placement.h"
#include "convert/sprite_conversion.h"
#include "image/palette.h"
#include "platform/directory.h"
#include "platform/files.h"
#include "platform/terminal.h"

namespace {

constexpr char kSpritePattern[] = "*.dc6";

int Refuse(const std::string& subject, const std::string& reason) {
    std::fprintf(stderr, "%s: %s: %s\n", kProgramName, subject.c_str(), reason.c_str());
    return kExitRefused;
}

// Makes the run's palette current, reordered once, as a run of the program
// does. Returns false after saying why the palette file was refused.
bool SettlePalette(const std::optional<std::string>& file) {
    ReleasePalette();
    paletteIsBuiltIn = true;
    if (!file) {
        UseBuiltInPalette();
    } else if (const std::string& path = *file; LoadPaletteFile(path.c_str()) != PaletteLoad::Loaded) {
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(path, error);
        if (!platform::PathExists(path.c_str()))
            Refuse(path, "does not exist");
        else if (!error && size != kPaletteSize)
            Refuse(path, "is " + std::to_string(size) + " bytes long; a palette file holds exactly 768 bytes");
        else
            Refuse(path, "cannot be read");
        return false;
    }
    ReorderPalette();
    return true;
}

// Converts one named file; false when it was skipped (nothing converted).
bool ConvertOne(const std::string& name, NoticePrinter& notices) {
    notices.SetFile(name);
    if (name.size() >= static_cast<std::size_t>(kNameBufferSize)) {
        notices.Report("name is too long");
        return false;
    }
    // The output name is the sprite's name in PCXFiles, so a path would name
    // a folder there that does not exist; say what to do instead.
    if (name.find_first_of("/" KV_PATH_SEPARATOR) != std::string::npos) {
        notices.Report("is not a name in the folder; use -C to work in its folder");
        return false;
    }
    char buffer[kNameBufferSize] = {};
    std::memcpy(buffer, name.c_str(), name.size());
    if (ConvertSpriteFile(buffer) != SpriteOutcome::Unreadable) return true;
    notices.Report(platform::PathExists(name.c_str()) ? "cannot be read" : "does not exist");
    return false;
}

}  // namespace

bool StandardOutputWritten() {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
    std::fprintf(stderr, "%s: cannot write standard output: %s\n", kProgramName, std::strerror(errno));
    return false;
}

int RunBatch(const Options& options) {
    if (options.folder && !platform::ChangeDirectory(options.folder->c_str()))
        return Refuse(*options.folder, std::string("cannot enter folder: ") + std::strerror(errno));
    if (!SettlePalette(options.palette)) return kExitRefused;

    std::vector<std::string> files = options.files;
    if (files.empty() && !platform::FindEntries(kSpritePattern, files)) {
        ReleasePalette();
        return Refuse(options.folder.value_or("."), "cannot list folder");
    }

    HandleInterruptions();
    ProgressBar progress(!options.quiet && platform::IsTerminal(stderr));
    NoticePrinter notices(progress);
    showErrors = true;
    StartConversionRun();
    EnsureOutputFolder();
    bool skipped = false;
    for (std::size_t i = 0; i < files.size(); ++i) {
        progress.Show(i, files.size(), files[i]);
        if (!ConvertOne(files[i], notices)) skipped = true;
    }
    progress.Clear();
    ReleasePalette();

    std::printf("Successfully converted %d files\n", imagesWritten);
    if (!StandardOutputWritten()) return kExitNotices;
    return skipped || notices.count() > 0 ? kExitNotices : kExitClean;
}
