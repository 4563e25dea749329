#include "sprite/dc6_encoder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>
#include <utility>

#include "ui/program/dc6_file.h"
#include "sprite/dc6_writer.h"
#include "sprite/frame_decoder.h"
#include "tests/unit/program_test.h"
#include "tests/support/current_sprite.h"

namespace {

using test::Bytes;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct Frame {
    std::int32_t width = 0;
    std::int32_t height = 0;
    Bytes pixels;
    Bytes opaque;
};

// Whether some coding of the frame exists that the decoder reads back whole:
// every split of every row into runs, the transparent tail coded or not, and
// top rows without pixels left out. Exponential; for frames of a few pixels.
bool AnyCodingExists(const Frame& f, const std::uint8_t t[4]) {
    auto rowCodings = [&](std::int32_t y) {
        std::vector<Bytes> all;
        const std::uint8_t* px = &f.pixels[y * f.width];
        const std::uint8_t* op = &f.opaque[y * f.width];
        std::int32_t end = f.width;
        while (end > 0 && op[end - 1] == 0) --end;
        auto split = [&](auto& self, std::int32_t x, std::int32_t stop, Bytes code) -> void {
            if (x == stop) return code.push_back(0x80), all.push_back(code);
            std::int32_t same = 1;
            while (x + same < stop && (op[x + same] != 0) == (op[x] != 0)) ++same;
            for (std::int32_t k = 1; k <= same && k <= 127; ++k) {
                Bytes next = code;
                if (op[x] != 0)
                    next.push_back(static_cast<std::uint8_t>(k)), next.insert(next.end(), px + x, px + x + k);
                else
                    next.push_back(static_cast<std::uint8_t>(0x80 + k));
                self(self, x + k, stop, next);
            }
        };
        split(split, 0, end, {});
        if (end < f.width) split(split, 0, f.width, {});
        return all;
    };
    std::int32_t needed = 1;  // rows, bottom first, up to the last with a pixel
    for (std::int32_t j = 0; j < f.height; ++j)
        for (std::int32_t x = 0; x < f.width; ++x)
            if (f.opaque[(f.height - 1 - j) * f.width + x] != 0) needed = j + 1;
    for (std::int32_t count = f.height; count >= needed; --count) {
        // Row by row from the top, keeping every distinct four-byte continuation.
        std::set<Bytes> heads = {Bytes(t, t + 4)};
        for (std::int32_t j = count - 1; j >= 0 && !heads.empty(); --j) {
            std::set<Bytes> below;
            for (const Bytes& code : rowCodings(f.height - 1 - j))
                for (const Bytes& head : heads) {
                    Bytes joined = code;
                    joined.insert(joined.end(), head.begin(), head.end());
                    joined.resize(4);
                    if (j == 0 || !(joined[1] == t[1] && joined[2] == t[2] && joined[3] == t[3])) below.insert(joined);
                }
            heads = std::move(below);
        }
        if (!heads.empty()) return true;
    }
    return false;
}

class Dc6EncoderTest : public test::ProgramTest {
protected:
    // Decodes coded onto a canvas filled with fill and returns its pixels.
    Bytes Decode(const Bytes& coded, const Frame& f, std::uint8_t fill) {
        HeapBlock data = test::BlockWithSlack(coded);
        Bytes canvas(static_cast<std::size_t>(f.width) * f.height, fill);
        DecodeFrame(data.get(), static_cast<std::uint32_t>(coded.size()), f.width, f.height, canvas.data(), f.width,
                    f.height, 0, 0);
        return canvas;
    }

