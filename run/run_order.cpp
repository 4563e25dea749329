#include "run/run_order.h"

#include <algorithm>
#include <utility>

namespace {

// A file of the folder whose Commit hands it to the run's order, complete.
class HeldFile : public platform::PendingFile {
public:
    HeldFile(std::unique_ptr<platform::PendingFile> file, RunOrder& order, std::size_t index)
        : file_(std::move(file)), order_(order), index_(index) {}
    bool Write(const std::uint8_t* bytes, std::size_t length) override { return file_->Write(bytes, length); }
    bool Commit() override {
        // A file whose writing failed fails here as it would have alone.
        if (!file_ || !file_->Reason().empty()) return file_ && file_->Commit();
        order_.Hold(index_, std::move(file_));
        return true;
    }
    const std::string& Reason() const override { return file_ ? file_->Reason() : none_; }

private:
    std::unique_ptr<platform::PendingFile> file_;
    RunOrder& order_;
    std::size_t index_;
    std::string none_;
};

}  // namespace

RunOrder::RunOrder(std::size_t first, std::size_t count)
    : first_(first), nextOut_(first), decided_(count > first ? count - first : 0, 0), decidedBelow_(first) {}

void RunOrder::Decide(std::size_t file) {
    decided_[file - first_] = 1;
    while (decidedBelow_ - first_ < decided_.size() && decided_[decidedBelow_ - first_] != 0) ++decidedBelow_;
}

bool RunOrder::Admit(std::size_t file, std::uint64_t need) {
    std::unique_lock<std::mutex> lock(guard_);
    const bool large = need >= kSmallNeed;
    // In the run's order, so that a large file never waits on a later one
    // (which may itself wait for this file's output names).
    changed_.wait(lock, [&] {
        if (abandoned_) return true;
        if (decidedBelow_ < file) return false;
        return !large || inFlightBytes_ == 0 || inFlightBytes_ + need <= std::max(largest_, need);
    });
    if (abandoned_) return false;
    if (large) {
        largest_ = std::max(largest_, need);
        inFlight_[file] = need;
        inFlightBytes_ += need;
    }
    Decide(file);
    lock.unlock();
    changed_.notify_all();
    return true;
}

void RunOrder::Finished(std::size_t file) {
    {
        const std::lock_guard<std::mutex> lock(guard_);
        const auto found = inFlight_.find(file);
        if (found != inFlight_.end()) {
            inFlightBytes_ -= found->second;
            inFlight_.erase(found);
        }
        if (decided_[file - first_] == 0) Decide(file);
    }
    changed_.notify_all();
}

void RunOrder::Hold(std::size_t file, std::unique_ptr<platform::PendingFile> pending) {
    std::unique_lock<std::mutex> lock(guard_);
    changed_.wait(lock, [&] { return abandoned_ || file == nextOut_ || heldCount_ < kHeldLimit; });
    if (abandoned_) {
        lock.unlock();
        pending.reset();  // its temporary file goes
        return;
    }
    held_[file].push_back(std::move(pending));
    ++heldCount_;
}

bool RunOrder::CommitHeld(std::size_t file, std::string* reason) {
    std::vector<std::unique_ptr<platform::PendingFile>> files;
    {
        const std::lock_guard<std::mutex> lock(guard_);
        const auto found = held_.find(file);
        if (found != held_.end()) {
            files = std::move(found->second);
            held_.erase(found);
            heldCount_ -= files.size();
        }
    }
    bool committed = true;
    for (auto& pending : files) {
        if (committed && !pending->Commit()) {
            *reason = pending->Reason();
            committed = false;
        }
        pending.reset();
    }
    {
        const std::lock_guard<std::mutex> lock(guard_);
        nextOut_ = file + 1;
    }
    changed_.notify_all();
    return committed;
}

void RunOrder::Abandon() {
    std::map<std::size_t, std::vector<std::unique_ptr<platform::PendingFile>>> dropped;
    {
        const std::lock_guard<std::mutex> lock(guard_);
        abandoned_ = true;
        dropped = std::move(held_);
        held_.clear();
        heldCount_ = 0;
    }
    changed_.notify_all();
}

bool RunOrder::Abandoned() {
    const std::lock_guard<std::mutex> lock(guard_);
    return abandoned_;
}

std::unique_ptr<platform::PendingFile> HeldFolder::Begin(const char* name, std::string* reason) {
    std::unique_ptr<platform::PendingFile> file = folder_.Begin(name, reason);
    if (!file) return nullptr;
    return std::make_unique<HeldFile>(std::move(file), order_, file_);
}
