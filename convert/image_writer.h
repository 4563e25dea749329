// One decoded image to its file, in the run's format (convert/output_options.h):
// PCX exactly as the program has always written it, or PNG with the run's
// palette and, unless switched off, the transparent pixels marked.
#pragma once

#include <cstdint>
#include <string>

#include "platform/output_folder.h"

struct WrittenImage {
    int transparentIndex = -1;  // the index of the transparent pixels; -1: none marked (or none there)
    bool rgba = false;          // written as RGBA: opaque pixels use all 256 indices
};

// Writes the width x height canvas (stride width; opaque: the pixels literal
// runs wrote, needed for PNG with transparency) as the file name of folder
// with currentPalette. The canvas may be changed (transparent pixels take
// their index). Returns true with *written filled in once the file is in
// place; false with the reason when it could not be written.
bool WriteImageFile(platform::OutputFolder& folder, const char* name, std::uint8_t* canvas,
                    const std::uint8_t* opaque, std::int32_t width, std::int32_t height, WrittenImage* written,
                    std::string* reason);
