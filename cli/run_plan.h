// The files of one kelvane-convert run and the folders their images go to.
//
// Without -r: the files named, or every *.dc6 of the working folder, all into
// one folder (PCXFiles, or the one given with -o). With -r: every *.dc6 of
// the working folder's tree, folder by folder; each folder's images go into
// its own PCXFiles, or, with -o DIR, into the same place below DIR
// (a/b/knight.dc6 into DIR/a/b). Links to folders are not entered, and no
// output folder is read for sprites.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "cli/options.h"
#include "platform/output_folder.h"

struct RunFile {
    std::string path;    // as read and as notices name it: a name, or with -r a path below the working folder
    std::size_t folder;  // index of its output folder in RunPlan::folders
};

struct RunFolder {
    std::string path;  // as notices name it and the system finds it
    platform::FolderLink rule;
    bool made = false;          // made with its parents (-o); else like the program's PCXFiles
    std::size_t filesLeft = 0;  // files of the run still to convert into it
    std::unique_ptr<platform::DiskFolder> open;
};

class RunPlan {
public:
    // Lists the files of the run. False, with the folder and the reason,
    // when a folder cannot be read.
    bool List(const Options& options, std::string* subject, std::string* reason);

    // Makes every output folder that is missing and makes sure each is one
    // that can be written into (a PCXFiles must be a folder of its own, not
    // a link). False, with the folder and the reason, when one cannot be.
    bool PrepareFolders(std::string* subject, std::string* reason);

    // The folder file's images go to, open; from any thread. When its last
    // file is Done, the folder is closed.
    platform::OutputFolder& FolderOf(std::size_t file);
    void Done(std::size_t file);

    std::vector<RunFile> files;
    std::vector<RunFolder> folders;

private:
    std::size_t AddFolder(const std::string& path, platform::FolderLink rule, bool made);
    std::mutex guard_;
    std::size_t openFolders_ = 0;
};
