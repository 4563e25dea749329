#include "convert/placement_notices.h"

#include "convert/output_names.h"
#include "convert/output_options.h"
#include "notice/error_notifier.h"
#include "sprite/frame_decoder.h"

namespace {

constexpr std::int64_t kMaxDimension = 0xFFFF;
const char kPathTooLong[] = "path longer than 259 characters";
const char kNoFolder[] = "no output folder is open";

}  // namespace

const char* FolderPath(const RunSettings& settings) {
    return settings.folder != nullptr ? settings.folder->path().c_str() : settings.options.folder.c_str();
}

const char* FolderPath() {
    return outputFolder != nullptr ? outputFolder->path().c_str() : outputOptions.folder.c_str();
}

void Notify(Diagnostics& diagnostics, NoticeCode code, const char* path, const char* reason) {
    Diagnostic notice;
    notice.code = code;
    notice.path = path;
    if (reason != nullptr) notice.reason = reason;
    diagnostics.Report(notice);
}

void Notify(NoticeCode code, const char* path, const char* reason) { Notify(ProgramDiagnostics(), code, path, reason); }

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

bool ClaimPath(const platform::OutputFolder* folder, Diagnostics& diagnostics, const OutputPath& path) {
    if (!path.Fits()) {
        Notify(diagnostics, kUnableToWrite, path.text, kPathTooLong);
        return false;
    }
    if (folder == nullptr) {
        Notify(diagnostics, kUnableToWrite, path.text, kNoFolder);
        return false;
    }
    if (!ClaimOutputPath(OutputPathKey(path.text))) {
        Notify(diagnostics, kAlreadyWritten, path.text);
        return false;
    }
    return true;
}

bool ClaimPath(const OutputPath& path) { return ClaimPath(outputFolder, ProgramDiagnostics(), path); }

void SettlePath(const OutputPath& path, bool written) { SettleOutputPath(OutputPathKey(path.text), written); }
