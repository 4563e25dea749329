#include "convert/output_options.h"

OutputOptions outputOptions;
platform::OutputFolder* outputFolder = nullptr;
std::function<void(const std::string& text)> informationHandler;

const char* ImageExtension(ImageFormat format) { return format == ImageFormat::Png ? "png" : "pcx"; }
