// The paths of the files a run writes for a sprite, all made here: the
// stitched image or sheet ("FOLDER\NAME.pcx"), each separate frame
// ("FOLDER\NAME0.pcx", ...), the manifest ("FOLDER\NAME.json"), the
// animation ("FOLDER\NAME.apng" or ".gif"), and the image the program's
// "Converted" column looks for. FOLDER is the run's output folder as
// FolderPath gives it; NAME the sprite file's name without its extension.
#pragma once

#include <cstddef>

#include "convert/image_plan.h"
#include "convert/run_settings.h"

OutputPath StitchedImagePath(const RunSettings& settings, const char* name);
OutputPath SeparateImagePath(const RunSettings& settings, const char* name, int frame);
OutputPath ManifestPath(const RunSettings& settings, const char* name);
OutputPath AnimationPath(const RunSettings& settings, const char* name);

// The image the program's list says a sprite file was converted to:
// "FOLDER\NAMEpcx", NAME the sprite file's name without its last three
// characters (the "dc6" of its extension, whatever its letter case; the dot
// stays). Formed into path (size bytes); false, with path empty, when the
// whole path and its terminating zero do not fit: a shortened path could
// name another file.
bool ConvertedImagePath(const char* folder, const char* spriteName, char* path, std::size_t size);
