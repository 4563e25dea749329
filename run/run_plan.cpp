#include "run/run_plan.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "platform/files.h"
#include "run/run_output_folder.h"
#include "run/sprite_order.h"

#if defined(KELVANE_TEST_HOOKS) && !defined(_WIN32)
#include <signal.h>
#endif

namespace {

constexpr char kSpritePattern[] = "*.dc6";

// Folders deeper than this below the working folder are not entered: each
// level holds a handle or two while its files are converted, and the
// process has only so many.
constexpr int kDeepestFolder = 128;

bool IsDefaultFolderName(const std::string& name) {
#ifdef _WIN32
    if (name.size() != sizeof kRunOutputFolder - 1) return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(name[i])) != std::tolower(kRunOutputFolder[i])) return false;
    return true;
#else
    return name == kRunOutputFolder;
#endif
}

std::string Joined(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : name.empty() ? folder : folder + KV_PATH_SEPARATOR + name;
}

std::string Sprites(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " sprite" : " sprites") + " skipped";
}

// For the tests of a tree that changes during the run: a build with test
// hooks stops itself (SIGSTOP) just before it enters the folder that
// KELVANE_TEST_STOP_BEFORE names, so that a test can change the tree there
// and let it go on. Release packages have no such hook.
void StopBeforeEntering(const std::string& path) {
#if defined(KELVANE_TEST_HOOKS) && !defined(_WIN32)
    static const char* const stopBefore = std::getenv("KELVANE_TEST_STOP_BEFORE");
    if (stopBefore != nullptr && path == stopBefore) raise(SIGSTOP);
#else
    (void)path;
#endif
}

}  // namespace

std::size_t RunPlan::AddFolder(std::size_t parent, const std::string& name) {
    RunFolder folder;
    folder.parent = parent;
    folder.name = name;
    folder.path = Joined(folders[parent].path, name);
    folder.outputPath = mirrored_ ? Joined(output_, folder.path) : Joined(folder.path, kRunOutputFolder);
    folders.push_back(std::move(folder));
    return folders.size() - 1;
}

void RunPlan::AddFolderNotice(std::size_t parent, const std::string& path, const std::string& notice) {
    files.push_back({path, std::string(), parent, notice});
}

bool RunPlan::ListFolder(std::size_t index, int depth, std::string* reason) {
    std::vector<std::string> matches, inner;
    if (!folders[index].input.Read(kSpritePattern, &matches, &inner, reason)) return false;
    SortSpriteNames(matches);
    folders[index].firstSprite = files.size();
    for (const std::string& name : matches) files.push_back({Joined(folders[index].path, name), name, index, ""});
    folders[index].sprites = matches.size();
    SortSpriteNames(inner);
    // Output folders hold images, not sprites: every PCXFiles, and an -o
    // folder inside the tree.
    for (const std::string& name : inner) {
        if (IsDefaultFolderName(name)) continue;
        const std::string path = Joined(folders[index].path, name);
        platform::FolderHandle handle;
        std::string why;
        if (!handle.OpenIn(folders[index].input, name, false, &why)) {
            AddFolderNotice(
                index, path,
                why == platform::kFolderIsLinkReason ? why + "; not followed" : "cannot list folder: " + why);
            continue;
        }
        unsigned long long device = 0, file = 0;
        if (outputKnown_ && handle.Identity(&device, &file) && device == outputDevice_ && file == outputFile_) continue;
        if (depth + 1 > kDeepestFolder) {
            AddFolderNotice(index, path,
                            "lies more than " + std::to_string(kDeepestFolder) + " folders deep; not entered");
            continue;
        }
        const std::size_t child = AddFolder(index, name);
        folders[child].input = std::move(handle);
        if (!ListFolder(child, depth + 1, &why)) AddFolderNotice(index, path, "cannot list folder: " + why);
        // Only the chain above the folder being listed stays open.
        folders[child].input.Close();
    }
    return true;
}

bool RunPlan::List(const Options& options, std::string* subject, std::string* reason) {
    files.clear();
    folders.clear();
    recursive_ = options.recursive;
    mirrored_ = options.output.has_value();
    output_ = options.output.value_or(kRunOutputFolder);
    folders.emplace_back();
    folders[0].outputPath = output_;
    std::string why;
    *subject = options.folder.value_or(".");
    if (!folders[0].input.Open(".", true, &why)) {
        *reason = "cannot list folder: " + why;
        return false;
    }
    if (!recursive_) {
        std::vector<std::string> names = options.files;
        if (names.empty()) {
            if (!folders[0].input.Read(kSpritePattern, &names, nullptr, &why)) {
                *reason = "cannot list folder: " + why;
                return false;
            }
            SortSpriteNames(names);
        }
        for (const std::string& name : names) files.push_back({name, name, 0, ""});
        folders[0].sprites = names.size();
    } else {
        platform::FolderHandle output;
        outputKnown_ = mirrored_ && output.Open(output_, true, &why) && output.Identity(&outputDevice_, &outputFile_);
        if (!ListFolder(0, 0, &why)) {
            *reason = "cannot list folder: " + why;
            files.clear();
            return false;
        }
    }
    // What each folder holds below it: folders come after the one above
    // them, so from the last one up every folder is complete before it is
    // added to its parent. A folder's own sprites come before the folders in
    // it; one without any has its first sprite in a folder below.
    for (const RunFile& file : files) ++folders[file.folder].stepsLeft;
    for (RunFolder& folder : folders)
        if (folder.sprites == 0) folder.firstSprite = kNoFolder;
    for (std::size_t i = folders.size(); i-- > 0;) {
        RunFolder& folder = folders[i];
        folder.spritesBelow += folder.sprites;
        if (i == 0) break;
        RunFolder& parent = folders[folder.parent];
        parent.spritesBelow += folder.spritesBelow;
        parent.stepsLeft += folder.stepsLeft;
        if (parent.sprites == 0) parent.firstSprite = std::min(parent.firstSprite, folder.firstSprite);
    }
    return true;
}

