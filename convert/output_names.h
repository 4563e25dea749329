// The output paths of a conversion run, so that no image of the run replaces
// another: of two files of the run that would write one path, the first in
// the run's order keeps it, and the later one gets a notice.
//
// Where files are converted on several threads at once, each thread says
// which file of the run it converts (ConvertingFile), each file says which
// paths it may write before it writes any (PlanOutputPaths), and a file that
// wants a path an earlier file may still write waits until that file has
// written it or given it up. Earlier files never wait on later ones, so the
// waits always end. On one thread nothing ever waits: every earlier file is
// done.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Forgets every path; StartConversionRun calls it.
void ForgetOutputPaths();

// Forgets what the files from file on (in the run's order) planned, claimed
// and wrote, so that they can be converted again, as if for the first time;
// what earlier files did stays. Only while no file is being converted.
void ForgetOutputPathsFrom(std::size_t file);

// The file of the run the calling thread converts, by its place in the run's
// order, for the object's lifetime; whatever the file did not write by then
// it gives up. Without one, each sprite the frame placement handles is the
// file after the one before.
class ConvertingFile {
public:
    ConvertingFile();  // the file after the last one begun on one thread
    explicit ConvertingFile(std::size_t index);
    ~ConvertingFile();
    ConvertingFile(const ConvertingFile&) = delete;
    ConvertingFile& operator=(const ConvertingFile&) = delete;

private:
    friend void RememberKey(const std::string& key);
    ConvertingFile* outer_;          // the one this thread had before, restored when this ends
    std::vector<std::string> keys_;  // what the file planned or settled, given up when it ends
};

// For the frame placement, about the current file. Paths are compared as
// keys (folded to one letter case where the platform finds names so).
void PlanOutputPaths(const std::vector<std::string>& keys);
// True when the file may write key: no earlier file of the run wrote it.
bool ClaimOutputPath(const std::string& key);
// Says whether the file wrote key after claiming it.
void SettleOutputPath(const std::string& key, bool written);

// The key of an output path.
std::string OutputPathKey(const char* path);

// Whether the calling thread converts a file (a ConvertingFile lives).
bool ConvertingAFile();
