#include "run/parallel_run.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "run/worker_signals.h"
#include "convert/output_names.h"

#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/resource.h>
#endif

// Why the files come out as one thread would make them, memory and disk
// permitting or not.
//
// One thread converts file 0, 1, ... in order; each file writes its images
// one after the other, each put in place at once. On several threads, the
// files from first on are converted side by side, but nothing a file writes
// is put in place before the file is done and every file before it has been
// given out (RunOrder), and a file is given out only when it did not run
// short. Let k be the first file that ran short (or whose image could not be
// put in place). The files before k come out as on one thread: what decides
// their notices and names is their bytes and the files before them, and
// they did not run short where one thread could have: memory, because a
// file alone needs no more than beside others; disk, because at the moment
// the last byte of file i and of every file before it was written (it was,
// they did not run short), the disk held all of that, the older images none
// of them had replaced yet, and the later files' temporary files: at least
// what it holds on one thread at any moment while file i is written. Nothing
// of k or after it is in place: its temporary files are dropped, what it
// and the later files claimed is forgotten, and the disk is as one thread
// leaves it after file k - 1. File k is then converted alone, exactly as one
// thread does, and the run goes on from k + 1 in the same way. After a file
// ran short of disk space the rest is converted one at a time (the disk is
// full; threads would only fill it in another order).
namespace {

// Converts the files from first on, side by side, delivering them in order,
// up to the first that must be converted again alone; returns that file, or
// count when all were delivered. *space: that file ran short of disk space
// or its images could not be put in place (rather than of memory).
std::size_t ConvertSideBySide(std::size_t first, std::size_t count, unsigned jobs,
                              const std::function<FileResult(std::size_t, RunOrder*)>& convert,
                              const std::function<void(std::size_t)>& finished,
                              const std::function<void(std::size_t, FileResult&)>& deliver, bool* space) {
    RunOrder order(first, count);
    std::vector<std::optional<FileResult>> results(count - first);
    std::vector<std::size_t> justFinished;  // files finished since the calling thread last looked
    std::mutex guard;
    std::condition_variable changed;
    std::atomic<std::size_t> next{first};

    std::vector<std::thread> workers;
    for (unsigned j = 0; j < jobs; ++j) {
        workers.emplace_back([&] {
            KeepInterruptionsOffThisThread();
            // Every file taken is converted, or at least begun (once the run
            // is abandoned, that is all): later files wait until every
            // earlier one has said which names it may write.
            while (!order.Abandoned()) {
                const std::size_t i = next++;
                if (i >= count) break;
                FileResult result = convert(i, &order);
                order.Finished(i);
                {
                    const std::lock_guard<std::mutex> lock(guard);
                    results[i - first] = std::move(result);
                    justFinished.push_back(i);
                }
                changed.notify_one();
            }
            // A worker that stops early still lets the calling thread look.
            changed.notify_one();
        });
    }

    std::size_t delivered = first;
    std::size_t again = count;
    std::unique_lock<std::mutex> lock(guard);
    while (delivered < count && again == count) {
        changed.wait(lock, [&] { return !justFinished.empty() || results[delivered - first].has_value(); });
        const std::vector<std::size_t> finishedNow = std::move(justFinished);
        justFinished.clear();
        std::vector<std::pair<std::size_t, FileResult>> ready;
        for (; delivered < count && results[delivered - first]; ++delivered)
            ready.emplace_back(delivered, std::move(*results[delivered - first]));
        // Outside the lock, so that the workers go on meanwhile; only this
        // thread touches delivered slots.
        lock.unlock();
        for (const std::size_t file : finishedNow) finished(file);
        for (auto& [file, result] : ready) {
            std::string reason;
            if (result.ranShort || !order.CommitHeld(file, &reason)) {
                *space = !result.ranShort || result.diskFull;
                again = file;
                order.Abandon();
                break;
            }
            deliver(file, result);
        }
        lock.lock();
    }
    lock.unlock();
    for (std::thread& worker : workers) worker.join();
    return again;
}

}  // namespace

void RunInParallel(std::size_t count, unsigned jobs, OutputClaims& claims,
                   const std::function<FileResult(std::size_t, RunOrder*)>& convert,
                   const std::function<void(std::size_t, std::size_t)>& finished,
                   const std::function<void(std::size_t, FileResult&)>& deliver) {
#if defined(__GLIBC__)
    // Under a limit of address space, the C library's arena of 64 MiB per
    // thread (kept after the thread ends) would take from the canvases what
    // one thread has: the threads share one. Large blocks are mapped apart
    // from it either way.
    rlimit addressSpace{};
    if (getrlimit(RLIMIT_AS, &addressSpace) == 0 && addressSpace.rlim_cur != RLIM_INFINITY) mallopt(M_ARENA_MAX, 1);
#endif
    std::size_t done = 0;
    const auto finishedOne = [&](std::size_t file) { finished(file, std::min(++done, count)); };
    const auto alone = [&](std::size_t file) {
        FileResult result = convert(file, nullptr);
        finishedOne(file);
        deliver(file, result);
    };
    std::size_t first = 0;
    while (first < count) {
        bool space = false;
        const std::size_t again = ConvertSideBySide(first, count, jobs, convert, finishedOne, deliver, &space);
        if (again == count) return;
        claims.ForgetFrom(again);
        done = again;
        alone(again);
        first = again + 1;
        if (space) {
            for (; first < count; ++first) alone(first);
            return;
        }
    }
}
