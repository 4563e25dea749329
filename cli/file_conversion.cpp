#include "cli/file_conversion.h"

#include <cstring>
#include <string>

#include "convert/frame_placement.h"
#include "convert/output_names.h"
#include "convert/output_options.h"
#include "convert/sprite_conversion.h"
#include "platform/files.h"

namespace {

void Converted(RunPlan& plan, std::size_t index, const char* name, FileResult& result, NoticeCollector& notices) {
    std::string notice;
    const RunFolder* folder = plan.Reach(index, &result.subject, &notice);
    if (folder == nullptr) {
        if (!notice.empty()) notices.Add(Notice::Kind::Notice, notice.c_str());
        result.skipped = true;
        return;
    }
    char buffer[kNameBufferSize] = {};
    std::memcpy(buffer, name, std::strlen(name));
    outputFolder = folder->output.get();
    imagesWritten = 0;
    bool missing = false;
    if (ConvertSpriteFileIn(folder->input, plan.files[index].name.c_str(), buffer, &missing) ==
        SpriteOutcome::Unreadable) {
        notices.Add(Notice::Kind::Notice, missing ? "does not exist" : "cannot be read");
        result.skipped = true;
    }
    result.images = imagesWritten;
    outputFolder = nullptr;
}

}  // namespace

FileResult ConvertFile(RunPlan& plan, std::size_t index, bool checkNames) {
    FileResult result;
    {
        const ConvertingFile place(index);
        NoticeCollector notices;
        const RunFile& file = plan.files[index];
        const std::string& name = file.name;
        if (!file.notice.empty()) {
            notices.Add(Notice::Kind::Notice, file.notice.c_str());
            result.skipped = true;
        } else if (name.size() >= static_cast<std::size_t>(kNameBufferSize)) {
            notices.Add(Notice::Kind::Notice, "name is too long");
            result.skipped = true;
        } else if (checkNames && name.find_first_of("/" KV_PATH_SEPARATOR) != std::string::npos) {
            // The output name is the sprite's name in the output folder, so a
            // path would name a folder there that does not exist.
            notices.Add(Notice::Kind::Notice, "is not a name in the folder; use -C to work in its folder");
            result.skipped = true;
        } else {
            Converted(plan, index, name.c_str(), result, notices);
        }
        result.notices = std::move(notices.notices);
    }
    plan.Done(index);
    return result;
}
