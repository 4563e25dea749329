#include "sprite/dc6_encoder.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_set>

namespace {

constexpr std::uint8_t kEndOfRow = 0x80;   // 1000 0000
constexpr std::uint8_t kSkipBase = 0x80;   // 1nnn nnnn: skip n pixels, n = 1..127
constexpr std::int64_t kLongestRun = 127;  // both run kinds hold 7 bits of length

// The first bytes of the coded data from some row to the frame's end. The
// end-of-frame test after a 0x80 reads the bytes 2 to 4 after it, so the four
// bytes that follow a 0x80 decide whether it ends the frame.
using Lookahead = std::array<std::uint8_t, 4>;

// How one row is coded. Variant 0 is the plain coding. The others cap the
// length of the row's first three runs at 1 or 2 pixels (c1, c2, c3 in base
// 3, c1 varying fastest) and, in the upper half, also code the row's
// transparent tail as skips. Every variant decodes to the same pixels; they
// differ in their first bytes, which is all the end-of-frame test sees.
constexpr int kCappedRuns = 3;
constexpr int kCapChoices = 3;               // no cap, 1, 2
constexpr int kCapVariants = 27;             // kCapChoices ^ kCappedRuns
constexpr int kVariants = 2 * kCapVariants;  // tail uncoded, tail coded

struct Row {
    const std::uint8_t* pixels;
    const std::uint8_t* opaque;
    std::int64_t codedEnd;  // one past the last opaque pixel: the plain coding stops there
    std::int64_t width;
};

// Appends the coding of row under variant to out, end-of-row code included,
// but no more than limit bytes in all (the search needs only the first few).
void CodeRow(const Row& row, int variant, std::size_t limit, std::vector<std::uint8_t>& out) {
    const std::size_t start = out.size();
    auto room = [&] { return out.size() - start < limit; };
    const std::int64_t end = variant >= kCapVariants ? row.width : row.codedEnd;
    int capped = variant % kCapVariants;
    int runIndex = 0;
    for (std::int64_t x = 0; x < end && room();) {
        std::int64_t longest = kLongestRun;
        if (runIndex < kCappedRuns) {
            const int cap = capped % kCapChoices;  // 0 = none, else the cap itself
            capped /= kCapChoices;
            if (cap != 0) longest = cap;
        }
        ++runIndex;
        const bool opaque = row.opaque[x] != 0;
        std::int64_t run = 1;
        while (run < longest && x + run < end && (row.opaque[x + run] != 0) == opaque) ++run;
        if (opaque) {
            out.push_back(static_cast<std::uint8_t>(run));
            for (std::int64_t i = 0; i < run && room(); ++i) out.push_back(row.pixels[x + i]);
        } else {
            out.push_back(static_cast<std::uint8_t>(kSkipBase + run));
        }
        x += run;
    }
    if (room()) out.push_back(kEndOfRow);
}

// Whether the 0x80 that these four bytes follow would end the frame.
bool EndsFrameAfter(const Lookahead& next, const std::uint8_t terminator[4]) {
    return next[1] == terminator[1] && next[2] == terminator[2] && next[3] == terminator[3];
}

// The first bytes of a row's coding under one variant: all the end-of-frame
// test can see of it. Variants with the same head are alike to the search.
struct Head {
    int variant;         // the first variant, in order, that codes the row so
    std::uint8_t count;  // 1..4: a coding shorter than 4 bytes is whole here
    Lookahead bytes;
};

// The distinct heads of a row's codings, in the order of the variants that
// first give them, found as the search asks for them: most rows take their
// first head, and their other variants are never coded.
class RowHeads {
public:
    // Head k, or null when the row has no more than k distinct heads; code
    // is room for the rows' codings.
    const Head* At(const Row& row, std::size_t k, std::vector<std::uint8_t>& code, std::uint64_t* rowCodings) {
        while (heads_.size() <= k && nextVariant_ < kVariants) {
            code.clear();
            CodeRow(row, nextVariant_, 4, code);
            ++*rowCodings;
            Head head{nextVariant_++, static_cast<std::uint8_t>(code.size()), {}};
            std::copy(code.begin(), code.end(), head.bytes.begin());
            const bool seen = std::any_of(heads_.begin(), heads_.end(), [&](const Head& other) {
                return other.count == head.count && other.bytes == head.bytes;
            });
            if (!seen) heads_.push_back(head);
        }
        return k < heads_.size() ? &heads_[k] : nullptr;
    }

private:
    std::vector<Head> heads_;
    int nextVariant_ = 0;
};

// The first four bytes of a row's coding followed by bytes that begin with
// above.
Lookahead Prepend(const Head& head, const Lookahead& above) {
    Lookahead next = head.bytes;
    for (std::size_t i = head.count, k = 0; i < next.size(); ++i, ++k) next[i] = above[k];
    return next;
}

// Chooses a variant for each of the first rowCount rows (in coding order,
// bottom row first) so that no end-of-row code but the last ends the frame.
// The last row is followed by the terminator. Rows are chosen from the top
// down, since the test after a row's 0x80 looks only at what follows it; each
// row takes the first variant that keeps the test clear and leaves a
// continuation for the rows below. A depth-first search with a record of the
// (row, lookahead) pairs that lead nowhere, so no pair is tried twice.
//
// Whether rows 0..j can be coded under a given lookahead depends on those
// rows alone, not on how many rows lie above: the record is kept from one
// rowCount to the next, so that leaving out top rows one by one costs each
// (row, lookahead) pair once in all, and the whole search stays linear in
// the frame's height.
class VariantSearch {
public:
    VariantSearch(const std::vector<Row>& rows, const std::uint8_t terminator[4], std::uint64_t* rowCodings)
        : rows_(rows),
          terminator_(terminator),
          chosen_(rows.size()),
          above_(rows.size()),
          heads_(rows.size()),
          rowCodings_(rowCodings) {
        deadEnds_.reserve(rows.size());
    }

