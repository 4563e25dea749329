#include "run/batch.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "run/file_conversion.h"
#include "run/notice_printer.h"
#include "run/parallel_run.h"
#include "run/printable.h"
#include "run/run_palette.h"
#include "run/run_plan.h"
#include "run/run_progress.h"
#include "convert/output_names.h"
#include "convert/output_options.h"
#include "convert/run_settings.h"
#include "image/palette.h"
#include "image/palette_files.h"
#include "platform/directory.h"
#include "platform/files.h"
#include "platform/output_file.h"

namespace {

int Refuse(const std::string& subject, const std::string& reason) {
    std::fprintf(stderr, "%s: %s: %s\n", programName, subject.c_str(), reason.c_str());
    return kExitRefused;
}

// The file's name without its folder, as the manifest names the palette.
std::string BaseName(const std::string& path) {
    const std::size_t cut = path.find_last_of("/" KV_PATH_SEPARATOR);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

using PaletteBytes = std::array<std::uint8_t, kPaletteSize>;

// Reads a palette file of any format the editors write into colours (stored
// order); false after saying why it was refused. A palette of fewer than 256
// colours is padded with black.
bool LoadAnyPalette(const std::string& path, PaletteBytes* colours) {
    PaletteFile palette;
    std::string reason;
    if (ReadRunPalette(path, PaletteFiles::AnyFormat, &palette, &reason) != RunPaletteRead::Read)
        return Refuse(path, reason) == 0;
    if (palette.colours < 256)
        std::fprintf(stderr, "%s: %s: holds %d colours; the other %d entries are black\n", programName,
                     Printable(path).c_str(), palette.colours, 256 - palette.colours);
    std::memcpy(colours->data(), palette.storedBgr, kPaletteSize);
    return true;
}

// The run's palette into colours, reordered once, as a run of the program
// does, and its name into the options. Returns false after saying why the
// palette file was refused.
bool SettlePalette(const std::optional<std::string>& file, PaletteBytes* colours, OutputOptions* options) {
    if (!file) {
        std::memcpy(colours->data(), builtInPalette, kPaletteSize);
        options->paletteName = "built-in";
    } else {
        if (!LoadAnyPalette(*file, colours)) return false;
        options->paletteName = BaseName(*file);
    }
    ReorderPalette(colours->data());
    return true;
}

// The run's palette (red, green, blue by now) for an editor, written whole
// into its temporary file but not yet in place: everything else that can
// refuse the run is settled first. False after saying why it was refused: an
// unknown format, or a name that leads to a file the run reads.
bool PrepareExport(const std::string& path, const std::optional<std::string>& palette, const std::uint8_t* colours,
                   const std::vector<std::string>& sprites, platform::OutputFile& file) {
    PaletteFormat format;
    if (!PaletteFormatForName(path, &format))
        return Refuse(path, "unknown palette format: the name must end in .gpl, .pal or .act") == 0;
    platform::FileIdentity target;
    if (platform::Identify(path.c_str(), &target)) {
        platform::FileIdentity input;
        if (palette && platform::Identify(palette->c_str(), &input) && input == target)
            return Refuse(path, "is the palette file the run reads; it is not replaced") == 0;
        for (const std::string& sprite : sprites)
            if (platform::Identify(sprite.c_str(), &input) && input == target)
                return Refuse(path, "is the sprite file " + Printable(sprite) + " of the run; it is not replaced") == 0;
    }
    if (!file.Open(path.c_str()) || !WritePaletteFile(file, format, colours))
        return Refuse(path, "cannot be written: " + file.Reason()) == 0;
    return true;
}

// The output choices of the command line, for the conversion's core.
OutputOptions ChooseOutput(const Options& options) {
    OutputOptions chosen;
    if (options.output) chosen.folder = *options.output;
    chosen.folderNamed = options.output.has_value();
    chosen.format = options.format && *options.format == "png" ? ImageFormat::Png : ImageFormat::Pcx;
    chosen.transparency = !options.noTransparency;
    chosen.manifest = options.manifest;
    chosen.sheet = options.sheet;
    if (options.animation)
        chosen.animation = *options.animation == "gif" ? AnimationFormat::Gif : AnimationFormat::Apng;
    chosen.fps = options.fps;
    return chosen;
}

// What a run shows when the front end shows nothing, or the user asked for
// quiet.
class NoProgress final : public RunProgress {
public:
    void Show(std::size_t, std::size_t, const std::string&) override {}
    void Clear() override {}
};

// Threads for the run: as asked, or one per processor; never more than files.
unsigned JobsFor(const Options& options, std::size_t files) {
    unsigned jobs = options.jobs != 0 ? options.jobs : std::thread::hardware_concurrency();
    if (jobs == 0) jobs = 1;
    if (jobs > kMaxJobs) jobs = kMaxJobs;
    if (files < jobs) jobs = files == 0 ? 1 : static_cast<unsigned>(files);
    return jobs;
}

}  // namespace

int RunBatch(const Options& options, RunProgress* shown) {
    // The command may run again in the same process: the caller gets its
    // folder back.
    const platform::DirectoryKeeper caller;
    if (options.folder && !caller.kept())
        return Refuse(*options.folder, std::string("cannot tell the current folder: ") + std::strerror(errno));
    if (options.folder && !platform::ChangeDirectory(options.folder->c_str()))
        return Refuse(*options.folder, std::string("cannot enter folder: ") + std::strerror(errno));

    // Everything that can refuse the run, before anything is written.
    OutputClaims claims;
    PaletteBytes colours{};
    RunSettings settings;
    settings.options = ChooseOutput(options);
    settings.palette = colours.data();
    settings.claims = &claims;
    if (!SettlePalette(options.palette, &colours, &settings.options)) return kExitRefused;
    RunPlan plan;
    std::string subject, reason;
    if (!plan.List(options, &subject, &reason)) return Refuse(subject, reason);
    std::vector<std::string> sprites;
    for (const RunFile& file : plan.files) sprites.push_back(file.path);
    platform::OutputFile exported;
    if (options.exportPalette &&
        !PrepareExport(*options.exportPalette, options.palette, colours.data(), sprites, exported))
        return kExitRefused;
    if (!plan.PrepareFolders(&subject, &reason)) return Refuse(subject, reason);
    if (options.exportPalette && !exported.Commit())
        return Refuse(*options.exportPalette, "cannot be written: " + exported.Reason());

    NoProgress none;
    RunProgress& progress = shown != nullptr && !options.quiet ? *shown : none;
    NoticePrinter notices(progress);
    const std::size_t count = plan.files.size();
    const bool checkNames = !options.files.empty();
    std::int64_t images = 0;
    bool skipped = false;
    const auto deliver = [&](std::size_t i, FileResult& result) {
        plan.Done(i);
        notices.Print(result.subject.empty() ? plan.files[i].path : result.subject, result.notices);
        images += result.images;
        skipped = skipped || result.skipped;
    };
    const unsigned jobs = JobsFor(options, count);
    if (jobs == 1) {
        // One file after the other on this thread; no thread is started.
        for (std::size_t i = 0; i < count; ++i) {
            progress.Show(i, count, plan.files[i].path);
            FileResult result = ConvertFile(plan, i, checkNames, settings);
            deliver(i, result);
        }
    } else {
        RunInParallel(
            count, jobs, claims,
            [&](std::size_t i, RunOrder* order) { return ConvertFile(plan, i, checkNames, settings, order); },
            [&](std::size_t i, std::size_t done) { progress.Show(done, count, plan.files[i].path); }, deliver);
    }
    progress.Clear();
    std::printf("Successfully converted %d files\n", static_cast<std::int32_t>(images));
    if (!StandardOutputWritten()) return kExitNotices;
    return skipped || notices.count() > 0 ? kExitNotices : kExitClean;
}
