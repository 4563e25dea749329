// Makes a byte vector the current sprite file, as the conversion would after
// reading it: a block with the zero-filled slack after the file's bytes.
#pragma once

#include "platform/heap_block.h"
#include "tests/support/dc6_builder.h"

namespace test {

class CurrentSprite {
public:
    explicit CurrentSprite(const Bytes& file);
    ~CurrentSprite();
    CurrentSprite(const CurrentSprite&) = delete;
    CurrentSprite& operator=(const CurrentSprite&) = delete;

private:
    HeapBlock block_;
};

// A block holding bytes followed by zero-filled slack, as LoadWholeFile gives.
HeapBlock BlockWithSlack(const Bytes& bytes);

}  // namespace test
