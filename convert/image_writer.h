// One decoded image to its file, in the run's format (convert/output_options.h):
// PCX exactly as the program has always written it, or PNG with the run's
// palette and, unless switched off, the transparent pixels marked.
#pragma once

#include <cstdint>
#include <string>

#include "convert/run_settings.h"
#include "convert/transparency.h"
#include "platform/output_folder.h"

struct WrittenImage {
    int transparentIndex = -1;  // the index of the transparent pixels; -1: none marked (or none there)
    bool rgba = false;          // written as RGBA: opaque pixels use all 256 indices
};

// Writes the width x height canvas (stride width) as the file name of the
// settings' folder, in their format with their palette; transparency
// (needed for PNG with transparency, null otherwise) says which pixels are
// transparent. Returns true with *written filled in once the file is in
// place (an image written as RGBA gives a remark to diagnostics); false with
// the reason when it could not be written.
bool WriteImageFile(const RunSettings& settings, Diagnostics& diagnostics, const char* name, const std::uint8_t* canvas,
                    const CanvasTransparency* transparency, std::int32_t width, std::int32_t height,
                    WrittenImage* written, std::string* reason);
