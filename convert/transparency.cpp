#include "convert/transparency.h"

#include <algorithm>
#include <cstring>

namespace {

// T for the indices in use: the fill byte when free, else the lowest free
// index; kNoIndexLeft when none is free.
int ChooseIndex(const IndexUse& use, std::uint8_t fillByte) {
    if (!use.Uses(fillByte)) return fillByte;
    for (int index = 0; index < 256; ++index)
        if (!use.Uses(static_cast<std::uint8_t>(index))) return index;
    return kNoIndexLeft;
}

// Whether the pixel at is listed (marked ascending; next moves along it).
bool Listed(const std::vector<std::uint32_t>& marked, std::size_t& next, std::size_t at) {
    while (next < marked.size() && marked[next] < at) ++next;
    return next < marked.size() && marked[next] == at;
}

}  // namespace

TransparencyPlan PlanTransparency(const IndexUse& use, std::uint8_t fillByte) {
    TransparencyPlan plan;
    plan.index = ChooseIndex(use, fillByte);
    if (plan.index != kNoIndexLeft) {
        plan.fill = static_cast<std::uint8_t>(plan.index);
        return plan;
    }
    // The least used index has the shortest list of opaque pixels.
    plan.fill = static_cast<std::uint8_t>(std::min_element(use.count.begin(), use.count.end()) - use.count.begin());
    return plan;
}

CanvasTransparency SettleTransparency(const TransparencyPlan& plan, std::uint8_t* canvas, std::size_t count,
                                      std::vector<std::uint32_t> marked, bool framesOverlap, std::uint8_t fillByte) {
    CanvasTransparency settled;
    const std::uint8_t fill = plan.fill;
    std::sort(marked.begin(), marked.end());
    marked.erase(std::unique(marked.begin(), marked.end()), marked.end());
    const bool listing = plan.index == kNoIndexLeft;
    // What the opaque pixels hold now. Pixels of the fill index are
    // transparent, unless listed and not written over by a later frame.
    IndexUse kept;
    std::uint64_t transparent = 0;
    if (framesOverlap || listing) {
        for (std::size_t i = 0; i < count; ++i) ++kept.count[canvas[i]];
        const auto stillMarked = static_cast<std::uint64_t>(
            std::count_if(marked.begin(), marked.end(), [&](std::uint32_t at) { return canvas[at] == fill; }));
        transparent = kept.count[fill] - stillMarked;
        kept.count[fill] = stillMarked;
    } else {
        transparent = std::memchr(canvas, fill, count) != nullptr ? 1 : 0;
    }
    if (transparent == 0) return settled;  // every pixel opaque: no index needed
    const int index = framesOverlap || listing ? ChooseIndex(kept, fillByte) : plan.index;
    if (index == kNoIndexLeft) {
        settled.rgba = true;
        settled.marker = fill;
        settled.opaqueMarked = std::move(marked);
        return settled;
    }
    if (index != fill) {
        std::size_t next = 0;
        for (std::size_t i = 0; i < count; ++i)
            if (canvas[i] == fill && !(listing && Listed(marked, next, i)))
                canvas[i] = static_cast<std::uint8_t>(index);
    }
    settled.index = index;
    return settled;
}
