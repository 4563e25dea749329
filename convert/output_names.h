// The output paths of a conversion run, so that no image of the run replaces
// another: of two files of the run that would write one path, the first in
// the run's order keeps it, and the later one gets a notice.
//
// The run owns one OutputClaims. Files are known by their place in the run's
// order. Where files are converted on several threads at once, each file says
// which paths it may write before it writes any (Plan), and a file that wants
// a path an earlier file may still write waits until that file has written it
// or given it up. Earlier files never wait on later ones, so the waits always
// end. On one thread nothing ever waits: every earlier file is done.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

class OutputClaims {
public:
    // Forgets every path.
    void Forget();

    // Forgets what the files from file on (in the run's order) planned,
    // claimed and wrote, so that they can be converted again, as if for the
    // first time; what earlier files did stays. Only while no file is being
    // converted.
    void ForgetFrom(std::size_t file);

    // The paths file may write (as keys, OutputPathKey), before it writes any.
    void Plan(std::size_t file, const std::vector<std::string>& keys);
    // True when file may write key: no earlier file of the run wrote it.
    bool Claim(std::size_t file, const std::string& key);
    // Says whether file wrote key after claiming it.
    void Settle(std::size_t file, const std::string& key, bool written);
    // File is done: whatever it planned and did not write it gives up, and
    // later files no longer wait for it to plan. Every file of the run ends
    // so, converted or not (FileClaims does it).
    void Finish(std::size_t file);

private:
    enum class State { Pending, Written, GivenUp };
    struct Entry {
        std::size_t file;
        State state;
    };

    std::mutex guard_;
    std::condition_variable changed_;
    // Every path some file of the run planned or wrote, with the files that
    // did, in the order they came. Looked up by key, never walked whole: a
    // run of many thousand files must cost each file its own paths only.
    std::unordered_map<std::string, std::vector<Entry>> claims_;
    std::unordered_map<std::size_t, std::vector<std::string>> keysOf_;  // by file, until it finishes
    std::vector<bool> planned_;                                         // by file
    std::size_t plannedBelow_ = 0;                                      // every file before this one has planned

    void MarkPlanned(std::size_t file);  // under guard_
    void Remember(std::size_t file, const std::string& key);
    static Entry* OwnEntry(std::vector<Entry>& list, std::size_t file);
};

// One file of a run, for the object's lifetime: when it ends, the file
// finishes (OutputClaims::Finish), whether it was converted or not.
class FileClaims {
public:
    FileClaims(OutputClaims& claims, std::size_t file) : claims_(claims), file_(file) {}
    ~FileClaims() { claims_.Finish(file_); }
    FileClaims(const FileClaims&) = delete;
    FileClaims& operator=(const FileClaims&) = delete;

private:
    OutputClaims& claims_;
    std::size_t file_;
};

// The key of an output path.
std::string OutputPathKey(const char* path);