    // Checks that coded decodes to exactly the frame's opaque pixels, and that
    // coding the decoded frame again gives the same bytes.
    void ExpectDecodesTo(const Bytes& coded, const Frame& f, const std::uint8_t t[4]) {
        std::memcpy(terminator, t, 4);
        const Bytes onZero = Decode(coded, f, 0x00);
        const Bytes onOnes = Decode(coded, f, 0xFF);
        Frame decoded = f;
        for (std::size_t i = 0; i < f.pixels.size(); ++i) {
            const bool written = onZero[i] == onOnes[i];
            ASSERT_EQ(written, f.opaque[i] != 0) << "pixel " << i;
            if (written) {
                ASSERT_EQ(onZero[i], f.pixels[i]) << "pixel " << i;
            }
            decoded.opaque[i] = written ? 1 : 0;
            decoded.pixels[i] = written ? onZero[i] : 0x5A;
        }
        EXPECT_THAT(user.Texts(), IsEmpty());
        EXPECT_EQ(EncodeFrame(decoded.pixels.data(), decoded.opaque.data(), f.width, f.height, f.width, t), coded);
    }
};

TEST_F(Dc6EncoderTest, RandomFramesDecodeBackOrHaveNoCodingAtAll) {
    std::mt19937 random(20240611);
    int refused = 0;
    for (int n = 0; n < 400; ++n) {
        const bool wide = n % 8 == 0;  // runs over 127 pixels
        Frame f;
        f.width = wide ? 100 + static_cast<std::int32_t>(random() % 300) : static_cast<std::int32_t>(random() % 6);
        f.height = static_cast<std::int32_t>(random() % (wide ? 4 : 7));
        // Terminators built to collide: with each other, with code bytes, with pixels.
        const std::uint8_t codes[] = {0x80, 0x81, 0x01, 0x05, 0x7F, 0xEE};
        std::uint8_t t[4];
        for (auto& b : t) b = codes[random() % 6];
        if (wide || n % 2 == 0) t[2] = t[3] = t[1];
        const int density = static_cast<int>(random() % 5);  // 0: every row transparent
        for (std::int32_t i = 0; i < f.width * f.height; ++i) {
            f.opaque.push_back(static_cast<int>(random() % 4) < density ? 1 : 0);
            f.pixels.push_back(random() % 2 ? t[1 + random() % 3] : codes[random() % 6]);
        }
        const Bytes coded = EncodeFrame(f.pixels.data(), f.opaque.data(), f.width, f.height, f.width, t);
        SCOPED_TRACE(testing::Message() << "frame " << n << ": " << f.width << " x " << f.height);
        if (coded.empty()) {
            ++refused;
            ASSERT_LE(f.width * f.height, 30) << "refused a frame with a coding";
            ASSERT_FALSE(AnyCodingExists(f, t));
        } else {
            ExpectDecodesTo(coded, f, t);
        }
        if (HasFatalFailure()) return;
    }
    EXPECT_LT(refused, 40);  // the collisions exercise the alternatives, not only refusals
}

TEST_F(Dc6EncoderTest, PlainCodingWhereNothingCollides) {
    // 6 x 3, bottom row first: literal run, skip, literal, tail uncoded.
    const std::uint8_t px[] = {0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x21, 0x22, 0x23,
                               0x24, 0x25, 0x26, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36};
    const std::uint8_t op[] = {1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 1, 1, 0, 1, 0, 0};
    const std::uint8_t t[4] = {0x00, 0xEE, 0xEE, 0xEE};
    EXPECT_THAT(EncodeFrame(px, op, 6, 3, 6, t), ElementsAre(0x02, 0x31, 0x32, 0x81, 0x01, 0x34, 0x80,  // bottom row
                                                             0x80,                                      // empty row
                                                             0x06, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x80,  // top row
                                                             0x00, 0xEE, 0xEE, 0xEE));
    EXPECT_THAT(EncodeFrame(nullptr, nullptr, 0, 9, 0, t), ElementsAre(0x80, 0x00, 0xEE, 0xEE, 0xEE));
}

TEST_F(Dc6EncoderTest, RefusesAFrameWhoseRowCanOnlySpellTheEndMarker) {
    // The middle row can only be coded 01 A1 81 01 A3 80: after the bottom
    // row's 0x80 that reads as the end marker A1 81 01.
    const std::uint8_t px[] = {0, 0, 0, 0xA1, 0, 0xA3, 7, 7, 7};
    const std::uint8_t op[] = {0, 0, 0, 1, 0, 1, 1, 1, 1};
    const std::uint8_t t[4] = {0x00, 0xA1, 0x81, 0x01};
    EXPECT_THAT(EncodeFrame(px, op, 3, 3, 3, t), IsEmpty());
}

// A tall column whose transparent top rows can only be left out one by one
// (every coding of them spells the end marker): the search must not start
// over for each. Its work is counted in row codings tried, per row of the
// frame a small constant (the row's variants), whatever the height.
TEST_F(Dc6EncoderTest, WorkStaysLinearInTheFramesHeight) {
    const std::uint8_t t[4] = {0x00, 0x05, 0x80, 0x01};
    for (const std::int32_t height : {500, 65535}) {
        Frame f;
        f.width = 1;
        f.height = height;
        f.pixels.assign(static_cast<std::size_t>(height), 5);
        f.opaque.assign(static_cast<std::size_t>(height), 0);
        for (std::int32_t y = height - 3; y < height; ++y) f.opaque[static_cast<std::size_t>(y)] = 1;
        std::uint64_t codings = 0;
        const Bytes coded = EncodeFrame(f.pixels.data(), f.opaque.data(), 1, height, 1, t, &codings);
        SCOPED_TRACE(testing::Message() << "1 x " << height << ": " << codings << " row codings");
        EXPECT_LE(codings, 120u * static_cast<std::uint64_t>(height));
        if (!coded.empty()) ExpectDecodesTo(coded, f, t);
        RecordProperty("codings" + std::to_string(height), std::to_string(codings));
    }
}

TEST_F(Dc6EncoderTest, WrittenFileReadsBackThroughTheSpriteReader) {
    Dc6File file;
    file.terminator = {0x01, 0xEE, 0xEE, 0xEE};
    file.header4to7 = 0x04050607;
    file.header8to11 = 0x8090A0B0;
    file.header16to19 = 0xFFFFFFFF;
    for (std::int32_t i = 0; i < 2; ++i) {
        Dc6FrameRecord frame;
        frame.width = 3 + i;
        frame.height = 2;
        frame.xOffset = -5 * i;
        frame.yOffset = 7;
        frame.header0to3 = 0xC0DE0000u + static_cast<std::uint32_t>(i);
        frame.header24to27 = 0x24;
        frame.coded = {static_cast<std::uint8_t>(0x81 + i), 0x80, 0x80, 0x01, 0xEE, 0xEE, 0xEE};
        file.frames.push_back(frame);
    }
    MemorySink sink;
    std::string reason;
    ASSERT_TRUE(WriteDc6(sink, file, &reason)) << reason;
    test::CurrentSprite sprite(sink.data);
    ASSERT_EQ(GetFileInfoDC6(), 1);
    EXPECT_THAT(terminator, ElementsAre(0x01, 0xEE, 0xEE, 0xEE));
    EXPECT_EQ(ReadUint32(spriteData + 4), 0x04050607u);
    EXPECT_EQ(ReadUint32(spriteData + 8), 0x8090A0B0u);
    EXPECT_EQ(ReadUint32(spriteData + 16), 0xFFFFFFFFu);
    ASSERT_EQ(blockCount, 2);
    EXPECT_TRUE(separateFrames);
    EXPECT_EQ(frameTable[0], spriteData + 32);  // right after the table
    for (std::int32_t i = 0; i < 2; ++i) {
        SelectFrame(frameTable[i]);
        EXPECT_EQ(frameWidth, 3 + i);
        EXPECT_EQ(frameHeight, 2);
        EXPECT_EQ(ReadInt32(frameTable[i] + 12), -5 * i);
        EXPECT_EQ(ReadUint32(frameTable[i]), 0xC0DE0000u + static_cast<std::uint32_t>(i));
        EXPECT_EQ(ReadUint32(frameTable[i] + 24), 0x24u);
        EXPECT_EQ(Bytes(frameData, frameData + frameLength), file.frames[i].coded);
    }
    EXPECT_EQ(frameData + frameLength, spriteData + spriteSize);
}

TEST_F(Dc6EncoderTest, WriterRefusesWhatTheReaderCannotTake) {
    MemorySink sink;
    std::string reason;
    Dc6File file;
    EXPECT_FALSE(WriteDc6(sink, file, &reason));
    EXPECT_THAT(reason, ::testing::HasSubstr("1 to 12 frames"));
    file.frames.resize(13);
    EXPECT_FALSE(WriteDc6(sink, file, &reason));
    file.frames.resize(2);
    file.frames[1].width = 0x10000;
    EXPECT_FALSE(WriteDc6(sink, file, &reason));
    EXPECT_THAT(reason, ::testing::HasSubstr("frame 1 is 65536 x 0"));
    file.frames[1].width = 0;
    file.frames[0].height = -1;
    EXPECT_FALSE(WriteDc6(sink, file, &reason));
    EXPECT_THAT(sink.data, IsEmpty());
}

}  // namespace
