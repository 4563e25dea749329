#include "image/gif_writer.h"

#include <cstring>
#include <vector>

#include "platform/byte_order.h"

namespace {

constexpr std::uint8_t kScreenFlags = 0xF7;  // 1 111 0 111: global table, 8-bit colour, unsorted, 256 entries
constexpr std::uint8_t kExtension = 0x21;
constexpr std::uint8_t kGraphicControl = 0xF9;
constexpr std::uint8_t kApplication = 0xFF;
constexpr std::uint8_t kImageSeparator = 0x2C;
constexpr std::uint8_t kTrailer = 0x3B;
constexpr std::uint8_t kRestoreBackground = 2 << 2;  // 000 010 0 0: disposal 2
constexpr std::uint8_t kRestorePrevious = 3 << 2;    // 000 011 0 0: disposal 3
constexpr std::uint8_t kTransparentGiven = 1;
constexpr int kMinimumCodeSize = 8;
constexpr int kClearCode = 1 << kMinimumCodeSize;  // 256
constexpr int kEndCode = kClearCode + 1;           // 257
constexpr int kFirstCode = kClearCode + 2;         // 258
constexpr int kMaxCodes = 4096;                    // 12 bits
constexpr int kMaxCodeSize = 12;
constexpr std::size_t kTableSize = 8192;  // twice the codes: short probes
constexpr std::size_t kSubBlock = 255;

// The file's start: the signature, the logical screen descriptor, the global
// table, then the looping extension.
constexpr std::size_t kSignatureSize = 6;  // "GIF89a"
constexpr std::size_t kScreenWidth = 6;
constexpr std::size_t kScreenHeight = 8;
constexpr std::size_t kScreenPacked = 10;
constexpr std::size_t kScreenBackground = 11;
constexpr std::size_t kScreenAspect = 12;
constexpr std::size_t kGlobalTable = 13;
constexpr std::size_t kLoopExtensionSize = 19;  // 21 FF 0B "NETSCAPE2.0" 03 01 loops (2) 00
constexpr std::uint8_t kApplicationIdSize = 11;

// Before each frame's codes: the graphic control extension, the image
// descriptor and the LZW minimum code size.
constexpr std::uint8_t kGraphicControlSize = 4;
constexpr std::size_t kControlFlags = 3;
constexpr std::size_t kControlDelay = 4;
constexpr std::size_t kControlTransparent = 6;
constexpr std::size_t kControlTerminator = 7;
constexpr std::size_t kDescriptor = 8;
constexpr std::size_t kDescriptorLeft = 9;
constexpr std::size_t kDescriptorTop = 11;
constexpr std::size_t kDescriptorWidth = 13;
constexpr std::size_t kDescriptorHeight = 15;
constexpr std::size_t kDescriptorPacked = 17;
constexpr std::size_t kCodeSizeByte = 18;
constexpr std::size_t kFrameHeadSize = 19;

// Fibonacci hashing: 2^32 over the golden ratio spreads the keys, and the
// top 13 bits of the product pick one of the table's 8192 slots.
constexpr std::uint32_t kHashMultiplier = 2654435761u;
constexpr int kHashShift = 19;

// The LZW codes of one frame, packed and cut into sub-blocks for the sink.
class LzwCoder {
public:
    explicit LzwCoder(ByteSink& sink) : sink_(sink), keys_(kTableSize), codes_(kTableSize) { Reset(); }

    bool Add(std::uint8_t pixel) {
        if (prefix_ < 0) {
            prefix_ = pixel;
            return Emit(kClearCode);
        }
        const std::uint32_t key = static_cast<std::uint32_t>(prefix_) << 8 | pixel;
        std::size_t slot = Slot(key);
        if (keys_[slot] == key + 1) {
            prefix_ = codes_[slot];
            return true;
        }
        if (!Emit(prefix_)) return false;
        if (next_ < kMaxCodes) {
            keys_[slot] = key + 1;
            codes_[slot] = static_cast<std::uint16_t>(next_);
            // The decoder learns a code one step later than the coder and
            // widens its codes when it learns the code 2^size - 1; the coder
            // widens when it has made the code 2^size.
            if (next_ >= (1 << codeSize_) && codeSize_ < kMaxCodeSize) ++codeSize_;
            ++next_;
        }
        if (next_ == kMaxCodes) {
            // Every code is used: start afresh.
            if (!Emit(kClearCode)) return false;
            Reset();
        }
        prefix_ = pixel;
        return true;
    }

    // Ends the data: the pending string, then the end code (as wide as the
    // decoder will read it, having learnt one more code), then the bits left.
    bool Finish() {
        if (prefix_ < 0 && !Emit(kClearCode)) return false;
        if (prefix_ >= 0 && !Emit(prefix_)) return false;
        if (prefix_ >= 0 && next_ < kMaxCodes && next_ >= (1 << codeSize_) && codeSize_ < kMaxCodeSize) ++codeSize_;
        if (!Emit(kEndCode)) return false;
        if (bitCount_ > 0 && !Put(static_cast<std::uint8_t>(bits_))) return false;
        if (blockLength_ > 0 && !SendBlock()) return false;
        const std::uint8_t end = 0;
        return sink_.Write(&end, 1);
    }

private:
    void Reset() {
        std::fill(keys_.begin(), keys_.end(), 0u);
        next_ = kFirstCode;
        codeSize_ = kMinimumCodeSize + 1;
    }

