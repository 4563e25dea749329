// kelvane-pack: images (and the manifest kelvane-convert writes beside them)
// back into a DC6 sprite file.
#include "cli/pack_command.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "cli/command_line.h"
#include "cli/pack_options.h"
#include "cli/printable.h"
#include "convert/sprite_packing.h"
#include "platform/directory.h"
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

// Writes a packed sprite through the safe write path, after the notices
// packing gave. Returns the exit status of this sprite.
int WriteSprite(const std::string& output, bool packed, const Dc6File& sprite, const PackReport& report) {
    for (const auto& notice : report.notices) PrintNotice(notice.first, notice.second);
    if (!packed) return Refuse(report.subject, report.reason);
    platform::OutputFile file;
    std::string reason;
    if (!file.Open(output.c_str())) return Refuse(output, "cannot be written: " + file.Reason());
    if (!WriteDc6(file, sprite, &reason))
        return Refuse(output, "cannot be written: " + (file.Reason().empty() ? reason : file.Reason()));
    if (!file.Commit()) return Refuse(output, "cannot be written: " + file.Reason());
    return report.notices.empty() ? kExitClean : kExitNotices;
}

// Each manifest in turn, under -o or its sprite's name; one refused manifest
// does not stop the others. Two manifests of one sprite name: the first wins.
int PackManifests(const PackOptions& options) {
    int status = kExitClean;
    std::set<std::string> written;
    for (const std::string& manifest : options.files) {
        Dc6File sprite;
        PackReport report;
        std::string spriteName;
        const bool packed = PackManifest(manifest, &sprite, &spriteName, &report);
        const std::string output = options.output.value_or(spriteName);
        int result = kExitRefused;
        if (packed && written.count(output) != 0)
            Refuse(output, "was already written in this run and was not replaced");
        else
            result = WriteSprite(output, packed, sprite, report);
        if (result != kExitRefused) written.insert(output);
        status = std::max(status, result);
    }
    return status;
}

int PackImages(const PackOptions& options) {
    SpriteTemplate like;
    std::string reason;
    if (options.like && !ReadSpriteTemplate(*options.like, &like, &reason)) return Refuse(*options.like, reason);
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
    const bool packed = PackLooseImages(frames, like, &sprite, &report);
    return WriteSprite(*options.output, packed, sprite, report);
}

int Pack(const PackOptions& options) {
    if (options.folder && !platform::ChangeDirectory(options.folder->c_str()))
        return Refuse(*options.folder, std::string("cannot enter folder: ") + std::strerror(errno));
    return options.manifest ? PackManifests(options) : PackImages(options);
}

}  // namespace

int RunPackCommand(int argc, char** argv) {
    programName = "kelvane-pack";
    PackOptions options;
    if (!ParsePackOptions(argc, argv, options)) return kExitRefused;
    if (options.help) return PrintAndEnd(kPackUsage);
    if (options.version) return PrintAndEnd(std::string(programName) + " " + KELVANE_VERSION + "\n");
    const platform::DirectoryKeeper keeper;
    return Pack(options);
}
