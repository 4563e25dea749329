// kelvane-pack: images (and the manifest kelvane-convert writes beside them)
// back into a DC6 sprite file.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/command_line.h"
#include "cli/interruption.h"
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

int Pack(const PackOptions& options) {
    if (options.folder && !platform::ChangeDirectory(options.folder->c_str()))
        return Refuse(*options.folder, std::string("cannot enter folder: ") + std::strerror(errno));

    Dc6File sprite;
    PackReport report;
    std::string output;
    bool packed = false;
    if (options.manifest) {
        std::string spriteName;
        packed = PackManifest(options.files.front(), &sprite, &spriteName, &report);
        output = options.output.value_or(spriteName);
    } else {
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
        packed = PackLooseImages(frames, like, &sprite, &report);
        output = *options.output;
    }
    for (const auto& notice : report.notices) PrintNotice(notice.first, notice.second);
    if (!packed) return Refuse(report.subject, report.reason);

    platform::OutputFile file;
    std::string reason;
    if (!file.Open(output.c_str())) return Refuse(output, "cannot be written: " + file.Reason());
    if (!WriteDc6(file, sprite, &reason)) {
        return Refuse(output, "cannot be written: " + (file.Reason().empty() ? reason : file.Reason()));
    }
    if (!file.Commit()) return Refuse(output, "cannot be written: " + file.Reason());
    return report.notices.empty() ? kExitClean : kExitNotices;
}

}  // namespace

int main(int argc, char** argv) {
    programName = "kelvane-pack";
    HandleInterruptions();
    PackOptions options;
    if (!ParsePackOptions(argc, argv, options)) return kExitRefused;
    if (options.help) return PrintAndEnd(kPackUsage);
    if (options.version) return PrintAndEnd(std::string(programName) + " " + KELVANE_VERSION + "\n");
    return Pack(options);
}
