// Fuzzes one sprite file through its conversion.
//
// The input is the content of a sprite file. It becomes the current sprite as
// the conversion makes it after reading a file (the bytes, then the zero-filled
// slack), goes through GetFileInfoDC6 and, when accepted, through
// WriteSpriteImages into an output folder in memory named PCXFiles, through
// the same encoders and sinks as a folder on disk. After every input the
// target checks:
//
//   - every message box is one the conversion shows: its text, caption, owner
//     and style; a rejected file gives exactly one notice, an accepted one
//     none of the header notices;
//   - nothing read further past the file's end than the decoder may look;
//   - nothing was written but the expected output names inside PCXFiles;
//     each file is a complete PCX file of the writer's layout with the run's
//     palette, and there are exactly imagesWritten of them.
//
// The written files are dropped before the next input. The process works in a
// temporary folder, which every few thousand inputs must still be empty:
// nothing reaches the disk.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <sanitizer/asan_interface.h>

#include "ui/program/frame_placement.h"
#include "ui/program/output_options.h"
#include "ui/program/current_palette.h"
#include "image/pcx_writer.h"
#include "ui/program/error_notifier.h"
#include "platform/files.h"
#include "platform/heap_block.h"
#include "platform/output_folder.h"
#include "ui/program/dc6_file.h"
#include "sprite/frame_decoder.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/temp_folder.h"

namespace {

// Images may be up to 65535 x 65535 pixels, a 4 GB canvas and an 8 GB PCX
// block: legal, but no fuzzer can afford them. An accepted file whose images
// would hold more than 32768 pixels in total (one 256 x 128 image) is passed
// over, which keeps the target at thousands of inputs a second. Images the
// core refuses for their size cost nothing and are not counted, so negative
// and oversized dimensions are still fuzzed.
constexpr std::uint64_t kMaxImagePixels = 1u << 15;

constexpr std::int64_t kMaxDimension = 0xFFFF;
constexpr std::int32_t kTileWidth = 256;
constexpr char kName[] = "fuzz.dc6";
constexpr int kInputsBetweenDiskChecks = 4096;
constexpr char kBase[] = "fuzz";

constexpr char kFurther[] = "\n\nDo you wish to receive further error notification?";
const std::string kHeaderNotices[] = {
    std::string("GetFileInfoDC6: dc6 file is not version 6 and can not be converted!") + kFurther,
    std::string("DC6 file has invalid number of blocks and can not be converted!") + kFurther,
    std::string("DC6 file has invalid frame data and can not be converted!") + kFurther,
};
constexpr char kZeroByte[] = "Found ZERO Byte";
constexpr char kOverrun[] = "Span overrun @ ";

[[noreturn]] void Fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "dc6_fuzzer: %s: %s\n", what, detail.c_str());
    std::abort();
}

// The output names of the stitched image (index 0) and of frames 0..11
// (indexes 1..12), and the notices for images refused for their size.
struct Expected {
    std::string names[kMaxBlocks + 1];
    std::string sizeNotices[kMaxBlocks + 1];
    Expected() {
        for (int i = 0; i <= kMaxBlocks; ++i) {
            names[i] = std::string(kBase) + (i == 0 ? "" : std::to_string(i - 1)) + ".pcx";
            sizeNotices[i] = "Image " + test::OutputPath(names[i]) +
                             " is too large or has invalid dimensions and was not written." + kFurther;
        }
    }
    // Is text one of the strings of the current file's mode?
    static bool Among(const std::string& text, const std::string (&strings)[kMaxBlocks + 1]) {
        if (!separateFrames) return text == strings[0];
        for (int i = 1; i <= blockCount; ++i)
            if (text == strings[i]) return true;
        return false;
    }
};
const Expected* expected = nullptr;

bool IsHeaderNotice(const std::string& text) {
    for (const std::string& notice : kHeaderNotices)
        if (text == notice) return true;
    return false;
}

