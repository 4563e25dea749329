// A fresh folder that is the current directory for a test's lifetime, since
// the program's paths are relative to the current directory.
#pragma once

#include <filesystem>
#include <string>

#include "tests/support/dc6_builder.h"

namespace test {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};

void WriteFile(const std::filesystem::path& path, const Bytes& bytes);
Bytes ReadFile(const std::filesystem::path& path);

// The output path of an image as the program forms it: "PCXFiles" + separator + file.
std::string OutputPath(const std::string& file);

}  // namespace test
