#include "convert/image_writer.h"

#include "convert/output_options.h"
#include "convert/transparency.h"
#include "image/palette.h"
#include "image/pcx_writer.h"
#include "image/png_writer.h"
#include "sprite/dc6_file.h"

namespace {

constexpr char kCannotBeCoded[] = "the image cannot be coded";

bool EncodePng(platform::PendingFile& file, std::uint8_t* canvas, const std::uint8_t* opaque, std::int32_t width,
               std::int32_t height, WrittenImage* written) {
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (opaque != nullptr) {
        const int index = ChooseTransparentIndex(canvas, opaque, count, terminator[3]);
        written->rgba = index == kNoIndexLeft;
        written->transparentIndex = index >= 0 ? index : -1;
        if (written->transparentIndex >= 0 && written->transparentIndex != terminator[3])
            MarkTransparent(canvas, opaque, count, static_cast<std::uint8_t>(written->transparentIndex));
    }
    return written->rgba ? WriteRgbaPng(file, canvas, opaque, width, height, width, currentPalette)
                         : WriteIndexedPng(file, canvas, width, height, width, currentPalette,
                                           written->transparentIndex);
}

}  // namespace

bool WriteImageFile(platform::OutputFolder& folder, const char* name, std::uint8_t* canvas,
                    const std::uint8_t* opaque, std::int32_t width, std::int32_t height, WrittenImage* written,
                    std::string* reason) {
    *written = WrittenImage();
    std::unique_ptr<platform::PendingFile> file = folder.Begin(name, reason);
    if (!file) return false;
    const bool png = outputOptions.format == ImageFormat::Png;
    if (!(png ? EncodePng(*file, canvas, opaque, width, height, written)
              : EncodePcx(*file, canvas, width, height, width, currentPalette))) {
        *reason = file->Reason().empty() ? kCannotBeCoded : file->Reason();
        return false;
    }
    if (!file->Commit()) {
        *reason = file->Reason();
        return false;
    }
    if (written->rgba && informationHandler)
        informationHandler(std::string("every palette index is used by an opaque pixel: ") + folder.PathOf(name) +
                           " is written as RGBA");
    return true;
}