// "Span overrun @ %X\n" with a read position of at most the file's length
// plus a literal run read past its end.
bool IsOverrun(const std::string& text, std::size_t size) {
    if (text.compare(0, sizeof kOverrun - 1, kOverrun) != 0 || text.back() != '\n') return false;
    const std::string digits = text.substr(sizeof kOverrun - 1, text.size() - sizeof kOverrun);
    if (digits.empty() || digits.size() > 16 || digits[0] == '0') return false;
    for (char c : digits)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    return std::stoull(digits, nullptr, 16) <= size + 127;
}

void CheckBoxes(const test::ScriptedMessageBoxes& user, bool accepted, std::size_t size) {
    if (!accepted && user.boxes.size() != 1) Fail("a rejected file gave boxes", std::to_string(user.boxes.size()));
    for (const auto& box : user.boxes) {
        if (box.caption != kConverterCaption) Fail("caption", box.caption);
        if (box.owner != progressWindow) Fail("owner", box.text);
        const bool decoderFault = box.text == kZeroByte || IsOverrun(box.text, size);
        const bool notice =
            !decoderFault && (accepted ? Expected::Among(box.text, expected->sizeNotices) : IsHeaderNotice(box.text));
        if (!decoderFault && !notice) Fail("unexpected message", box.text);
        if (box.style != (decoderFault ? MB_OK : MB_YESNO) + MB_ICONINFORMATION) Fail("style", box.text);
    }
}

bool LegalSize(std::int64_t width, std::int64_t height) {
    return width >= 0 && height >= 0 && width <= kMaxDimension && height <= kMaxDimension;
}

// The pixels of the images the placement would allocate, from the frame
// headers: one image per frame in separate mode; in stitched mode one canvas
// as wide as the last row and as high as all rows.
std::uint64_t DeclaredPixels() {
    std::uint64_t pixels = 0;
    std::int64_t x = 0;
    std::int64_t height = 0;
    std::int32_t widthBefore = 0;
    for (std::int32_t i = 0; i < blockCount; ++i) {
        const std::int32_t width = ReadInt32(frameTable[i] + 4);
        const std::int32_t frameHeight = ReadInt32(frameTable[i] + 8);
        if (separateFrames) {
            if (LegalSize(width, frameHeight)) pixels += static_cast<std::uint64_t>(width) * frameHeight;
            continue;
        }
        if (widthBefore != kTileWidth) x = 0;
        if (x == 0) height += frameHeight;
        x += width;
        widthBefore = width;
    }
    if (!separateFrames && LegalSize(x, height)) pixels = static_cast<std::uint64_t>(x * height);
    return pixels;
}

std::uint32_t Uint16At(const test::Bytes& file, std::size_t at) { return file[at] | file[at + 1] << 8; }

// A whole file of the writer's layout: header, one code per pixel (a value
// below 0xC0, or 0xC1 and a value of 0xC0 or more), the marker, the palette.
void CheckPcxFile(const std::string& name, const test::Bytes& file) {
    if (file.size() < kPcxHeaderSize + 1 + kPaletteSize) Fail("short PCX file", name);
    if (file[0] != 0x0A || file[1] != 5 || file[2] != 1 || file[3] != 8 || file[65] != 1) Fail("PCX header", name);
    const std::uint32_t width = (Uint16At(file, 8) + 1) & 0xFFFF;
    const std::uint32_t height = (Uint16At(file, 10) + 1) & 0xFFFF;
    if (Uint16At(file, 66) != width || Uint16At(file, 12) != width || Uint16At(file, 14) != height)
        Fail("PCX header sizes", name);
    std::size_t at = kPcxHeaderSize;
    const std::size_t codesEnd = file.size() - 1 - kPaletteSize;
    for (std::uint64_t pixel = 0; pixel < static_cast<std::uint64_t>(width) * height; ++pixel) {
        if (at >= codesEnd) Fail("PCX image data cut short", name);
        const std::uint8_t code = file[at++];
        if (code == 0xC1 && at < codesEnd && file[at] >= 0xC0)
            ++at;
        else if (code >= 0xC0)
            Fail("PCX code outside the writer's layout", name);
    }
    if (at != codesEnd || file[at] != 0x0C) Fail("PCX palette marker", name);
    if (std::memcmp(file.data() + at + 1, currentPalette, kPaletteSize) != 0) Fail("PCX palette", name);
}

