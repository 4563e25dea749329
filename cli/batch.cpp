#include "cli/batch.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/notice_printer.h"
#include "cli/printable.h"
#include "cli/progress_bar.h"
#include "convert/frame_placement.h"
#include "convert/output_options.h"
#include "convert/sprite_conversion.h"
#include "image/palette.h"
#include "image/palette_files.h"
#include "notice/error_notifier.h"
#include "platform/directory.h"
#include "platform/files.h"
#include "platform/heap_block.h"
#include "platform/output_file.h"
#include "platform/terminal.h"
#include "sprite/dc6_file.h"

namespace {

constexpr char kSpritePattern[] = "*.dc6";

int Refuse(const std::string& subject, const std::string& reason) {
    std::fprintf(stderr, "%s: %s: %s\n", programName, subject.c_str(), reason.c_str());
    return kExitRefused;
}

// Palette files larger than this are no palette: refused before reading.
constexpr std::uintmax_t kMaxPaletteFileSize = 1 << 20;

// The file's name without its folder, as the manifest names the palette.
std::string BaseName(const std::string& path) {
    const std::size_t cut = path.find_last_of("/" KV_PATH_SEPARATOR);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// Reads a palette file of any format the editors write; false after saying
// why it was refused. A palette of fewer than 256 colours is padded with black.
bool LoadAnyPalette(const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (!platform::PathExists(path.c_str())) return Refuse(path, "does not exist") == 0;
    if (!error && size > kMaxPaletteFileSize) return Refuse(path, "is too large for a palette file") == 0;
    std::uint32_t length = 0;
    HeapBlock bytes(LoadWholeFile(path.c_str(), &length));
    if (!bytes) return Refuse(path, "cannot be read") == 0;
    PaletteFile palette;
    std::string reason;
    if (ParsePaletteFile(path, bytes.get(), length, &palette, &reason) != PaletteParse::Parsed)
        return Refuse(path, reason) == 0;
    if (palette.colours < 256)
        std::fprintf(stderr, "%s: %s: holds %d colours; the other %d entries are black\n", programName,
                     Printable(path).c_str(), palette.colours, 256 - palette.colours);
    auto* block = static_cast<std::uint8_t*>(std::malloc(kPaletteSize));
    if (block == nullptr) return Refuse(path, "cannot be read: not enough memory") == 0;
    std::memcpy(block, palette.storedBgr, kPaletteSize);
    currentPalette = block;
    paletteIsBuiltIn = false;
    return true;
}

// Makes the run's palette current, reordered once, as a run of the program
// does. Returns false after saying why the palette file was refused.
bool SettlePalette(const std::optional<std::string>& file) {
    ReleasePalette();
    paletteIsBuiltIn = true;
    if (!file) {
        UseBuiltInPalette();
        outputOptions.paletteName = "built-in";
    } else {
        if (!LoadAnyPalette(*file)) return false;
        outputOptions.paletteName = BaseName(*file);
    }
    ReorderPalette();
    return true;
}

// Writes the run's palette (red, green, blue by now) for an editor.
bool ExportPalette(const std::string& path) {
    PaletteFormat format;
    if (!PaletteFormatForName(path, &format))
        return Refuse(path, "unknown palette format: the name must end in .gpl, .pal or .act") == 0;
    platform::OutputFile file;
    if (!file.Open(path.c_str()) || !WritePaletteFile(file, format, currentPalette) || !file.Commit())
        return Refuse(path, "cannot be written: " + file.Reason()) == 0;
    return true;
}

// The output choices of the command line, for the conversion's core.
bool SettleOutput(const Options& options) {
    outputOptions = OutputOptions();
    if (options.output) outputOptions.folder = *options.output;
    outputOptions.format = options.format && *options.format == "png" ? ImageFormat::Png : ImageFormat::Pcx;
    outputOptions.transparency = !options.noTransparency;
    outputOptions.manifest = options.manifest;
    outputOptions.sheet = options.sheet;
    // The program's own folder is made when a run starts; one of the user's
    // may need its parents made too.
    std::error_code error;
    if (options.output && !platform::PathExists(options.output->c_str()) &&
        !std::filesystem::create_directories(*options.output, error))
        return Refuse(*options.output, "cannot create folder: " + error.message()) == 0;
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

int RunBatch(const Options& options) {
    // The command may run again in the same process: the caller gets its
    // folder back.
    const platform::DirectoryKeeper caller;
    if (options.folder && !caller.kept())
        return Refuse(*options.folder, std::string("cannot tell the current folder: ") + std::strerror(errno));
    if (options.folder && !platform::ChangeDirectory(options.folder->c_str()))
        return Refuse(*options.folder, std::string("cannot enter folder: ") + std::strerror(errno));
    if (!SettlePalette(options.palette)) return kExitRefused;
    if ((options.exportPalette && !ExportPalette(*options.exportPalette)) || !SettleOutput(options)) {
        ReleasePalette();
        return kExitRefused;
    }

    std::vector<std::string> files = options.files;
    if (files.empty() && !platform::FindEntries(kSpritePattern, files)) {
        ReleasePalette();
        return Refuse(options.folder.value_or("."), "cannot list folder");
    }

    ProgressBar progress(!options.quiet && platform::IsTerminal(stderr));
    NoticePrinter notices(progress);
    std::string current;
    informationHandler = [&](const std::string& text) {
        progress.Clear();
        std::fprintf(stderr, "%s: %s: %s\n", programName, Printable(current).c_str(), Printable(text).c_str());
    };
    showErrors = true;
    StartConversionRun();
    EnsureOutputFolder();
    bool skipped = false;
    for (std::size_t i = 0; i < files.size(); ++i) {
        progress.Show(i, files.size(), files[i]);
        current = files[i];
        if (!ConvertOne(files[i], notices)) skipped = true;
    }
    progress.Clear();
    CloseOutputFolder();
    informationHandler = nullptr;
    ReleasePalette();

    std::printf("Successfully converted %d files\n", imagesWritten);
    if (!StandardOutputWritten()) return kExitNotices;
    return skipped || notices.count() > 0 ? kExitNotices : kExitClean;
}
