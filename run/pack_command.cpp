// kelvane-pack: images (and the manifest kelvane-convert writes beside them)
// back into a DC6 sprite file.
#include "run/pack_command.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "run/command_line.h"
#include "run/pack_options.h"
#include "run/printable.h"
#include "convert/sprite_packing.h"
#include "platform/directory.h"
#include "platform/files.h"
#include "platform/output_file.h"
#include "sprite/dc6_writer.h"

#ifndef KELVANE_VERSION
#error "KELVANE_VERSION is set by the build"
#endif

namespace {

void PrintNotice(const std::string& subject, const std::string& text) {
    std::fprintf(stderr, "%s: %s: %s\n", programName, Printable(subject).c_str(), Printable(text).c_str());
}

int Refuse(const std::string& subject, const std::string& text) {
    PrintNotice(subject, text);
    return kExitRefused;
}

void PrintNotices(const PackReport& report) {
    for (const auto& notice : report.notices) PrintNotice(notice.first, notice.second);
}

// An output that is one of the run's inputs would destroy it: refused, by
// the files' identity, whatever the spelling. The original sprite is the one
// input that may be replaced, by a name given with -o or with --force.
bool OverwritesAnInput(const std::string& output, const PackReport& report) {
    for (const std::string& input : report.inputs) {
        if (platform::SameFile(output.c_str(), input.c_str())) {
            Refuse(output, "is one of the files this run reads (" + input + "); it is not replaced");
            return true;
        }
    }
    return false;
}

// Writes a packed sprite through the safe write path, or with --check says
// what would be written. Returns the exit status of this sprite.
int WriteSprite(const PackOptions& options, const std::string& output, const Dc6File& sprite,
                const PackReport& report) {
    MemorySink counted;
    std::string reason;
    if (options.check) {
        if (!WriteDc6(counted, sprite, &reason)) return Refuse(output, "cannot be written: " + reason);
        std::printf("%s: would write %s: %zu frames, %zu bytes\n", programName, Printable(output).c_str(),
                    sprite.frames.size(), counted.data.size());
        if (!StandardOutputWritten()) return kExitNotices;
    } else {
        platform::OutputFile file;
        if (!file.Open(output.c_str())) return Refuse(output, "cannot be written: " + file.Reason());
        if (!WriteDc6(file, sprite, &reason))
            return Refuse(output, "cannot be written: " + (file.Reason().empty() ? reason : file.Reason()));
        if (!file.Commit()) return Refuse(output, "cannot be written: " + file.Reason());
    }
    return report.notices.empty() ? kExitClean : kExitNotices;
}

PackSettings SettingsOf(const PackOptions& options, const PackWording& wording) {
    PackSettings settings;
    settings.nearest = options.nearest;
    settings.original = options.like;
    settings.wording = &wording;
    return settings;
}

// Each manifest in turn, under -o or its sprite's name; one refused manifest
// does not stop the others. Two manifests of one sprite name: the first wins.
int PackManifests(const PackOptions& options, const PackWording& wording) {
    int status = kExitClean;
    std::set<std::string> written;
    for (const std::string& manifest : options.files) {
        Dc6File sprite;
        PackReport report;
        std::string spriteName;
        const bool packed = PackManifest(manifest, SettingsOf(options, wording), &sprite, &spriteName, &report);
        PrintNotices(report);
        int result = kExitRefused;
        const std::string output = options.output.value_or(spriteName);
        if (!packed)
            Refuse(report.subject, report.reason);
        else if (written.count(output) != 0)
            Refuse(output, "was already written in this run and was not replaced");
        else if (OverwritesAnInput(output, report))
            ;
        else if (!options.output && !options.force && platform::PathExists(output.c_str()))
            Refuse(output, "exists and is not replaced: give --force to replace it, or -o to name another file");
        else
            result = WriteSprite(options, output, sprite, report);
        if (result != kExitRefused) written.insert(output);
        status = std::max(status, result);
    }
    return status;
}

int PackImages(const PackOptions& options, const PackWording& wording) {
    SpriteTemplate like;
    PackSettings settings = SettingsOf(options, wording);
    std::string reason;
    std::vector<std::string> read;
    if (options.like) {
        if (!ReadSpriteTemplate(*options.like, &like, &reason)) return Refuse(*options.like, reason);
    }
    if (options.palette) {
        PaletteRgb palette{};
        int colours = 0;
        if (!ReadPackPalette(*options.palette, &palette, &colours, &reason)) return Refuse(*options.palette, reason);
        settings.palette = palette;
        read.push_back(*options.palette);
    }
    std::vector<LooseFrame> frames;
    for (std::size_t i = 0; i < options.files.size(); ++i) {
        LooseFrame frame;
        frame.path = options.files[i];
        const auto offset = options.offsets.find(static_cast<int>(i));
        if (offset != options.offsets.end()) {
            frame.xOffset = offset->second.first;
            frame.yOffset = offset->second.second;
        }
        frames.push_back(frame);
    }
    Dc6File sprite;
    PackReport report;
    const bool packed = PackLooseImages(frames, like, settings, &sprite, &report);
    PrintNotices(report);
    if (!packed) return Refuse(report.subject, report.reason);
    report.inputs.insert(report.inputs.end(), read.begin(), read.end());
    if (OverwritesAnInput(*options.output, report)) return kExitRefused;
    return WriteSprite(options, *options.output, sprite, report);
}

int Pack(const PackOptions& options, const PackWording& wording) {
    if (options.folder && !platform::ChangeDirectory(options.folder->c_str()))
        return Refuse(*options.folder, std::string("cannot enter folder: ") + std::strerror(errno));
    return options.manifest ? PackManifests(options, wording) : PackImages(options, wording);
}

}  // namespace

int RunPackCommand(int argc, char** argv, const PackWording& wording) {
    programName = "kelvane-pack";
    PackOptions options;
    if (!ParsePackOptions(argc, argv, options)) return kExitRefused;
    if (options.help) return PrintAndEnd(kPackUsage);
    if (options.version) return PrintAndEnd(std::string(programName) + " " + KELVANE_VERSION + "\n");
    const platform::DirectoryKeeper keeper;
    return Pack(options, wording);
}