platform::MemoryFolder* output = nullptr;

// Checks and drops what the placement wrote.
void CheckOutput() {
    for (const auto& [name, bytes] : output->files) {
        if (!Expected::Among(name, expected->names)) Fail("unexpected output file", name);
        CheckPcxFile(name, bytes);
    }
    const auto files = static_cast<std::int32_t>(output->files.size());
    if (files != imagesWritten) Fail("images counted", std::to_string(imagesWritten) + " for " + std::to_string(files));
    output->files.clear();
}

void CheckDiskUntouched() {
    static int inputs = 0;
    if (++inputs % kInputsBetweenDiskChecks != 0) return;
    for (const auto& entry : std::filesystem::directory_iterator(".")) Fail("written to disk", entry.path().string());
}

test::ScriptedMessageBoxes* user = nullptr;

// The input as the current sprite file, as reading it would leave it: the
// bytes, then the slack. One block serves every input (a fresh one each time
// costs more than the conversion of a small file). Of the slack, only what
// the decoder may look at is zeroed; the rest of the block is poisoned while
// the input is current, so a read further than the decoder may look is a
// finding although it stays in the block.
class FuzzedSprite {
public:
    FuzzedSprite(const std::uint8_t* data, std::size_t size) {
        static HeapBlock block;
        static std::size_t capacity = 0;
        if (capacity < size + kFileSlack) {
            capacity = size + kFileSlack;
            block.reset(static_cast<std::uint8_t*>(std::malloc(capacity)));
            if (!block) Fail("no memory for the input", std::to_string(size));
        }
        std::memcpy(block.get(), data, size);
        std::memset(block.get() + size, 0, kDecoderLookahead);
        start_ = block.get() + size + kDecoderLookahead;
        length_ = capacity - size - kDecoderLookahead;
        ASAN_POISON_MEMORY_REGION(start_, length_);
        spriteData = block.get();
        spriteSize = static_cast<std::uint32_t>(size);
    }
    ~FuzzedSprite() {
        ASAN_UNPOISON_MEMORY_REGION(start_, length_);
        spriteData = nullptr;
        spriteSize = 0;
    }
    FuzzedSprite(const FuzzedSprite&) = delete;
    FuzzedSprite& operator=(const FuzzedSprite&) = delete;

private:
    const std::uint8_t* start_;
    std::size_t length_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static test::TempFolder folder;           // removed with its contents at exit
    static test::ScriptedMessageBoxes boxes;  // answers Yes: every notice stays on
    static const Expected strings;
    static platform::MemoryFolder images("PCXFiles");
    user = &boxes;
    expected = &strings;
    output = &images;
    outputFolder = &images;
    UseBuiltInPalette();
    ReorderPalette();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The conversion never sees an empty file: it cannot be read whole.
    if (size == 0 || size > 0xFFFFFFFFu - kFileSlack) return -1;
    StartConversionRun();
    bool accepted;
    {
        const FuzzedSprite sprite(data, size);
        accepted = GetFileInfoDC6() == 1;
        if (accepted) {
            if (DeclaredPixels() > kMaxImagePixels) return -1;
            char name[kNameBufferSize] = {};
            std::strcpy(name, kName);
            WriteSpriteImages(name);
        }
    }
    CheckBoxes(*user, accepted, size);
    CheckOutput();
    CheckDiskUntouched();
    // Every block of the input released within it: libFuzzer looks for
    // leaks whenever the counts of allocations and releases differ.
    user->boxes.clear();
    user->boxes.shrink_to_fit();
    StartConversionRun();  // the run's record of the paths it wrote
    return 0;
}
