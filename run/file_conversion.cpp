#include "run/file_conversion.h"

#include <cerrno>
#include <functional>
#include <optional>
#include <string>

#include "convert/frame_placement.h"
#include "convert/output_names.h"
#include "convert/sprite_conversion.h"
#include "platform/files.h"
#include "platform/heap_block.h"
#include "sprite/file_bytes.h"

namespace {

// What a notice says ran out: memory, disk space, or nothing.
using Room = platform::ReasonRoom;

Room RoomIn(const Notice& notice) {
    if (notice.code == NoticeCode::kNoMemory) return Room::Memory;
    return platform::RoomOf(notice.reason);
}

void Converted(RunPlan& plan, std::size_t index, const std::string& name, const RunSettings& run, FileResult& result,
               NoticeCollector& notices, RunOrder* order) {
    std::string notice;
    const RunFolder* folder = plan.Reach(index, &result.subject, &notice);
    if (folder == nullptr) {
        if (!notice.empty()) notices.Add(Notice::Kind::Refusal, notice.c_str());
        result.skipped = true;
        return;
    }
    std::optional<HeldFolder> held;
    if (order != nullptr) held.emplace(*folder->output, *order, index);
    RunSettings settings = run;
    settings.folder = held ? static_cast<platform::OutputFolder*>(&*held) : folder->output.get();
    std::function<bool(std::uint64_t)> admit;
    if (order != nullptr) admit = [&](std::uint64_t need) { return order->Admit(index, need); };
    bool missing = false;
    errno = 0;
    std::uint32_t size = 0;
    const HeapBlock block(ReadFileWithSlackIn(folder->input, name.c_str(), &size, &missing));
    if (!block) {
        result.ranShort = errno == ENOMEM;
        notices.Add(Notice::Kind::Refusal, missing ? "does not exist" : "cannot be read");
        result.skipped = true;
        return;
    }
    result.images = ConvertSprite(block.get(), size, name, settings, index, notices, admit).imagesWritten;
}

}  // namespace

FileResult ConvertFile(RunPlan& plan, std::size_t index, bool checkNames, const RunSettings& settings,
                       RunOrder* order) {
    FileResult result;
    {
        std::optional<FileClaims> place;
        if (settings.claims != nullptr) place.emplace(*settings.claims, index);
        NoticeCollector notices;
        const RunFile& file = plan.files[index];
        const std::string& name = file.name;
        if (order != nullptr && order->Abandoned()) {
            // Given up before it began: it will be converted again.
        } else if (!file.notice.empty()) {
            notices.Add(Notice::Kind::Refusal, file.notice.c_str());
            result.skipped = true;
        } else if (name.size() >= static_cast<std::size_t>(kNameBufferSize)) {
            notices.Add(Notice::Kind::Refusal, "name is too long");
            result.skipped = true;
        } else if (checkNames && name.find_first_of("/" KV_PATH_SEPARATOR) != std::string::npos) {
            // The output name is the sprite's name in the output folder, so a
            // path would name a folder there that does not exist.
            notices.Add(Notice::Kind::Refusal, "is not a name in the folder; use -C to work in its folder");
            result.skipped = true;
        } else {
            Converted(plan, index, name, settings, result, notices, order);
        }
        result.notices = std::move(notices.notices);
    }
    for (const Notice& notice : result.notices) {
        const Room room = RoomIn(notice);
        result.ranShort = result.ranShort || room != Room::Enough;
        result.diskFull = result.diskFull || room == Room::Disk;
    }
    return result;
}
