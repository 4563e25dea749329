#include "platform/temporary_record.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <random>

#include "platform/output_file.h"

#ifdef _WIN32
#include "platform/win32.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#endif

namespace platform {
namespace temporary_record {
namespace {

constexpr char kTemporaryPrefix[] = "~kelvane";
constexpr char kTemporarySuffix[] = ".tmp";

constexpr int kRecordEntries = 256;
// How long (in milliseconds) the handler waits for a file being moved into place.
constexpr int kMovingWaitMs = 2000;
#ifdef _WIN32
constexpr std::size_t kRecordedName = 4096;  // the whole path
#else
constexpr std::size_t kRecordedName = 64;  // the name in its folder
#endif

struct RecordEntry {
    std::atomic<int> state{kFree};
    std::atomic<const void*> owner{nullptr};  // the thread that took the entry
    char name[kRecordedName] = {};
#ifndef _WIN32
    int folder = -1;
    // The identity of the file we wrote, so that the name is removed only
    // while it still leads to that file.
    unsigned long long device = 0;
    unsigned long long inode = 0;
#endif
};

RecordEntry record[kRecordEntries];
std::atomic<int> ending{0};  // set once by the handler: nothing is named any more

// Its address tells the threads apart, in a signal handler too.
thread_local char threadTag;

static_assert(std::atomic<int>::is_always_lock_free, "the record is read in a signal handler");

#ifdef _WIN32
void Pause() { Sleep(1); }

void RemoveRecorded(RecordEntry& entry) { DeleteFileA(entry.name); }
#else
void Pause() {
    const timespec millisecond{0, 1000000};
    nanosleep(&millisecond, nullptr);
}

void RemoveRecorded(RecordEntry& entry) { RemoveIfSame(entry.folder, entry.name, entry.device, entry.inode); }
#endif

}  // namespace

int TakeEntry() {
    for (int i = 0; i < kRecordEntries; ++i) {
        int expected = kFree;
        if (record[i].state.compare_exchange_strong(expected, kClaimed)) {
            record[i].owner = &threadTag;
            return i;
        }
    }
    return -1;
}

void SetState(int entry, int state) {
    if (entry >= 0) record[entry].state.store(state);
}

bool BeginMoving(int entry, int stateAfterRefusal) {
    SetState(entry, kMoving);
    if (ending.load() == 0) return true;
    SetState(entry, stateAfterRefusal);
    return false;
}

bool Ending() { return ending.load() != 0; }

void ReleaseEntry(int& entry) {
    SetState(entry, kFree);
    entry = -1;
}

void RecordName(int entry, const std::string& name) {
    if (entry < 0) return;
    const std::size_t length = name.size() < kRecordedName - 1 ? name.size() : kRecordedName - 1;
    std::memcpy(record[entry].name, name.c_str(), length);
    record[entry].name[length] = '\0';
}

#ifndef _WIN32
void RecordIdentity(int entry, int folder, unsigned long long device, unsigned long long inode) {
    if (entry < 0) return;
    record[entry].folder = folder;
    record[entry].device = device;
    record[entry].inode = inode;
}

bool RemoveIfSame(int folder, const char* name, unsigned long long device, unsigned long long inode) {
    struct stat there {};
    return fstatat(folder, name, &there, AT_SYMLINK_NOFOLLOW) == 0 &&
           static_cast<unsigned long long>(there.st_dev) == device &&
           static_cast<unsigned long long>(there.st_ino) == inode && unlinkat(folder, name, 0) == 0;
}
#endif

std::string RandomName() {
    thread_local std::mt19937_64 mixer = [] {
        std::random_device device;
        const std::uint64_t seed =
            (static_cast<std::uint64_t>(device()) << 32 ^ device()) ^
            static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
            reinterpret_cast<std::uintptr_t>(&threadTag);
        return std::mt19937_64(seed);
    }();
    const std::uint64_t value = mixer();
    static const char kHex[] = "0123456789abcdef";
    std::string name(kTemporaryPrefix);
    for (int shift = 60; shift >= 0; shift -= 4) name += kHex[(value >> shift) & 0xF];
    return name + kTemporarySuffix;
}

}  // namespace temporary_record

void RemoveTemporaryFilesInProgress() {
    using namespace temporary_record;
    ending.store(1);
    for (RecordEntry& entry : record) {
        // A file being moved into place by another thread arrives whole in a
        // moment; one being moved by the thread this handler interrupted
        // never will.
        for (int waited = 0;
             waited < kMovingWaitMs && entry.state.load() == kMoving && entry.owner.load() != &threadTag; ++waited)
            Pause();
        const int state = entry.state.load();
        if (state == kRemovable || state == kMoving) RemoveRecorded(entry);
    }
}

}  // namespace platform
