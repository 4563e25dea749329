// The sprite as the page shows it: the core's own reading, validation and
// frame decoder, with the notices they give turned into the converter's lines.
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/notice_printer.h"
#include "convert/frame_placement.h"
#include "notice/error_notifier.h"
#include "notice/notice_collector.h"
#include "platform/heap_block.h"
#include "sprite/dc6_file.h"
#include "sprite/frame_decoder.h"
#include "web/bridge.h"

namespace {

// The notices the core gives about one file while it lives, as the
// converter's lines: collected, never shown (a Yes/No notice counts as
// answered Yes, so the later ones keep coming).
class FileNotices {
public:
    explicit FileNotices(const char* name) : name_(name) { showErrors = true; }
    FileNotices(const FileNotices&) = delete;
    FileNotices& operator=(const FileNotices&) = delete;

    void Add(const char* text) { collector_.Add(Notice::Kind::Notice, text); }
    std::vector<std::string> lines() const {
        std::vector<std::string> lines;
        for (const Notice& notice : collector_.notices)
            lines.push_back(NoticeLine(name_, notice.text.c_str(), notice.reason.c_str()));
        return lines;
    }

private:
    std::string name_;
    NoticeCollector collector_;
};

// The current sprite file, loaded and accepted, for as long as it lives.
class LoadedSprite {
public:
    explicit LoadedSprite(const char* path) : block_(LoadWholeFile(path, &spriteSize)) {
        if (!block_) return;
        spriteData = block_.get();
        accepted_ = GetFileInfoDC6() == 1;
    }
    ~LoadedSprite() { spriteData = nullptr; }
    LoadedSprite(const LoadedSprite&) = delete;
    LoadedSprite& operator=(const LoadedSprite&) = delete;

    bool read() const { return static_cast<bool>(block_); }
    bool accepted() const { return accepted_; }

private:
    HeapBlock block_;
    bool accepted_ = false;
};

std::string describedText;

std::uint64_t PixelsOf(std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0) return 0;
    return static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
}

const char* DescribeSprite(const char* path) {
    FileNotices notices(path);
    nlohmann::json description;
    {
        LoadedSprite sprite(path);
        if (!sprite.read()) notices.Add("cannot be read");
        description["accepted"] = sprite.accepted();
        if (sprite.accepted()) {
            description["layout"] = separateFrames ? "separate" : "stitched";
            nlohmann::json frames = nlohmann::json::array();
            std::uint8_t nowhere = 0;
            for (std::int32_t i = 0; i < blockCount; ++i) {
                SelectFrame(frameTable[i]);
                frames.push_back({{"width", frameWidth},
                                  {"height", frameHeight},
                                  {"xOffset", ReadInt32(frameTable[i] + kFrameXOffset)},
                                  {"yOffset", ReadInt32(frameTable[i] + kFrameYOffset)}});
                // Onto a canvas of no pixels: the decoder walks the coded data
                // and reports its faults, whatever the frame's size.
                DecodeFrame(frameData, frameLength, frameWidth, frameHeight, &nowhere, 0, 0, 0, 0);
            }
            description["frames"] = frames;
            // Where the converter puts each frame in its one picture, so that
            // the page draws it as written without converting it.
            std::int64_t width = 0, height = 0;
            std::vector<std::pair<std::int64_t, std::int64_t>> places;
            if (!separateFrames && PlanStitchedPicture(&width, &height, &places)) {
                nlohmann::json at = nlohmann::json::array();
                for (const auto& [x, y] : places) at.push_back({{"x", x}, {"y", y}});
                description["stitched"] = {{"width", width}, {"height", height}, {"places", at}};
            }
        }
    }
    description["notices"] = notices.lines();
    describedText = description.dump();
    return describedText.c_str();
}

std::uint8_t* DecodeSprite(const char* path) {
    FileNotices silenced(path);  // the list has shown them
    LoadedSprite sprite(path);
    if (!sprite.accepted()) return nullptr;

    constexpr std::size_t kFieldBytes = 4;
    std::vector<std::int32_t> header{blockCount};
    std::uint64_t shownPixels = 0;
    for (std::int32_t i = 0; i < blockCount; ++i) {
        SelectFrame(frameTable[i]);
        const std::uint64_t pixels = PixelsOf(frameWidth, frameHeight);
        const bool shown = pixels > 0 && shownPixels + pixels <= kMaxShownPixels;
        if (shown) shownPixels += pixels;
        header.insert(header.end(), {frameWidth, frameHeight, shown ? 1 : 0});
    }
    const std::uint64_t size = header.size() * kFieldBytes + 2 * shownPixels;
    auto* block = static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(size)));
    if (block == nullptr) return nullptr;
    std::memcpy(block, header.data(), header.size() * kFieldBytes);

    std::uint8_t* out = block + header.size() * kFieldBytes;
    for (std::int32_t i = 0; i < blockCount; ++i) {
        if (header[1 + 3 * static_cast<std::size_t>(i) + 2] == 0) continue;
        SelectFrame(frameTable[i]);
        const std::size_t pixels = static_cast<std::size_t>(PixelsOf(frameWidth, frameHeight));
        std::uint8_t* indices = out;
        std::uint8_t* opaque = out + pixels;
        std::memset(indices, terminator[3], pixels);
        std::memset(opaque, 0, pixels);
        DecodeWatch watch;
        watch.quiet = true;
        watch.opaque = opaque;
        DecodeFrame(frameData, frameLength, frameWidth, frameHeight, indices, frameWidth, frameHeight, 0, 0, &watch);
        out += 2 * pixels;
    }
    return block;
}

}  // namespace

extern "C" {

// An allocation failure inside the core's reading ends the call with an
// answer the worker reads, never an exception escaping into it.
const char* KelvaneDescribeSprite(const char* path) {
    try {
        return DescribeSprite(path);
    } catch (const std::bad_alloc&) {
        return R"({"accepted":false,"notices":[],"outOfMemory":true})";
    }
}

std::uint8_t* KelvaneDecodeSprite(const char* path) {
    try {
        return DecodeSprite(path);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void KelvaneRelease(std::uint8_t* block) { std::free(block); }

}  // extern "C"
