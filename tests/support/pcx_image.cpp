#include "tests/support/pcx_image.h"

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"

namespace test {

PcxImage ParsePcx(const Bytes& file) {
    PcxImage image;
    if (file.size() < 128 + 769) {
        ADD_FAILURE() << "a PCX file of " << file.size() << " bytes";
        return image;
    }
    image.width = static_cast<std::uint16_t>(file[8] | file[9] << 8) + 1;
    image.height = static_cast<std::uint16_t>(file[10] | file[11] << 8) + 1;
    if (image.width == 0x10000) image.width = 0;
    if (image.height == 0x10000) image.height = 0;
    std::size_t at = 128;
    while (image.pixels.size() < static_cast<std::size_t>(image.width) * image.height && at < file.size()) {
        const std::uint8_t code = file[at++];
        if ((code & 0xC0) == 0xC0) {
            image.pixels.insert(image.pixels.end(), code & 0x3F, file.at(at++));
        } else {
            image.pixels.push_back(code);
        }
    }
    EXPECT_EQ(image.pixels.size(), static_cast<std::size_t>(image.width) * image.height);
    EXPECT_EQ(file.at(at), 0x0C);
    image.palette.assign(file.begin() + static_cast<std::ptrdiff_t>(at) + 1, file.end());
    EXPECT_EQ(image.palette.size(), 768u);
    return image;
}

PcxImage ReadPcxFile(const std::string& path) { return ParsePcx(ReadFile(path)); }

}  // namespace test
