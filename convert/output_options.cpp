#include "convert/output_options.h"

OutputOptions outputOptions;
thread_local platform::OutputFolder* outputFolder = nullptr;

const char* ImageExtension(ImageFormat format) { return format == ImageFormat::Png ? "png" : "pcx"; }
