#include "convert/image_writer.h"

#include "convert/output_options.h"
#include "convert/transparency.h"
#include "image/palette.h"
#include "image/pcx_writer.h"
#include "image/png_writer.h"
#include "platform/output_file.h"
#include "sprite/dc6_file.h"

namespace {

bool WritePng(const char* path, std::uint8_t* canvas, const std::uint8_t* opaque, std::int32_t width,
              std::int32_t height, WrittenImage* written, std::string* reason) {
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    *written = WrittenImage();
    if (opaque != nullptr) {
        const int index = ChooseTransparentIndex(canvas, opaque, count, terminator[3]);
        written->rgba = index == kNoIndexLeft;
        written->transparentIndex = index >= 0 ? index : -1;
        if (written->transparentIndex >= 0 && written->transparentIndex != terminator[3])
            MarkTransparent(canvas, opaque, count, static_cast<std::uint8_t>(written->transparentIndex));
    }
    platform::OutputFile file;
    bool done = file.Open(path);
    if (done) {
        done = written->rgba ? WriteRgbaPng(file, canvas, opaque, width, height, width, currentPalette)
                             : WriteIndexedPng(file, canvas, width, height, width, currentPalette,
                                               written->transparentIndex);
        if (!done && file.Reason().empty()) *reason = "the image cannot be coded";
        done = done && file.Commit();
    }
    if (!done && !file.Reason().empty()) *reason = file.Reason();
    if (done && written->rgba && informationHandler)
        informationHandler(std::string("every palette index is used by an opaque pixel: ") + path +
                           " is written as RGBA");
    return done;
}

}  // namespace

bool WriteImageFile(const char* path, std::uint8_t* canvas, const std::uint8_t* opaque, std::int32_t width,
                    std::int32_t height, WrittenImage* written, std::string* reason) {
    if (outputOptions.format == ImageFormat::Png) return WritePng(path, canvas, opaque, width, height, written, reason);
    *written = WrittenImage();
    return WritePcx(path, canvas, width, height, width, currentPalette, reason);
}
