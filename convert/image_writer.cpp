#include "convert/image_writer.h"

#include "convert/placement_notices.h"
#include "image/pcx_writer.h"
#include "image/png_writer.h"

namespace {

constexpr char kCannotBeCoded[] = "the image cannot be coded";

bool EncodePng(platform::PendingFile& file, const std::uint8_t* palette, const std::uint8_t* canvas,
               const CanvasTransparency* transparency, std::int32_t width, std::int32_t height, WrittenImage* written) {
    if (transparency != nullptr) {
        written->rgba = transparency->rgba;
        written->transparentIndex = transparency->index;
    }
    if (!written->rgba) return WriteIndexedPng(file, canvas, width, height, width, palette, written->transparentIndex);
    return WriteRgbaPng(file, canvas, transparency->marker, transparency->opaqueMarked.data(),
                        transparency->opaqueMarked.size(), width, height, width, palette);
}

}  // namespace

bool WriteImageFile(const RunSettings& settings, Diagnostics& diagnostics, const char* name, const std::uint8_t* canvas,
                    const CanvasTransparency* transparency, std::int32_t width, std::int32_t height,
                    WrittenImage* written, std::string* reason) {
    *written = WrittenImage();
    platform::OutputFolder& folder = *settings.folder;
    std::unique_ptr<platform::PendingFile> file = folder.Begin(name, reason);
    if (!file) return false;
    const bool png = settings.options.format == ImageFormat::Png;
    if (!(png ? EncodePng(*file, settings.palette, canvas, transparency, width, height, written)
              : EncodePcx(*file, canvas, width, height, width, settings.palette))) {
        *reason = file->Reason().empty() ? kCannotBeCoded : file->Reason();
        return false;
    }
    if (!file->Commit()) {
        *reason = file->Reason();
        return false;
    }
    if (written->rgba)
        NotifyRemark(diagnostics, std::string("every palette index is used by an opaque pixel: ") +
                                      folder.PathOf(name) + " is written as RGBA");
    return true;
}
