#include "convert/output_paths.h"

#include <cstdio>
#include <cstring>

#include "convert/placement_notices.h"
#include "platform/files.h"

namespace {

const char kNamedPath[] = "%s" KV_PATH_SEPARATOR "%s.%s";
const char kFramePath[] = "%s" KV_PATH_SEPARATOR "%s%i.%s";

OutputPath Named(const RunSettings& settings, const char* name, const char* extension) {
    OutputPath path;
    std::snprintf(path.text, sizeof path.text, kNamedPath, FolderPath(settings), name, extension);
    return path;
}

}  // namespace

OutputPath StitchedImagePath(const RunSettings& settings, const char* name) {
    return Named(settings, name, ImageExtension(settings.options.format));
}

OutputPath SeparateImagePath(const RunSettings& settings, const char* name, int frame) {
    OutputPath path;
    std::snprintf(path.text, sizeof path.text, kFramePath, FolderPath(settings), name, frame,
                  ImageExtension(settings.options.format));
    return path;
}

OutputPath ManifestPath(const RunSettings& settings, const char* name) { return Named(settings, name, "json"); }

OutputPath AnimationPath(const RunSettings& settings, const char* name) {
    return Named(settings, name, settings.options.animation == AnimationFormat::Gif ? "gif" : "apng");
}

bool ConvertedImagePath(const char* folder, const char* spriteName, char* path, std::size_t size) {
    const std::size_t length = std::strlen(spriteName);
    const int kept = static_cast<int>(length < 3 ? 0 : length - 3);
    const int written = std::snprintf(path, size, "%s" KV_PATH_SEPARATOR "%.*spcx", folder, kept, spriteName);
    if (written < 0 || static_cast<std::size_t>(written) >= size) {
        if (size != 0) path[0] = '\0';
        return false;
    }
    return true;
}