    // Chooses for rows 0..rowCount-1 (then read with Variant); false when no choice works.
    bool Choose(std::int64_t rowCount);
    // The variant chosen for row j (0 for the bottom row, which any variant codes).
    int Variant(std::int64_t j) {
        const std::size_t at = static_cast<std::size_t>(j);
        if (j == 0) return 0;
        return heads_[at].At(rows_[at], static_cast<std::size_t>(chosen_[at]), code_, rowCodings_)->variant;
    }

private:
    static std::uint64_t Key(std::int64_t row, const Lookahead& next) {
        return static_cast<std::uint64_t>(row) << 32 | static_cast<std::uint64_t>(next[0]) << 24 |
               static_cast<std::uint64_t>(next[1]) << 16 | static_cast<std::uint64_t>(next[2]) << 8 | next[3];
    }

    const std::vector<Row>& rows_;
    const std::uint8_t* terminator_;
    std::vector<int> chosen_;         // per row, the head taken: entries above the current row are the path's
    std::vector<Lookahead> above_;    // what follows each row's coding on that path
    std::vector<RowHeads> heads_;     // each row's, as far as the search looked
    std::vector<std::uint8_t> code_;  // room for a row's first bytes
    std::unordered_set<std::uint64_t> deadEnds_;
    std::uint64_t* rowCodings_;
};

bool VariantSearch::Choose(std::int64_t rowCount) {
    const std::int64_t top = rowCount - 1;
    above_[static_cast<std::size_t>(top)] = {terminator_[0], terminator_[1], terminator_[2], terminator_[3]};
    std::int64_t j = top;
    int variant = 0;
    for (;;) {
        const std::size_t at = static_cast<std::size_t>(j);
        Lookahead next{};
        bool found = false;
        if (j == 0) {
            found = true;  // no end-of-row code comes before the bottom row
        } else if (deadEnds_.count(Key(j, above_[at])) == 0) {
            const Row& row = rows_[at];
            for (const Head* head; (head = heads_[at].At(row, static_cast<std::size_t>(variant), code_, rowCodings_));
                 ++variant) {
                ++*rowCodings_;
                next = Prepend(*head, above_[at]);
                if (!EndsFrameAfter(next, terminator_) && deadEnds_.count(Key(j - 1, next)) == 0) {
                    found = true;
                    break;
                }
            }
        }
        if (found) {
            chosen_[at] = variant;
            if (j == 0) return true;
            above_[at - 1] = next;
            --j;
            variant = 0;
        } else {
            deadEnds_.insert(Key(j, above_[at]));
            if (j == top) return false;
            ++j;
            variant = chosen_[static_cast<std::size_t>(j)] + 1;
        }
    }
}

}  // namespace

std::vector<std::uint8_t> EncodeFrame(const std::uint8_t* pixels, const std::uint8_t* opaque, std::int32_t width,
                                      std::int32_t height, std::int32_t rowStride, const std::uint8_t terminator[4],
                                      std::uint64_t* rowCodings) {
    std::uint64_t codings = 0;
    if (rowCodings == nullptr) rowCodings = &codings;
    std::vector<std::uint8_t> out;
    if (width <= 0 || height <= 0) {
        out.push_back(kEndOfRow);
        out.insert(out.end(), terminator, terminator + 4);
        return out;
    }

    // Rows in coding order: the frame's bottom row first.
    std::vector<Row> rows(static_cast<std::size_t>(height));
    std::int64_t lastWithPixels = -1;  // in coding order
    for (std::int64_t j = 0; j < height; ++j) {
        const std::int64_t offset = (static_cast<std::int64_t>(height) - 1 - j) * rowStride;
        Row& row = rows[static_cast<std::size_t>(j)];
        row.pixels = pixels + offset;
        row.opaque = opaque + offset;
        row.width = width;
        row.codedEnd = width;
        while (row.codedEnd > 0 && row.opaque[row.codedEnd - 1] == 0) --row.codedEnd;
        if (row.codedEnd > 0) lastWithPixels = j;
    }

    // Code every row if that can be done; failing that, leave out top rows
    // without opaque pixels one by one: ending the frame below them decodes
    // to the same pixels.
    VariantSearch search(rows, terminator, rowCodings);
    std::int64_t rowCount = height;
    const std::int64_t fewest = std::max<std::int64_t>(lastWithPixels + 1, 1);
    while (!search.Choose(rowCount)) {
        if (rowCount == fewest) return {};
        --rowCount;
    }

    std::size_t size = 4;
    for (std::int64_t j = 0; j < rowCount; ++j)
        size += 2 + static_cast<std::size_t>(rows[static_cast<std::size_t>(j)].codedEnd) * 2;
    out.reserve(std::min<std::size_t>(size, 1u << 24));
    for (std::int64_t j = 0; j < rowCount; ++j)
        CodeRow(rows[static_cast<std::size_t>(j)], search.Variant(j), SIZE_MAX, out);
    out.insert(out.end(), terminator, terminator + 4);
    return out;
}
