#include "tests/ui/free_counter.h"

#include <atomic>
#include <cstddef>

namespace {

std::atomic<const void*> watched{nullptr};
std::atomic<int> releases{0};

void* Handed(void* block) {
    const void* expected = block;
    if (block != nullptr) watched.compare_exchange_strong(expected, nullptr);
    return block;
}

}  // namespace

extern "C" {
void __real_free(void* block);
void* __real_malloc(std::size_t size);
void* __real_calloc(std::size_t count, std::size_t size);
void* __real_realloc(void* block, std::size_t size);

void __wrap_free(void* block) {
    if (block != nullptr && block == watched.load()) ++releases;
    __real_free(block);
}
void* __wrap_malloc(std::size_t size) { return Handed(__real_malloc(size)); }
void* __wrap_calloc(std::size_t count, std::size_t size) { return Handed(__real_calloc(count, size)); }
void* __wrap_realloc(void* block, std::size_t size) { return Handed(__real_realloc(block, size)); }
}

namespace uitest {

void WatchReleases(const void* block) {
    releases = 0;
    watched = block;
}

int Releases() { return releases; }

}  // namespace uitest
