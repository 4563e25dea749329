#include "run/run_output_folder.h"

#include "platform/files.h"

RunOutputFolder OpenRunOutputFolder(const std::string& path, bool named, const platform::FolderHandle* working) {
    RunOutputFolder run;
    run.folder = std::make_unique<platform::DiskFolder>(path);
    if (named) {
        run.made = platform::MakeFolders(path, &run.reason);
        if (!run.made) return run;
        run.opened = run.folder->Open(platform::FolderLink::Follow);
    } else {
        platform::FolderHandle current;
        if (working == nullptr) {
            if (!current.Open(".", true, &run.reason)) return run;
            working = &current;
        }
        run.opened = run.folder->OpenIn(*working, path);
    }
    if (!run.opened) run.reason = run.folder->Reason();
    return run;
}
