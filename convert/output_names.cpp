#include "convert/output_names.h"

#include <condition_variable>
#include <mutex>
#include <unordered_map>

namespace {

enum class State { Pending, Written, GivenUp };

struct Claim {
    std::size_t file;
    State state;
};

std::mutex guard;
std::condition_variable changed;
// Every path some file of the run planned or wrote, with the files that did,
// in the order they came. Looked up by key, never walked whole: a run of
// many thousand files must cost each file its own paths only.
std::unordered_map<std::string, std::vector<Claim>> claims;
std::vector<bool> planned;     // by file
std::size_t plannedBelow = 0;  // every file before this one has planned
std::size_t nextImplicit = 0;  // the next file of a run on one thread

constexpr std::size_t kNoFile = static_cast<std::size_t>(-1);
thread_local std::size_t currentFile = kNoFile;
// The thread's ConvertingFile, which keeps the keys its file planned or
// settled, so that it gives up only its own when it ends. A plain pointer on
// purpose: a thread_local object with a destructor (the keys themselves)
// crashed the Windows build at thread exit, where the thread runtime ran its
// destructor on storage that was no longer its own.
thread_local ConvertingFile* currentConverting = nullptr;

// Marks file as planned; under guard.
void MarkPlanned(std::size_t file) {
    if (planned.size() <= file) planned.resize(file + 1, false);
    planned[file] = true;
    while (plannedBelow < planned.size() && planned[plannedBelow]) ++plannedBelow;
}

Claim* OwnClaim(std::vector<Claim>& list, std::size_t file) {
    for (Claim& claim : list)
        if (claim.file == file) return &claim;
    return nullptr;
}

}  // namespace

// Keeps key with the thread's file, when one is being converted; under guard.
void RememberKey(const std::string& key) {
    if (currentConverting != nullptr) currentConverting->keys_.push_back(key);
}

void ForgetOutputPaths() {
    const std::lock_guard<std::mutex> lock(guard);
    claims.clear();
    planned.clear();
    plannedBelow = 0;
    nextImplicit = 0;
}

void ForgetOutputPathsFrom(std::size_t file) {
    const std::lock_guard<std::mutex> lock(guard);
    for (auto& [key, list] : claims) {
        std::vector<Claim> kept;
        for (const Claim& claim : list)
            if (claim.file < file) kept.push_back(claim);
        list = std::move(kept);
    }
    if (planned.size() > file) planned.resize(file);
    if (plannedBelow > file) plannedBelow = file;
}

ConvertingFile::ConvertingFile() {
    const std::lock_guard<std::mutex> lock(guard);
    currentFile = nextImplicit++;
    outer_ = currentConverting;
    currentConverting = this;
}

ConvertingFile::ConvertingFile(std::size_t index) {
    currentFile = index;
    outer_ = currentConverting;
    currentConverting = this;
}

ConvertingFile::~ConvertingFile() {
    {
        const std::lock_guard<std::mutex> lock(guard);
        MarkPlanned(currentFile);
        for (const std::string& key : keys_) {
            const auto found = claims.find(key);
            if (found == claims.end()) continue;
            if (Claim* own = OwnClaim(found->second, currentFile); own != nullptr && own->state == State::Pending)
                own->state = State::GivenUp;
        }
    }
    changed.notify_all();
    currentFile = kNoFile;
    currentConverting = outer_;
}

void PlanOutputPaths(const std::vector<std::string>& keys) {
    {
        const std::lock_guard<std::mutex> lock(guard);
        for (const std::string& key : keys) {
            std::vector<Claim>& list = claims[key];
            if (OwnClaim(list, currentFile) == nullptr) {
                list.push_back({currentFile, State::Pending});
                RememberKey(key);
            }
        }
        MarkPlanned(currentFile);
    }
    changed.notify_all();
}

bool ClaimOutputPath(const std::string& key) {
    std::unique_lock<std::mutex> lock(guard);
    const std::size_t file = currentFile;
    const auto earlierUndecided = [&] {
        if (plannedBelow < file) return true;
        const auto found = claims.find(key);
        if (found == claims.end()) return false;
        for (const Claim& claim : found->second)
            if (claim.file < file && claim.state == State::Pending) return true;
        return false;
    };
    changed.wait(lock, [&] { return !earlierUndecided(); });
    const auto found = claims.find(key);
    if (found == claims.end()) return true;
    for (const Claim& claim : found->second)
        if (claim.file < file && claim.state == State::Written) return false;
    return true;
}

void SettleOutputPath(const std::string& key, bool written) {
    {
        const std::lock_guard<std::mutex> lock(guard);
        std::vector<Claim>& list = claims[key];
        Claim* own = OwnClaim(list, currentFile);
        if (own == nullptr) {
            list.push_back({currentFile, State::Pending});
            own = &list.back();
            RememberKey(key);
        }
        own->state = written ? State::Written : State::GivenUp;
    }
    changed.notify_all();
}

std::string OutputPathKey(const char* path) {
    std::string key(path);
#ifdef _WIN32
    // Windows finds names without regard to letter case.
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
#endif
    return key;
}

bool ConvertingAFile() { return currentFile != kNoFile; }
