#include "ui/converted_image.h"

#include <cstdio>
#include <cstring>

#include "convert/frame_placement.h"
#include "ui/program/output_options.h"
#include "convert/output_paths.h"
#include "convert/sprite_conversion.h"
#include "platform/files.h"

bool ConvertedImagePath(const char* spriteName, char* path, std::size_t size) {
    return ConvertedImagePath(outputOptions.folder.c_str(), spriteName, path, size);
}

bool ConvertedImageExists(const char* spriteName) {
    char path[kNameBufferSize];
    return ConvertedImagePath(spriteName, path, sizeof path) && platform::PathExists(path);
}
