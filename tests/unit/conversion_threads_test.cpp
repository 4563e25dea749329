// Two conversions through the value core on two threads at once, each with
// its own sprite and settings: a value kept anywhere but in the arguments
// (a palette, an option, the sprite being written) would show up in the
// other's files.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "convert/run_settings.h"
#include "convert/sprite_conversion.h"
#include "image/palette.h"
#include "notice/diagnostics.h"
#include "platform/output_folder.h"
#include "sprite/dc6_sprite.h"
#include "tests/support/dc6_builder.h"
#include "tests/support/two_threads.h"

namespace {

using test::Bytes;
using Files = std::map<std::string, std::vector<std::uint8_t>>;

struct Conversion {
    std::string name;
    Bytes file;  // followed by its slack
    std::uint32_t size = 0;
    std::array<std::uint8_t, kPaletteSize> palette{};
    OutputOptions options;
};

struct Result {
    Files files;
    std::vector<NoticeCode> notices;
    bool operator==(const Result& other) const { return files == other.files && notices == other.notices; }
};

Conversion WithFile(std::string name, Bytes file) {
    Conversion conversion;
    conversion.name = std::move(name);
    conversion.size = static_cast<std::uint32_t>(file.size());
    file.resize(file.size() + kFileSlack, 0);
    conversion.file = std::move(file);
    return conversion;
}

Result Convert(const Conversion& conversion) {
    platform::MemoryFolder folder(conversion.options.folder);
    RunSettings settings;
    settings.options = conversion.options;
    settings.palette = conversion.palette.data();
    settings.folder = &folder;
    DiagnosticList diagnostics;
    ConvertSprite(conversion.file.data(), conversion.size, conversion.name, settings, 0, diagnostics);
    Result result;
    result.files = folder.files;
    for (const Diagnostic& notice : diagnostics.notices) result.notices.push_back(notice.code);
    return result;
}

TEST(ConversionThreadsTest, TwoRunsWithTheirOwnSettingsAtOnceWriteWhatEachWritesAlone) {
    // A stitched sprite as the program writes it: PCX, the built-in palette.
    Conversion stitched = WithFile("wall.dc6", test::Dc6Builder()
                                                   .AddRows(test::Picture(6, 4, 1))
                                                   .AddRows(test::Picture(6, 4, 90))
                                                   .AddRows(test::Picture(6, 4, 170))
                                                   .Build());
    std::copy(builtInPalette, builtInPalette + kPaletteSize, stitched.palette.begin());
    ReorderPalette(stitched.palette.data());

    // Separate frames with offsets and skipped pixels: PNG with transparency,
    // a manifest and an animation, in a palette of its own; the second frame
    // has a zero byte in its coded data, a notice for this run only.
    test::Dc6Frame faulty = test::FrameFromRows({{3, 4, 5}, {6, 7, 8}}, 2, -1);
    faulty.coded.insert(faulty.coded.begin(), 0x00);
    Conversion separate = WithFile("imp.dc6", test::Dc6Builder()
                                                  .AddRows({{test::kSkip, 9, 10, 11}, {12, test::kSkip, 13, 14}}, -3, 5)
                                                  .Add(faulty)
                                                  .AddRows(test::Picture(2, 3, 40), 1, 1)
                                                  .Build());
    for (std::size_t i = 0; i < kPaletteSize; ++i) separate.palette[i] = static_cast<std::uint8_t>(255 - i % 251);
    separate.options.format = ImageFormat::Png;
    separate.options.manifest = true;
    separate.options.animation = AnimationFormat::Apng;
    separate.options.fps = 25;
    separate.options.folder = "out";
    separate.options.paletteName = "ember.pal";

    const Result stitchedAlone = Convert(stitched);
    const Result separateAlone = Convert(separate);
    ASSERT_EQ(stitchedAlone.files.size(), 1u);
    EXPECT_TRUE(stitchedAlone.notices.empty());
    ASSERT_GE(separateAlone.files.size(), 5u);  // three frames, the manifest, the animation
    EXPECT_FALSE(separateAlone.notices.empty());

    const auto [stitchedSame, separateSame] =
        test::SameOnTwoThreads(Convert, stitched, stitchedAlone, separate, separateAlone, 100);
    EXPECT_TRUE(stitchedSame);
    EXPECT_TRUE(separateSame);
}

}  // namespace
