#include "cli/file_conversion.h"

#include <cstring>
#include <string>

#include "convert/frame_placement.h"
#include "convert/output_names.h"
#include "convert/output_options.h"
#include "convert/sprite_conversion.h"
#include "platform/files.h"

namespace {

std::string NameOf(const std::string& path) {
    const std::size_t cut = path.find_last_of("/" KV_PATH_SEPARATOR);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

void Converted(RunPlan& plan, std::size_t index, const char* name, FileResult& result, NoticeCollector& notices) {
    char buffer[kNameBufferSize] = {};
    std::memcpy(buffer, name, std::strlen(name));
    outputFolder = &plan.FolderOf(index);
    imagesWritten = 0;
    const std::string& path = plan.files[index].path;
    if (ConvertSpriteFile(path.c_str(), buffer) == SpriteOutcome::Unreadable) {
        notices.Add(Notice::Kind::Notice, platform::PathExists(path.c_str()) ? "cannot be read" : "does not exist");
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
        const std::string& path = plan.files[index].path;
        const std::string name = checkNames ? path : NameOf(path);
        if (name.size() >= static_cast<std::size_t>(kNameBufferSize)) {
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