bool RunPlan::PrepareFolders(std::string* subject, std::string* reason) {
    RunFolder& top = folders[0];
    // With -r, the output folder is made only for a tree that has sprites to
    // go there; without, always, as the program makes its PCXFiles.
    const bool needed = !recursive_ || (mirrored_ ? top.spritesBelow > 0 : top.sprites > 0);
    if (!needed) return true;
    *subject = top.outputPath;
    RunOutputFolder opened = OpenRunOutputFolder(top.outputPath, mirrored_, &top.input);
    std::unique_ptr<platform::DiskFolder>& output = opened.folder;
    if (!opened.made) {
        *reason = "cannot create folder: " + opened.reason;
        return false;
    }
    if (!opened.opened) {
        *reason = !mirrored_ && opened.reason == platform::kFolderIsLink
                      ? opened.reason + "; name it with -o to write there"
                      : "cannot write into folder: " + opened.reason;
        return false;
    }
    // Settled before any image is written: a folder nobody may create files
    // in refuses the run here rather than failing each image.
    if (!output->Probe()) {
        *reason = "cannot write into folder: " + output->Reason();
        return false;
    }
    top.output = std::move(output);
    return true;
}

// Opens the folder's input and output, and those above it, once; under the
// lock. Returns the folder whose problem keeps the folder's files from being
// converted, or kNoFolder.
std::size_t RunPlan::Open(std::size_t index) {
    RunFolder& folder = folders[index];
    if (folder.reached) return folder.blockedBy;
    folder.reached = true;
    std::string reason;
    if (index != 0) {
        const std::size_t above = Open(folder.parent);
        if (above != kNoFolder && folders[above].blocksBelow) return folder.blockedBy = above;
        StopBeforeEntering(folder.path);
        if (!folder.input.OpenIn(folders[folder.parent].input, folder.name, false, &reason)) {
            folder.problem =
                reason == platform::kFolderIsLinkReason ? reason + "; not followed" : "cannot enter folder: " + reason;
            folder.problemAt = folder.path;
            folder.blocksBelow = true;
            folder.problem += ", " + Sprites(folder.spritesBelow);
            return folder.blockedBy = index;
        }
    }
    // Mirrored, a folder's output is needed for the folders below it too;
    // otherwise only for its own sprites.
    if (folder.output || (!mirrored_ && folder.sprites == 0)) return kNoFolder;
    auto output = std::make_unique<platform::DiskFolder>(folder.outputPath);
    const platform::FolderHandle& parent = mirrored_ ? folders[folder.parent].output->handle() : folder.input;
    if (!output->OpenIn(parent, mirrored_ ? folder.name : kRunOutputFolder) || !output->Probe()) {
        folder.problem = output->Reason() == platform::kFolderIsLink ? output->Reason() + "; not followed"
                                                                     : "cannot write into folder: " + output->Reason();
        folder.problemAt = folder.outputPath;
        folder.blocksBelow = mirrored_;
        folder.problem += ", " + Sprites(mirrored_ ? folder.spritesBelow : folder.sprites);
        return folder.blockedBy = index;
    }
    folder.output = std::move(output);
    return kNoFolder;
}

const RunFolder* RunPlan::Reach(std::size_t file, std::string* subject, std::string* notice) {
    const std::lock_guard<std::mutex> lock(guard_);
    const std::size_t index = files[file].folder;
    const std::size_t blocked = Open(index);
    if (blocked == kNoFolder) return &folders[index];
    const RunFolder& culprit = folders[blocked];
    if (culprit.firstSprite == file) {
        *subject = culprit.problemAt;
        *notice = culprit.problem;
    }
    return nullptr;
}

void RunPlan::Done(std::size_t file) {
    const std::lock_guard<std::mutex> lock(guard_);
    for (std::size_t index = files[file].folder; index != kNoFolder; index = folders[index].parent) {
        RunFolder& folder = folders[index];
        if (--folder.stepsLeft > 0) continue;
        folder.output.reset();
        if (index != 0) folder.input.Close();
    }
}
