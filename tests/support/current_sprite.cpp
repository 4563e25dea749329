#include "tests/support/current_sprite.h"

#include <cstring>

#include "ui/program/dc6_file.h"

namespace test {

HeapBlock BlockWithSlack(const Bytes& bytes) {
    HeapBlock block(static_cast<std::uint8_t*>(std::calloc(bytes.size() + kFileSlack, 1)));
    if (!bytes.empty()) std::memcpy(block.get(), bytes.data(), bytes.size());
    return block;
}

CurrentSprite::CurrentSprite(const Bytes& file) : block_(BlockWithSlack(file)) {
    spriteData = block_.get();
    spriteSize = static_cast<std::uint32_t>(file.size());
}

CurrentSprite::~CurrentSprite() {
    spriteData = nullptr;
    spriteSize = 0;
}

}  // namespace test
