#include "convert/placement_notices.h"

#include "convert/output_names.h"
#include "sprite/frame_decoder.h"

namespace {

constexpr std::int64_t kMaxDimension = 0xFFFF;
const char kPathTooLong[] = "path longer than 259 characters";
const char kNoFolder[] = "no output folder is open";

}  // namespace

const char* FolderPath(const RunSettings& settings) {
    return settings.folder != nullptr ? settings.folder->path().c_str() : settings.options.folder.c_str();
}

void Notify(Diagnostics& diagnostics, NoticeCode code, const char* path, const char* reason) {
    Diagnostic notice;
    notice.code = code;
    notice.path = path;
    if (reason != nullptr) notice.reason = reason;
    diagnostics.Report(notice);
}

void NotifyRemark(Diagnostics& diagnostics, const std::string& text) {
    Diagnostic notice;
    notice.code = NoticeCode::kRemark;
    notice.detail = text;
    diagnostics.Report(notice);
}

bool ValidImageSize(std::int64_t width, std::int64_t height) {
    return width >= 1 && height >= 1 && width <= kMaxDimension && height <= kMaxDimension &&
           static_cast<std::uint64_t>(width * height) <= kMaxCanvasPixels;
}

bool ClaimPath(const SpriteJob& job, const OutputPath& path) {
    Diagnostics& diagnostics = job.diagnostics;
    if (!path.Fits()) {
        Notify(diagnostics, kUnableToWrite, path.text, kPathTooLong);
        return false;
    }
    if (job.settings.folder == nullptr) {
        Notify(diagnostics, kUnableToWrite, path.text, kNoFolder);
        return false;
    }
    OutputClaims* claims = job.settings.claims;
    if (claims != nullptr && !claims->Claim(job.file, OutputPathKey(path.text))) {
        Notify(diagnostics, kAlreadyWritten, path.text);
        return false;
    }
    return true;
}

void SettlePath(const SpriteJob& job, const OutputPath& path, bool written) {
    if (job.settings.claims != nullptr) job.settings.claims->Settle(job.file, OutputPathKey(path.text), written);
}
