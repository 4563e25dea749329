#include "cli/parallel_run.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "cli/interruption.h"

void RunInParallel(std::size_t count, unsigned jobs, const std::function<FileResult(std::size_t)>& convert,
                   const std::function<void(std::size_t, std::size_t)>& finished,
                   const std::function<void(std::size_t, FileResult&)>& deliver) {
    std::vector<std::optional<FileResult>> results(count);
    std::vector<std::size_t> justFinished;  // files finished since the calling thread last looked
    std::mutex guard;
    std::condition_variable changed;
    std::atomic<std::size_t> next{0};

    std::vector<std::thread> workers;
    for (unsigned j = 0; j < jobs; ++j) {
        workers.emplace_back([&] {
            KeepInterruptionsOffThisThread();
            for (std::size_t i = next++; i < count; i = next++) {
                FileResult result = convert(i);
                {
                    const std::lock_guard<std::mutex> lock(guard);
                    results[i] = std::move(result);
                    justFinished.push_back(i);
                }
                changed.notify_one();
            }
        });
    }

    std::size_t done = 0;
    std::size_t delivered = 0;
    std::unique_lock<std::mutex> lock(guard);
    while (delivered < count) {
        changed.wait(lock, [&] { return !justFinished.empty(); });
        const std::vector<std::size_t> finishedNow = std::move(justFinished);
        justFinished.clear();
        // What the files gave is handed over outside the lock, so that the
        // workers go on meanwhile; only this thread touches delivered slots.
        std::vector<std::pair<std::size_t, FileResult>> ready;
        for (; delivered < count && results[delivered]; ++delivered)
            ready.emplace_back(delivered, std::move(*results[delivered]));
        lock.unlock();
        for (const std::size_t file : finishedNow) finished(file, ++done);
        for (auto& [file, result] : ready) deliver(file, result);
        lock.lock();
    }
    lock.unlock();
    for (std::thread& worker : workers) worker.join();
}
