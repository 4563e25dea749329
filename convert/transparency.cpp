#include "convert/transparency.h"

#include <array>

int ChooseTransparentIndex(const std::uint8_t* pixels, const std::uint8_t* opaque, std::size_t count,
                           std::uint8_t fill) {
    std::array<bool, 256> used{};
    bool anyTransparent = false;
    for (std::size_t i = 0; i < count; ++i) {
        used[pixels[i]] |= opaque[i] != 0;
        anyTransparent |= opaque[i] == 0;
    }
    if (!anyTransparent) return kNoTransparentPixel;
    if (!used[fill]) return fill;
    for (int index = 0; index < 256; ++index)
        if (!used[static_cast<std::size_t>(index)]) return index;
    return kNoIndexLeft;
}

void MarkTransparent(std::uint8_t* pixels, const std::uint8_t* opaque, std::size_t count, std::uint8_t index) {
    for (std::size_t i = 0; i < count; ++i)
        if (opaque[i] == 0) pixels[i] = index;
}
