// What lets files converted side by side end as if converted one after the
// other, when memory or disk space runs short.
//
// Memory: a file asks to be let in (Admit) once its header is read, with the
// bytes it needs at most. Files are let in in the run's order. A file that
// needs less than kSmallNeed goes in at once; a larger one goes in while the
// larger files in flight and itself need no more than the largest file let
// in so far needs alone (which is at most what one file at a time needs for
// the largest file of the run), or when no larger file is in flight. The
// peak is then one file at a time's peak, plus the small files beside it.
//
// Disk: a file's images are held complete under their temporary files, not
// yet in place (Hold), until the file is done and every file before it has
// been given out; the run then puts them in place, in order, before it gives
// the file's notices out (CommitHeld). So no later file ever replaces an
// older image while an earlier file may still be redone, and a file that
// ran short (or whose image could not be put in place) can be converted
// again alone, with everything after it, as if they had never run: their
// temporary files are dropped (Abandon) and nothing of theirs is in place.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/output_folder.h"

class RunOrder {
public:
    // A file that needs less than this many bytes is let in beside others.
    static constexpr std::uint64_t kSmallNeed = 32ull << 20;
    // Held files beyond this many make later files wait until they are the
    // next to be given out (descriptors, and entries of the record of
    // temporary names, are finite).
    static constexpr std::size_t kHeldLimit = 128;

    // The files first to count of the run.
    RunOrder(std::size_t first, std::size_t count);

    // Waits until file may go on with its need in bytes. False once the run
    // is abandoned: the file is to be given up.
    bool Admit(std::size_t file, std::uint64_t need);
    // The file is done (let in or not): its need is free, and later files
    // may be let in past it.
    void Finished(std::size_t file);

    // Keeps the complete pending file of file until CommitHeld. Waits while
    // too many are held, unless file is the next to be given out. Once the
    // run is abandoned, drops it.
    void Hold(std::size_t file, std::unique_ptr<platform::PendingFile> pending);
    // On the thread that gives files out, in order: puts file's held files in
    // place, in the order they were completed. False with the reason when
    // one cannot be (the rest are dropped); afterwards file is given out.
    bool CommitHeld(std::size_t file, std::string* reason);

    // Drops everything held and lets every waiting file go: the files not
    // yet given out are given up and will be converted again.
    void Abandon();
    bool Abandoned();

private:
    std::mutex guard_;
    std::condition_variable changed_;
    std::size_t first_;
    std::size_t nextOut_;                            // the next file to be given out
    std::vector<char> decided_;                      // by file - first_: let in, or finished without asking
    std::size_t decidedBelow_;                       // every file before it is decided
    std::map<std::size_t, std::uint64_t> inFlight_;  // large files let in and not finished
    std::uint64_t inFlightBytes_ = 0;
    std::uint64_t largest_ = 0;
    std::map<std::size_t, std::vector<std::unique_ptr<platform::PendingFile>>> held_;
    std::size_t heldCount_ = 0;
    bool abandoned_ = false;

    void Decide(std::size_t file);  // under guard_
};

// The output folder of one file of a run in order: its files are held by the
// run's order when they are committed, and put in place later.
class HeldFolder : public platform::OutputFolder {
public:
    HeldFolder(platform::OutputFolder& folder, RunOrder& order, std::size_t file)
        : OutputFolder(folder.path()), folder_(folder), order_(order), file_(file) {}
    std::unique_ptr<platform::PendingFile> Begin(const char* name, std::string* reason) override;

private:
    platform::OutputFolder& folder_;
    RunOrder& order_;
    std::size_t file_;
};
