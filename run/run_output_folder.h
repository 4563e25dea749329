// The folder a run's images go to, opened once before the run writes
// anything, the same way for the Windows program, kelvane-convert and the
// page: a folder the user named is made with the folders above it when
// missing and taken as given, a link followed; otherwise it is the working
// folder's own PCXFiles, made when missing and never taken through a link.
#pragma once

#include <memory>
#include <string>

#include "platform/directory.h"
#include "platform/output_folder.h"

inline constexpr char kRunOutputFolder[] = "PCXFiles";

struct RunOutputFolder {
    std::unique_ptr<platform::DiskFolder> folder;  // never null; open or not
    bool made = true;                              // false: a named folder could not be made
    bool opened = false;
    std::string reason;  // when not opened: why, as the system says it (or platform::kFolderIsLink)
};

// Opens the output folder path (named: the user chose it; else a name inside
// the working folder). working is the working folder, held open (null: the
// current directory is opened for the purpose). When the folder is not
// opened, every image begun in it fails with the reason.
RunOutputFolder OpenRunOutputFolder(const std::string& path, bool named, const platform::FolderHandle* working);
