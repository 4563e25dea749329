// Decodes a PCX file with the program's reader and writes the picture it would
// show as a binary PPM, so that files from other programs can be compared
// with their sources.
#include <cstdio>

#include "image/pcx_reader.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: pcx_to_ppm FILE.pcx OUT.ppm\n");
        return 2;
    }
    DisplayImage image;
    if (ReadPcxFile(argv[1], &image) != PcxDecode::Decoded) return 1;
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) return 1;
    std::fprintf(out, "P6\n%d %d\n255\n", image.width, image.height);
    const std::uint8_t* colours = image.bitmapInfo.get() + 40;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t* entry =
                colours + 4 * image.pixels.get()[static_cast<std::size_t>(y) * image.rowStride + x];
            const unsigned char rgb[3] = {entry[2], entry[1], entry[0]};
            std::fwrite(rgb, 1, 3, out);
        }
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
