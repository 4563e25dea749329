// Ownership of blocks obtained with std::malloc, released with std::free.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

struct FreeDeleter {
    void operator()(void* block) const { std::free(block); }
};

using HeapBlock = std::unique_ptr<std::uint8_t, FreeDeleter>;
