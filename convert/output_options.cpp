#include "convert/output_options.h"

const char* ImageExtension(ImageFormat format) { return format == ImageFormat::Png ? "png" : "pcx"; }
