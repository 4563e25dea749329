#include "cli/run_plan.h"

#include <cctype>

#include "platform/directory.h"
#include "platform/files.h"

namespace {

constexpr char kSpritePattern[] = "*.dc6";
constexpr char kDefaultFolder[] = "PCXFiles";

// Folders held open beyond this many are closed between files of theirs:
// a large tree must not use up the process's descriptors.
constexpr std::size_t kFoldersKeptOpen = 64;

std::string FolderPart(const std::string& path) {
    const std::size_t cut = path.find_last_of("/" KV_PATH_SEPARATOR);
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string LastPart(const std::string& path) {
    const std::size_t cut = path.find_last_of("/" KV_PATH_SEPARATOR);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool IsDefaultFolderName(const std::string& name) {
#ifdef _WIN32
    if (name.size() != sizeof kDefaultFolder - 1) return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(name[i])) != std::tolower(kDefaultFolder[i])) return false;
    return true;
#else
    return name == kDefaultFolder;
#endif
}

std::string Joined(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : name.empty() ? folder : folder + KV_PATH_SEPARATOR + name;
}

}  // namespace

std::size_t RunPlan::AddFolder(const std::string& path, platform::FolderLink rule, bool made) {
    for (std::size_t i = 0; i < folders.size(); ++i)
        if (folders[i].path == path) return i;
    RunFolder folder;
    folder.path = path;
    folder.rule = rule;
    folder.made = made;
    folders.push_back(std::move(folder));
    return folders.size() - 1;
}

bool RunPlan::List(const Options& options, std::string* subject, std::string* reason) {
    files.clear();
    folders.clear();
    const bool named = options.output.has_value();
    if (!options.recursive) {
        std::vector<std::string> names = options.files;
        if (names.empty() && !platform::FindEntries(kSpritePattern, names)) {
            *subject = options.folder.value_or(".");
            *reason = "cannot list folder";
            return false;
        }
        const std::size_t folder = AddFolder(options.output.value_or(kDefaultFolder),
                                             named ? platform::FolderLink::Follow : platform::FolderLink::Refuse,
                                             named);
        for (const std::string& name : names) files.push_back({name, folder});
        return true;
    }
    // Output folders hold images, not sprites: every PCXFiles, and an -o
    // folder inside the tree.
    platform::FileIdentity output;
    const bool outputExists = named && platform::Identify(options.output->c_str(), &output);
    const auto enter = [&](const std::string& folder) {
        if (IsDefaultFolderName(LastPart(folder))) return false;
        platform::FileIdentity identity;
        return !(outputExists && platform::Identify(folder.c_str(), &identity) && identity == output);
    };
    std::vector<std::string> paths;
    std::string failed;
    if (!platform::FindEntriesInTree(kSpritePattern, enter, paths, &failed)) {
        *subject = failed;
        *reason = "cannot list folder";
        return false;
    }
    for (const std::string& path : paths) {
        const std::string folder = FolderPart(path);
        const std::size_t index =
            named ? AddFolder(Joined(*options.output, folder), folder.empty() ? platform::FolderLink::Follow
                                                                              : platform::FolderLink::Refuse,
                              true)
                  : AddFolder(Joined(folder, kDefaultFolder), platform::FolderLink::Refuse, false);
        files.push_back({path, index});
    }
    return true;
}

bool RunPlan::PrepareFolders(std::string* subject, std::string* reason) {
    for (const RunFile& file : files) ++folders[file.folder].filesLeft;
    for (RunFolder& folder : folders) {
        *subject = folder.path;
        if (folder.made) {
            if (!platform::MakeFolders(folder.path, reason)) {
                *reason = "cannot create folder: " + *reason;
                return false;
            }
        } else if (!platform::PathExists(folder.path.c_str())) {
            platform::MakeDirectory(folder.path.c_str());  // as the program does; a failure shows below
        }
        auto open = std::make_unique<platform::DiskFolder>(folder.path);
        if (!open->Open(folder.rule)) {
            *reason = open->Reason() == platform::kFolderIsLink
                          ? open->Reason() + "; name it with -o to write there"
                          : "cannot write into folder: " + open->Reason();
            return false;
        }
        if (openFolders_ < kFoldersKeptOpen) {
            folder.open = std::move(open);
            ++openFolders_;
        }
    }
    return true;
}

platform::OutputFolder& RunPlan::FolderOf(std::size_t file) {
    const std::lock_guard<std::mutex> lock(guard_);
    RunFolder& folder = folders[files[file].folder];
    if (!folder.open) {
        // Opened again as checked before; should it fail now (something
        // was put in its place), every image of it says why.
        folder.open = std::make_unique<platform::DiskFolder>(folder.path);
        folder.open->Open(folder.rule);
        ++openFolders_;
    }
    return *folder.open;
}

void RunPlan::Done(std::size_t file) {
    const std::lock_guard<std::mutex> lock(guard_);
    RunFolder& folder = folders[files[file].folder];
    if (--folder.filesLeft == 0 && folder.open) {
        folder.open.reset();
        --openFolders_;
    }
}
