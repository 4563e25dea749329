// What the images of a conversion run are written as, and where. The
// program's Convert uses the defaults (8-bit PCX in "PCXFiles", nothing
// else); the command-line converter may choose PNG, another folder, a frame
// manifest beside the images, and one sheet per sprite.
#pragma once

#include <functional>
#include <string>

#include "platform/output_folder.h"

enum class ImageFormat { Pcx, Png };

struct OutputOptions {
    std::string folder = "PCXFiles";  // relative to the current directory
    ImageFormat format = ImageFormat::Pcx;
    bool transparency = true;         // PNG: pixels no literal wrote are transparent
    bool manifest = false;            // NAME.json beside the images
    bool sheet = false;               // all images of a sprite in one picture
    std::string paletteName = "built-in";  // what the manifest says the palette was
};

extern OutputOptions outputOptions;

// The folder the current sprite's files go to, while a run has one open
// (EnsureOutputFolder); none otherwise, and then nothing is written.
extern platform::OutputFolder* outputFolder;

// Where the run says things that are worth knowing but are no fault (an
// image written as RGBA). Unset, they go nowhere.
extern std::function<void(const std::string& text)> informationHandler;

// The file name extension of the format: "pcx" or "png".
const char* ImageExtension(ImageFormat format);
