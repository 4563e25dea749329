// The page's sprite list, its animation canvas and its frame-rate field, in
// the run's own terms.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "convert/animation.h"
#include "convert/placement_notices.h"
#include "notice/diagnostics.h"
#include "platform/directory.h"
#include "platform/heap_block.h"
#include "run/animation_rate.h"
#include "sprite/dc6_sprite.h"
#include "sprite/file_bytes.h"
#include "web/bridge.h"

namespace {

std::string orderText;
std::string canvasText;

// A path's folders and name, split at '/'.
std::vector<std::string> PartsOf(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = path.find('/', start);
        parts.push_back(path.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
        if (slash == std::string::npos) return parts;
        start = slash + 1;
    }
}

// The order a run over a folder's tree takes its sprites in: a folder's own
// sprites by name come before its sub-folders, and each sub-folder, by name,
// is taken whole. Names of one folder alone are the plain listing order.
bool TreeLess(const std::vector<std::string>& left, const std::vector<std::string>& right) {
    const std::size_t common = std::min(left.size(), right.size());
    for (std::size_t i = 0; i < common; ++i) {
        const bool leftIsName = i + 1 == left.size();
        const bool rightIsName = i + 1 == right.size();
        if (leftIsName != rightIsName) return leftIsName;
        if (left[i] != right[i] || leftIsName) return platform::NameLess(left[i], right[i]);
    }
    return false;
}

std::string OrderJson(const char* names) {
    const nlohmann::json parsed = nlohmann::json::parse(names, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_array()) return std::string();
    std::vector<std::vector<std::string>> paths;
    paths.reserve(parsed.size());
    for (const nlohmann::json& name : parsed) {
        if (!name.is_string()) return std::string();
        paths.push_back(PartsOf(name.get<std::string>()));
    }
    std::vector<std::size_t> order(paths.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    // Stable: paths equal byte for byte keep the order they came in.
    std::stable_sort(order.begin(), order.end(),
                     [&paths](std::size_t left, std::size_t right) { return TreeLess(paths[left], paths[right]); });
    return nlohmann::json(order).dump();
}

// The canvas the manifest gives as meta.canvas and --anim draws on: only for
// a sprite whose frames have offsets, and only of a size an image can have.
std::string CanvasJson(const char* path) {
    std::uint32_t size = 0;
    const HeapBlock block(ReadFileWithSlack(path, &size));
    if (!block) return "null";
    DiagnosticList silenced;  // the list has shown them
    const std::optional<Dc6Sprite> sprite = ParseDc6(block.get(), size, silenced);
    if (!sprite || !sprite->separateFrames) return "null";
    const AnimationCanvas canvas = CanvasOfFrames(*sprite);
    if (!ValidImageSize(canvas.width, canvas.height)) return "null";
    return nlohmann::json{{"x", canvas.x}, {"y", canvas.y}, {"w", canvas.width}, {"h", canvas.height}}.dump();
}

}  // namespace

extern "C" {

const char* KelvaneSpriteOrder(const char* names) {
    try {
        orderText = names == nullptr ? std::string() : OrderJson(names);
    } catch (const std::bad_alloc&) {
        orderText.clear();
    }
    return orderText.empty() ? nullptr : orderText.c_str();
}

const char* KelvaneAnimationCanvas(const char* path) {
    try {
        canvasText = path == nullptr ? "null" : CanvasJson(path);
    } catch (const std::bad_alloc&) {
        canvasText = "null";
    }
    return canvasText.c_str();
}

int KelvaneMinFps() { return kMinFps; }
int KelvaneMaxFps() { return kMaxFps; }
int KelvaneDefaultFps() { return kDefaultFps; }

}  // extern "C"