    std::size_t Slot(std::uint32_t key) const {
        std::size_t slot = (key * kHashMultiplier) >> kHashShift & (kTableSize - 1);
        while (keys_[slot] != 0 && keys_[slot] != key + 1) slot = (slot + 1) & (kTableSize - 1);
        return slot;
    }

    bool Emit(int code) {
        bits_ |= static_cast<std::uint32_t>(code) << bitCount_;
        bitCount_ += codeSize_;
        while (bitCount_ >= 8) {
            if (!Put(static_cast<std::uint8_t>(bits_))) return false;
            bits_ >>= 8;
            bitCount_ -= 8;
        }
        return true;
    }

    bool Put(std::uint8_t byte) {
        block_[1 + blockLength_++] = byte;
        return blockLength_ < kSubBlock || SendBlock();
    }

    bool SendBlock() {
        block_[0] = static_cast<std::uint8_t>(blockLength_);
        const std::size_t length = 1 + blockLength_;
        blockLength_ = 0;
        return sink_.Write(block_, length);
    }

    ByteSink& sink_;
    std::vector<std::uint32_t> keys_;  // prefix << 8 | pixel, plus one; 0: free
    std::vector<std::uint16_t> codes_;
    int next_ = kFirstCode;
    int codeSize_ = kMinimumCodeSize + 1;
    int prefix_ = -1;  // the code of the string so far; -1 before the first pixel
    std::uint32_t bits_ = 0;
    int bitCount_ = 0;
    std::uint8_t block_[1 + kSubBlock] = {};
    std::size_t blockLength_ = 0;
};

}  // namespace

bool GifWriter::Start(std::int32_t width, std::int32_t height, const std::uint8_t* paletteRgb,
                      std::uint8_t background) {
    if (width < 1 || height < 1 || width > kMaxGifDimension || height > kMaxGifDimension) return false;
    width_ = width;
    height_ = height;
    std::uint8_t header[kGlobalTable + 768 + kLoopExtensionSize];
    std::memcpy(header, "GIF89a", kSignatureSize);
    PutLittleEndian16(header + kScreenWidth, static_cast<std::uint32_t>(width));
    PutLittleEndian16(header + kScreenHeight, static_cast<std::uint32_t>(height));
    header[kScreenPacked] = kScreenFlags;
    header[kScreenBackground] = background;
    header[kScreenAspect] = 0;  // no aspect ratio
    std::memcpy(header + kGlobalTable, paletteRgb, 768);
    std::uint8_t* loop = header + kGlobalTable + 768;
    const std::uint8_t application[kLoopExtensionSize] = {
        kExtension, kApplication, kApplicationIdSize, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0,
        0};  // loops: 0, forever
    std::memcpy(loop, application, sizeof application);
    return sink_.Write(header, sizeof header);
}

bool GifWriter::AddFrame(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, std::uint16_t delay,
                         int transparentIndex, const RowSource& source, Disposal disposal) {
    if (width < 1 || height < 1 || x < 0 || y < 0 || static_cast<std::int64_t>(x) + width > width_ ||
        static_cast<std::int64_t>(y) + height > height_ || transparentIndex < -1 || transparentIndex > 255)
        return false;
    std::uint8_t head[kFrameHeadSize];
    head[0] = kExtension;
    head[1] = kGraphicControl;
    head[2] = kGraphicControlSize;
    head[kControlFlags] =
        static_cast<std::uint8_t>((disposal == Disposal::Previous ? kRestorePrevious : kRestoreBackground) |
                                  (transparentIndex >= 0 ? kTransparentGiven : 0));
    PutLittleEndian16(head + kControlDelay, delay);
    head[kControlTransparent] = static_cast<std::uint8_t>(transparentIndex >= 0 ? transparentIndex : 0);
    head[kControlTerminator] = 0;
    head[kDescriptor] = kImageSeparator;
    PutLittleEndian16(head + kDescriptorLeft, static_cast<std::uint32_t>(x));
    PutLittleEndian16(head + kDescriptorTop, static_cast<std::uint32_t>(y));
    PutLittleEndian16(head + kDescriptorWidth, static_cast<std::uint32_t>(width));
    PutLittleEndian16(head + kDescriptorHeight, static_cast<std::uint32_t>(height));
    head[kDescriptorPacked] = 0;  // no local table, not interlaced
    head[kCodeSizeByte] = kMinimumCodeSize;
    if (!sink_.Write(head, sizeof head)) return false;
    LzwCoder coder(sink_);
    for (std::int32_t row = 0; row < height; ++row) {
        const std::uint8_t* indices = nullptr;
        if (!source(row, &indices)) return false;
        for (std::int32_t i = 0; i < width; ++i)
            if (!coder.Add(indices[i])) return false;
    }
    return coder.Finish();
}

bool GifWriter::Finish() { return sink_.Write(&kTrailer, 1); }
