// What the images of a conversion run are written as, and where. The
// program's Convert uses the defaults (8-bit PCX in "PCXFiles", nothing
// else); the command-line converter may choose PNG, another folder, a frame
// manifest beside the images, and one sheet per sprite.
#pragma once

#include <string>

enum class ImageFormat { Pcx, Png };
enum class AnimationFormat { None, Apng, Gif };

struct OutputOptions {
    std::string folder = "PCXFiles";  // relative to the current directory
    bool folderNamed = false;         // the user named it: used as given, link or not
    ImageFormat format = ImageFormat::Pcx;
    bool transparency = true;                           // PNG: pixels no literal wrote are transparent
    bool manifest = false;                              // NAME.json beside the images
    bool sheet = false;                                 // all images of a sprite in one picture
    AnimationFormat animation = AnimationFormat::None;  // NAME.apng or NAME.gif beside a separate sprite's frames
    int fps = 10;                                       // animation frames a second, 1..100
    std::string paletteName = "built-in";               // what the manifest says the palette was
};

// The file name extension of the format: "pcx" or "png".
const char* ImageExtension(ImageFormat format);
