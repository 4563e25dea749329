// The files of one kelvane-convert run and the folders their images go to.
//
// Without -r: the files named, or every *.dc6 of the working folder, all into
// one folder (PCXFiles, or the one given with -o). With -r: every *.dc6 of
// the working folder's tree, folder by folder; each folder's images go into
// its own PCXFiles, or, with -o DIR, into the same place below DIR
// (a/b/knight.dc6 into DIR/a/b). Links to folders are not entered, and no
// output folder is read for sprites.
//
// The tree is walked by handles, never by paths: every folder is opened
// through the handle of the one above it, never through a link, and held
// while the files in it and below it are converted; every sprite is read
// through its folder's handle and every image written through its output
// folder's. So a link planted anywhere in the tree or the mirror, before or
// during the run, leads nowhere: the folder where it stands gets a notice
// and its sprites are skipped. Only the folders above the files in hand are
// held open, however large the tree.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "run/options.h"
#include "platform/directory.h"
#include "platform/output_folder.h"

// One step of the run, in the run's order: a sprite file, or a folder of the
// tree that could not be listed.
struct RunFile {
    std::string path;    // as notices name it: a name, or with -r a path below the working folder
    std::string name;    // its name in its folder (as given, for a file named on the command line)
    std::size_t folder;  // index of its folder in RunPlan::folders
    std::string notice;  // not empty: no sprite, but a folder the listing could not read, and why
};

constexpr std::size_t kNoFolder = static_cast<std::size_t>(-1);

// A folder of the tree the sprites are read from, and the folder its images
// go to.
struct RunFolder {
    std::string path;  // as notices name it ("" for the working folder)
    std::string name;  // its name in its parent
    std::size_t parent = kNoFolder;
    std::string outputPath;        // the folder its images go to, as notices name it
    std::size_t sprites = 0;       // sprites in it
    std::size_t spritesBelow = 0;  // sprites in it and below it
    std::size_t firstSprite = 0;   // the first of those, by its place in the run
    std::size_t stepsLeft = 0;     // steps of the run in it and below it not yet done

    // Opened when a file first needs them, closed when stepsLeft reaches 0.
    platform::FolderHandle input;
    std::unique_ptr<platform::DiskFolder> output;
    bool reached = false;
    std::size_t blockedBy = kNoFolder;  // the folder whose problem keeps its files from being converted
    bool blocksBelow = false;           // its problem keeps the folders below it too
    std::string problem;                // what the notice says about it
    std::string problemAt;              // and whom it names: the folder or its output folder
};

class RunPlan {
public:
    // Lists the files of the run. False, with the folder and the reason,
    // when the working folder cannot be read; a folder below it that cannot
    // be read becomes a step of the run that says why.
    bool List(const Options& options, std::string* subject, std::string* reason);

    // Makes the run's output folder when it is missing and makes sure it is
    // one that files can be created in (a PCXFiles must be a folder of its
    // own, not a link). False, with the folder and the reason, when it is
    // not. The folders below it are made when their files come.
    bool PrepareFolders(std::string* subject, std::string* reason);

    // The folder of step file, with its input and output folders open; from
    // any thread. Null when they cannot be opened: the file is skipped, and
    // for one file of those skipped (the first) *subject and *notice say why.
    const RunFolder* Reach(std::size_t file, std::string* subject, std::string* notice);
    // Step file is done; folders nothing below needs any more are closed.
    void Done(std::size_t file);

    std::vector<RunFile> files;
    std::vector<RunFolder> folders;

private:
    bool ListFolder(std::size_t folder, int depth, std::string* reason);
    std::size_t AddFolder(std::size_t parent, const std::string& name);
    void AddFolderNotice(std::size_t parent, const std::string& path, const std::string& notice);
    std::size_t Open(std::size_t folder);

    bool recursive_ = false;
    bool mirrored_ = false;     // -o: the tree's images mirrored below one folder
    std::string output_;        // -o's folder
    bool outputKnown_ = false;  // the -o folder exists, of this identity: it is not read for sprites
    unsigned long long outputDevice_ = 0, outputFile_ = 0;
    std::mutex guard_;
};
