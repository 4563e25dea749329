#include "convert/image_writer.h"

#include "convert/output_options.h"
#include "image/palette.h"
#include "image/pcx_writer.h"
#include "image/png_writer.h"
#include "notice/notice_collector.h"

namespace {

constexpr char kCannotBeCoded[] = "the image cannot be coded";

bool EncodePng(platform::PendingFile& file, const std::uint8_t* canvas, const CanvasTransparency* transparency,
               std::int32_t width, std::int32_t height, WrittenImage* written) {
    if (transparency != nullptr) {
        written->rgba = transparency->rgba;
        written->transparentIndex = transparency->index;
    }
    if (!written->rgba)
        return WriteIndexedPng(file, canvas, width, height, width, currentPalette, written->transparentIndex);
    return WriteRgbaPng(file, canvas, transparency->marker, transparency->opaqueMarked.data(),
                        transparency->opaqueMarked.size(), width, height, width, currentPalette);
}

}  // namespace

bool WriteImageFile(platform::OutputFolder& folder, const char* name, const std::uint8_t* canvas,
                    const CanvasTransparency* transparency, std::int32_t width, std::int32_t height,
                    WrittenImage* written, std::string* reason) {
    *written = WrittenImage();
    std::unique_ptr<platform::PendingFile> file = folder.Begin(name, reason);
    if (!file) return false;
    const bool png = outputOptions.format == ImageFormat::Png;
    if (!(png ? EncodePng(*file, canvas, transparency, width, height, written)
              : EncodePcx(*file, canvas, width, height, width, currentPalette))) {
        *reason = file->Reason().empty() ? kCannotBeCoded : file->Reason();
        return false;
    }
    if (!file->Commit()) {
        *reason = file->Reason();
        return false;
    }
    if (written->rgba)
        Remark(std::string("every palette index is used by an opaque pixel: ") + folder.PathOf(name) +
                           " is written as RGBA");
    return true;
}
