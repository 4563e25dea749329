// The sprite as the page shows it: the core's own reading, validation and
// frame decoder, with the notices they give turned into the converter's lines.
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "run/notice_printer.h"
#include "convert/frame_placement.h"
#include "notice/diagnostics.h"
#include "platform/heap_block.h"
#include "sprite/dc6_sprite.h"
#include "sprite/file_bytes.h"
#include "sprite/frame_decoder.h"
#include "web/bridge.h"

namespace {

// The notices the core gives about one file, as the converter's lines.
class FileNotices final : public Diagnostics {
public:
    explicit FileNotices(const char* name) : name_(name) {}

    void Report(const Diagnostic& notice) override {
        lines_.push_back(NoticeLine(name_, NoticeText(notice).c_str(), notice.reason.c_str()));
    }
    void Add(const char* text) { lines_.push_back(NoticeLine(name_, text)); }
    const std::vector<std::string>& lines() const { return lines_; }

private:
    std::string name_;
    std::vector<std::string> lines_;
};

// A sprite file read whole and parsed, for as long as it lives.
class LoadedSprite {
public:
    LoadedSprite(const char* path, Diagnostics& notices) : block_(ReadFileWithSlack(path, &size_)) {
        if (block_) sprite_ = ParseDc6(block_.get(), size_, notices);
    }

    bool read() const { return static_cast<bool>(block_); }
    bool accepted() const { return sprite_.has_value(); }
    const Dc6Sprite& sprite() const { return *sprite_; }

private:
    std::uint32_t size_ = 0;
    HeapBlock block_;
    std::optional<Dc6Sprite> sprite_;
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
        LoadedSprite loaded(path, notices);
        if (!loaded.read()) notices.Add("cannot be read");
        description["accepted"] = loaded.accepted();
        if (loaded.accepted()) {
            const Dc6Sprite& sprite = loaded.sprite();
            description["layout"] = sprite.separateFrames ? "separate" : "stitched";
            nlohmann::json frames = nlohmann::json::array();
            std::uint8_t nowhere = 0;
            for (const Dc6Frame& frame : sprite.frames) {
                frames.push_back({{"width", frame.width},
                                  {"height", frame.height},
                                  {"xOffset", frame.xOffset},
                                  {"yOffset", frame.yOffset}});
                // Onto a canvas of no pixels: the decoder walks the coded data
                // and reports its faults, whatever the frame's size.
                DecodeFrame(frame, sprite.terminator, {&nowhere, 0, 0}, 0, 0, &notices);
            }
            description["frames"] = frames;
            // Where the converter puts each frame in its one picture, so that
            // the page draws it as written without converting it.
            std::int64_t width = 0, height = 0;
            std::vector<std::pair<std::int64_t, std::int64_t>> places;
            if (!sprite.separateFrames && PlanStitchedPicture(sprite, &width, &height, &places)) {
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
    DiagnosticList silenced;  // the list has shown them
    LoadedSprite loaded(path, silenced);
    if (!loaded.accepted()) return nullptr;
    const Dc6Sprite& sprite = loaded.sprite();

    constexpr std::size_t kFieldBytes = 4;
    std::vector<std::int32_t> header{static_cast<std::int32_t>(sprite.frames.size())};
    std::uint64_t shownPixels = 0;
    for (const Dc6Frame& frame : sprite.frames) {
        const std::uint64_t pixels = PixelsOf(frame.width, frame.height);
        const bool shown = pixels > 0 && shownPixels + pixels <= kMaxShownPixels;
        if (shown) shownPixels += pixels;
        header.insert(header.end(), {frame.width, frame.height, shown ? 1 : 0});
    }
    const std::uint64_t size = header.size() * kFieldBytes + 2 * shownPixels;
    auto* block = static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(size)));
    if (block == nullptr) return nullptr;
    std::memcpy(block, header.data(), header.size() * kFieldBytes);

    std::uint8_t* out = block + header.size() * kFieldBytes;
    for (std::size_t i = 0; i < sprite.frames.size(); ++i) {
        if (header[1 + 3 * i + 2] == 0) continue;
        const Dc6Frame& frame = sprite.frames[i];
        const std::size_t pixels = static_cast<std::size_t>(PixelsOf(frame.width, frame.height));
        std::uint8_t* indices = out;
        std::uint8_t* opaque = out + pixels;
        std::memset(indices, sprite.terminator[3], pixels);
        std::memset(opaque, 0, pixels);
        DecodeWatch watch;
        watch.opaque = opaque;
        DecodeFrame(frame, sprite.terminator, {indices, frame.width, frame.height}, 0, 0, nullptr, &watch);
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
