#include "convert/output_names.h"

void OutputClaims::MarkPlanned(std::size_t file) {
    if (planned_.size() <= file) planned_.resize(file + 1, false);
    planned_[file] = true;
    while (plannedBelow_ < planned_.size() && planned_[plannedBelow_]) ++plannedBelow_;
}

OutputClaims::Entry* OutputClaims::OwnEntry(std::vector<Entry>& list, std::size_t file) {
    for (Entry& entry : list)
        if (entry.file == file) return &entry;
    return nullptr;
}

void OutputClaims::Remember(std::size_t file, const std::string& key) { keysOf_[file].push_back(key); }

void OutputClaims::Forget() {
    const std::lock_guard<std::mutex> lock(guard_);
    claims_.clear();
    keysOf_.clear();
    planned_.clear();
    plannedBelow_ = 0;
}

void OutputClaims::ForgetFrom(std::size_t file) {
    const std::lock_guard<std::mutex> lock(guard_);
    for (auto& [key, list] : claims_) {
        std::vector<Entry> kept;
        for (const Entry& entry : list)
            if (entry.file < file) kept.push_back(entry);
        list = std::move(kept);
    }
    for (auto it = keysOf_.begin(); it != keysOf_.end();) it = it->first >= file ? keysOf_.erase(it) : std::next(it);
    if (planned_.size() > file) planned_.resize(file);
    if (plannedBelow_ > file) plannedBelow_ = file;
}

void OutputClaims::Plan(std::size_t file, const std::vector<std::string>& keys) {
    {
        const std::lock_guard<std::mutex> lock(guard_);
        for (const std::string& key : keys) {
            std::vector<Entry>& list = claims_[key];
            if (OwnEntry(list, file) == nullptr) {
                list.push_back({file, State::Pending});
                Remember(file, key);
            }
        }
        MarkPlanned(file);
    }
    changed_.notify_all();
}

bool OutputClaims::Claim(std::size_t file, const std::string& key) {
    std::unique_lock<std::mutex> lock(guard_);
    const auto earlierUndecided = [&] {
        if (plannedBelow_ < file) return true;
        const auto found = claims_.find(key);
        if (found == claims_.end()) return false;
        for (const Entry& entry : found->second)
            if (entry.file < file && entry.state == State::Pending) return true;
        return false;
    };
    changed_.wait(lock, [&] { return !earlierUndecided(); });
    const auto found = claims_.find(key);
    if (found == claims_.end()) return true;
    for (const Entry& entry : found->second)
        if (entry.file < file && entry.state == State::Written) return false;
    return true;
}

void OutputClaims::Settle(std::size_t file, const std::string& key, bool written) {
    {
        const std::lock_guard<std::mutex> lock(guard_);
        std::vector<Entry>& list = claims_[key];
        Entry* own = OwnEntry(list, file);
        if (own == nullptr) {
            list.push_back({file, State::Pending});
            own = &list.back();
            Remember(file, key);
        }
        own->state = written ? State::Written : State::GivenUp;
    }
    changed_.notify_all();
}

void OutputClaims::Finish(std::size_t file) {
    {
        const std::lock_guard<std::mutex> lock(guard_);
        MarkPlanned(file);
        const auto keys = keysOf_.find(file);
        if (keys != keysOf_.end()) {
            for (const std::string& key : keys->second) {
                const auto found = claims_.find(key);
                if (found == claims_.end()) continue;
                if (Entry* own = OwnEntry(found->second, file); own != nullptr && own->state == State::Pending)
                    own->state = State::GivenUp;
            }
            keysOf_.erase(keys);
        }
    }
    changed_.notify_all();
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
