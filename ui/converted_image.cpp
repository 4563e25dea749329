#include "ui/converted_image.h"

#include <cstdio>
#include <cstring>

#include "convert/frame_placement.h"
#include "convert/output_options.h"
#include "convert/sprite_conversion.h"
#include "platform/files.h"

bool ConvertedImagePath(const char* spriteName, char* path, std::size_t size) {
    const std::size_t length = std::strlen(spriteName);
    const int kept = static_cast<int>(length < 3 ? 0 : length - 3);
    const int written = std::snprintf(path, size, "%s" KV_PATH_SEPARATOR "%.*spcx", outputOptions.folder.c_str(), kept, spriteName);
    if (written < 0 || static_cast<std::size_t>(written) >= size) {
        if (size != 0) path[0] = '\0';
        return false;
    }
    return true;
}

bool ConvertedImageExists(const char* spriteName) {
    char path[kNameBufferSize];
    return ConvertedImagePath(spriteName, path, sizeof path) && platform::PathExists(path);
}
