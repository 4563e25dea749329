#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>

#include "image/png_reader.h"
#include "image/png_writer.h"
#include "tests/support/png_assembler.h"

namespace {

using test::Bytes;
using test::PngChunk;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

// A 6 x 5 image held with a stride of 8 (the two bytes after each row are
// not part of it), every pixel distinct.
constexpr int kWidth = 6, kHeight = 5, kStride = 8;
Bytes SixByFive() {
    Bytes pixels(kStride * kHeight, 0xEE);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) pixels[y * kStride + x] = static_cast<std::uint8_t>(10 * y + x);
    return pixels;
}

// 256 distinct entries, red, green, blue.
Bytes Palette() { return test::PngPalette(256); }

struct ChunkInfo {
    std::string type;
    Bytes data;
};
std::vector<ChunkInfo> Chunks(const Bytes& file) {
    std::vector<ChunkInfo> chunks;
    for (std::size_t at = 8; at + 12 <= file.size();) {
        const std::size_t length =
            static_cast<std::size_t>(file[at]) << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3];
        chunks.push_back({std::string(file.begin() + at + 4, file.begin() + at + 8),
                          Bytes(file.begin() + at + 8, file.begin() + at + 8 + length)});
        at += 12 + length;
    }
    return chunks;
}
std::vector<std::string> Types(const Bytes& file) {
    std::vector<std::string> types;
    for (const ChunkInfo& chunk : Chunks(file)) types.push_back(chunk.type);
    return types;
}

PngRead Read(const Bytes& file, PngPicture* picture, std::string* reason = nullptr) {
    return ReadPng(file.data(), file.size(), picture, reason);
}

// Takes bytes until `limit` in all, then refuses; records the largest write.
class LimitedSink : public ByteSink {
public:
    explicit LimitedSink(std::size_t limit) : limit_(limit) {}
    bool Write(const std::uint8_t* bytes, std::size_t length) override {
        largest = std::max(largest, length);
        if (data.size() + length > limit_) return false;
        data.insert(data.end(), bytes, bytes + length);
        return true;
    }
    Bytes data;
    std::size_t largest = 0;

private:
    std::size_t limit_;
};

// --- the writer, read back ---

TEST(PngWriterTest, IndexedSixByFiveComesBackWithPaletteAndTransparency) {
    const Bytes pixels = SixByFive(), palette = Palette();
    MemorySink sink;
    ASSERT_TRUE(WriteIndexedPng(sink, pixels.data(), kWidth, kHeight, kStride, palette.data(), 3));

    EXPECT_THAT(Types(sink.data), ElementsAre("IHDR", "PLTE", "tRNS", "IDAT", "IEND"));
    const auto chunks = Chunks(sink.data);
    EXPECT_THAT(chunks[0].data, ElementsAre(0, 0, 0, 6, 0, 0, 0, 5,  // width, height
                                            8, 3, 0, 0, 0));         // depth 8, indexed, deflate, filters, no interlace
    EXPECT_THAT(chunks[1].data, ElementsAreArray(palette));
    EXPECT_THAT(chunks[2].data, ElementsAre(255, 255, 255, 0));

    PngPicture picture;
    std::string reason;
    ASSERT_EQ(Read(sink.data, &picture, &reason), PngRead::Decoded) << reason;
    EXPECT_EQ(picture.width, 6);
    EXPECT_EQ(picture.height, 5);
    EXPECT_EQ(picture.colourType, 3);
    EXPECT_FALSE(picture.interlaced);
    EXPECT_EQ(picture.indices, Bytes({0,  1,  2,  3,  4,  5,  10, 11, 12, 13, 14, 15, 20, 21, 22,
                                      23, 24, 25, 30, 31, 32, 33, 34, 35, 40, 41, 42, 43, 44, 45}));
    EXPECT_THAT(picture.paletteRgb, ElementsAreArray(palette));
    Bytes alpha(256, 255);
    alpha[3] = 0;
    EXPECT_THAT(picture.alpha, ElementsAreArray(alpha));

    // Every row is filter None: the raw data is the rows, each after a 0.
    Bytes raw(kHeight * (1 + kWidth)), expected;
    uLongf length = static_cast<uLongf>(raw.size());
    ASSERT_EQ(uncompress(raw.data(), &length, chunks[3].data.data(), static_cast<uLong>(chunks[3].data.size())), Z_OK);
    for (int y = 0; y < kHeight; ++y) {
        expected.push_back(0);
        expected.insert(expected.end(), &pixels[y * kStride], &pixels[y * kStride + kWidth]);
    }
    EXPECT_EQ(raw, expected);

    MemorySink opaque;
    ASSERT_TRUE(WriteIndexedPng(opaque, pixels.data(), kWidth, kHeight, kStride, palette.data(), -1));
    EXPECT_THAT(Types(opaque.data), ElementsAre("IHDR", "PLTE", "IDAT", "IEND"));
}

TEST(PngWriterTest, RgbaTakesPaletteColoursAndClearsTransparentPixels) {
    const Bytes pixels = SixByFive(), palette = Palette();
    Bytes opaque(pixels.size(), 1);
    opaque[1 * kStride + 2] = 0;  // (2, 1)
    opaque[4 * kStride + 5] = 0;  // (5, 4)
    MemorySink sink;
    ASSERT_TRUE(WriteRgbaPng(sink, pixels.data(), opaque.data(), kWidth, kHeight, kStride, palette.data()));
    EXPECT_THAT(Types(sink.data), ElementsAre("IHDR", "IDAT", "IEND"));

    PngPicture picture;
    ASSERT_EQ(Read(sink.data, &picture), PngRead::Decoded);
    EXPECT_EQ(picture.colourType, 6);
    Bytes expected;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const std::uint8_t* entry = &palette[3 * pixels[y * kStride + x]];
            if (opaque[y * kStride + x])
                expected.insert(expected.end(), {entry[0], entry[1], entry[2], 255});
            else
                expected.insert(expected.end(), 4, 0);
        }
    }
    EXPECT_EQ(picture.rgba, expected);
}

TEST(PngWriterTest, LargeImagesAreSentInFullIdatChunksOfFixedSize) {
    // Noise does not compress: about 1.3 MB of data, so five or six chunks.
    const int width = 1100, height = 1200;
    Bytes pixels(static_cast<std::size_t>(width) * height);
    std::mt19937 random(5);
    for (auto& p : pixels) p = static_cast<std::uint8_t>(random());
    const Bytes palette = Palette();
    LimitedSink sink(SIZE_MAX);
    ASSERT_TRUE(WriteIndexedPng(sink, pixels.data(), width, height, width, palette.data(), 0, 1));
    EXPECT_LE(sink.largest, kPngIdatChunk + 12);

    const auto chunks = Chunks(sink.data);
    ASSERT_GE(chunks.size(), 6u);
    for (std::size_t k = 3; k + 2 < chunks.size(); ++k) EXPECT_EQ(chunks[k].data.size(), kPngIdatChunk) << k;
    PngPicture picture;
    ASSERT_EQ(Read(sink.data, &picture), PngRead::Decoded);
    EXPECT_TRUE(picture.indices == pixels);
}

TEST(PngWriterTest, RefusingSinkAndBadArgumentsGiveFalse) {
    const Bytes pixels = SixByFive(), palette = Palette();
    for (std::size_t limit : {0, 30, 850}) {
        LimitedSink sink(limit);
        EXPECT_FALSE(WriteIndexedPng(sink, pixels.data(), kWidth, kHeight, kStride, palette.data(), 1)) << limit;
        Bytes opaque(pixels.size(), 1);
        EXPECT_FALSE(WriteRgbaPng(sink, pixels.data(), opaque.data(), kWidth, kHeight, kStride, palette.data()))
            << limit;
    }
    MemorySink sink;
    EXPECT_FALSE(WriteIndexedPng(sink, pixels.data(), 0, kHeight, kStride, palette.data(), -1));
    EXPECT_FALSE(WriteIndexedPng(sink, pixels.data(), kWidth, -1, kStride, palette.data(), -1));
    EXPECT_FALSE(WriteIndexedPng(sink, pixels.data(), kWidth, kHeight, kStride, palette.data(), 256));
    EXPECT_FALSE(WriteIndexedPng(sink, pixels.data(), kWidth, kHeight, kStride, palette.data(), -1, 10));
    EXPECT_TRUE(sink.data.empty());
}

// --- the reader on files of other writers ---

// A 13 x 11 picture of indices below `entries` (odd sizes leave partial
// bytes at the end of every packed row and empty Adam7 columns).
Bytes Indices(int entries) {
    Bytes samples(13 * 11);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::uint8_t>((i * 7 + i / 13) % entries);
    return samples;
}

Bytes IndexedFile(int depth, bool interlaced, const Bytes& samples, const std::vector<int>& filters) {
    const int entries = 1 << depth;
    const Bytes raw = test::RawImage(samples, 13, 11, depth, interlaced, filters);
    return test::PngFile({PngChunk("IHDR", test::IhdrData(13, 11, depth, 3, interlaced)),
                          PngChunk("PLTE", test::PngPalette(std::min(entries, 256))),
                          PngChunk("IDAT", test::Deflated(raw)), PngChunk("IEND", {})});
}

TEST(PngReaderTest, IndexedAtEveryDepthInterlacedOrNotWithAllFiveFilters) {
    for (int depth : {1, 2, 4, 8}) {
        for (bool interlaced : {false, true}) {
            const Bytes samples = Indices(1 << depth);
            PngPicture picture;
            std::string reason;
            ASSERT_EQ(Read(IndexedFile(depth, interlaced, samples, {0, 1, 2, 3, 4}), &picture, &reason),
                      PngRead::Decoded)
                << depth << " " << interlaced << ": " << reason;
            EXPECT_EQ(picture.bitDepth, depth);
            EXPECT_EQ(picture.interlaced, interlaced);
            EXPECT_TRUE(picture.indices == samples) << depth << " " << interlaced;
            EXPECT_EQ(picture.paletteRgb.size(), 3u * std::min(1 << depth, 256));
            EXPECT_EQ(picture.alpha, Bytes(picture.paletteRgb.size() / 3, 255));
        }
    }
}

TEST(PngReaderTest, RgbaInterlacedWithAllFiveFilters) {
    Bytes samples(13 * 11 * 4);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::uint8_t>(i * 31 + i / 7);
    const Bytes raw = test::RawImage(samples, 13, 11, 32, true, {4, 3, 2, 1, 0});
    const Bytes file = test::PngFile({PngChunk("IHDR", test::IhdrData(13, 11, 8, 6, 1)),
                                      PngChunk("IDAT", test::Deflated(raw)), PngChunk("IEND", {})});
    PngPicture picture;
    ASSERT_EQ(Read(file, &picture), PngRead::Decoded);
    EXPECT_TRUE(picture.rgba == samples);
    EXPECT_TRUE(picture.indices.empty() && picture.paletteRgb.empty());
}

TEST(PngReaderTest, SixteenBitSamplesAreUnsupportedWithWhatTheyAre) {
    for (auto [depth, colourType] : {std::pair{16, 6}, {16, 0}, {16, 2}}) {
        const Bytes file = test::PngFile({PngChunk("IHDR", test::IhdrData(4, 3, depth, colourType)),
                                          PngChunk("IDAT", test::Deflated(Bytes(3, 0))), PngChunk("IEND", {})});
        PngPicture picture;
        std::string reason;
        EXPECT_EQ(Read(file, &picture, &reason), PngRead::Unsupported) << colourType;
        EXPECT_EQ(picture.colourType, colourType);
        EXPECT_EQ(picture.bitDepth, depth);
        EXPECT_FALSE(reason.empty());
    }
}

// Grey (scaled from 2 bits), RGB and grey with alpha come out as RGBA; the
// colour tRNS names has alpha 0.
TEST(PngReaderTest, GreyAndRgbComeOutAsRgbaWithTheirTransparentColour) {
    struct Case {
        int depth, type;
        Bytes raw, trns, rgba;
    };
    const Case cases[] = {
        {2, 0, {0, 0x1B}, {0, 1}, {0, 0, 0, 255, 85, 85, 85, 0, 170, 170, 170, 255, 255, 255, 255, 255}},
        {8,
         2,
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
         {0, 4, 0, 5, 0, 6},
         {1, 2, 3, 255, 4, 5, 6, 0, 7, 8, 9, 255, 10, 11, 12, 255}},
        {8, 4, {0, 9, 0, 8, 255, 7, 1, 6, 128}, {}, {9, 9, 9, 0, 8, 8, 8, 255, 7, 7, 7, 1, 6, 6, 6, 128}},
    };
    for (const Case& c : cases) {
        std::vector<Bytes> chunks = {PngChunk("IHDR", test::IhdrData(4, 1, c.depth, c.type))};
        if (!c.trns.empty()) chunks.push_back(PngChunk("tRNS", c.trns));
        chunks.push_back(PngChunk("IDAT", test::Deflated(c.raw)));
        chunks.push_back(PngChunk("IEND", {}));
        PngPicture picture;
        std::string reason;
        ASSERT_EQ(Read(test::PngFile(chunks), &picture, &reason), PngRead::Decoded) << c.type << ": " << reason;
        EXPECT_EQ(picture.rgba, c.rgba) << c.type;
    }
}

// --- damaged and hostile files ---

Bytes GoodFile() {
    const Bytes pixels = SixByFive(), palette = Palette();
    MemorySink sink;
    WriteIndexedPng(sink, pixels.data(), kWidth, kHeight, kStride, palette.data(), 2);
    return sink.data;
}

TEST(PngReaderTest, EveryCutOfAGoodFileIsRefused) {
    const Bytes file = GoodFile();
    for (std::size_t length = 0; length < file.size(); ++length) {
        PngPicture picture;
        std::string reason;
        const PngRead result = ReadPng(file.data(), length, &picture, &reason);
        EXPECT_EQ(result, length < 8 ? PngRead::NotPng : PngRead::Damaged) << length;
        EXPECT_TRUE(picture.indices.empty() && picture.paletteRgb.empty()) << length;
        EXPECT_FALSE(reason.empty()) << length;
    }
}

TEST(PngReaderTest, NotPngAndCrcErrorsAreNamed) {
    Bytes file = GoodFile();
    PngPicture picture;
    std::string reason;
    Bytes pcx = file;
    pcx[0] = 0x0A;
    EXPECT_EQ(Read(pcx, &picture, &reason), PngRead::NotPng);
    EXPECT_EQ(reason, "not a PNG file");

    file[file.size() - 20] ^= 1;  // inside the IDAT data
    EXPECT_EQ(Read(file, &picture, &reason), PngRead::Damaged);
    EXPECT_EQ(reason, "CRC error in chunk IDAT");
}

// The raw data of a 6 x 5 picture at 8 bits: every row filter None, every index 1.
Bytes RawSixByFive() {
    Bytes raw(5 * 7, 1);
    for (int y = 0; y < 5; ++y) raw[7 * y] = 0;
    return raw;
}

Bytes FileWith(const Bytes& ihdr, const Bytes& idatData, int paletteEntries = 4, const Bytes& extra = {}) {
    std::vector<Bytes> chunks = {PngChunk("IHDR", ihdr)};
    if (paletteEntries > 0) chunks.push_back(PngChunk("PLTE", test::PngPalette(paletteEntries)));
    if (!extra.empty()) chunks.push_back(extra);
    chunks.push_back(PngChunk("IDAT", idatData));
    chunks.push_back(PngChunk("IEND", {}));
    return test::PngFile(chunks);
}

TEST(PngReaderTest, HugeDeclaredSizeWithTinyDataIsRefusedBeforeAllocating) {
    // 65535 x 65535 RGBA would take 17 GB; ten bytes of IDAT can hold 10 KB.
    PngPicture picture;
    std::string reason;
    EXPECT_EQ(Read(FileWith(test::IhdrData(65535, 65535, 8, 6), test::Deflated(Bytes(100, 0)), 0), &picture, &reason),
              PngRead::Damaged);
    EXPECT_THAT(reason, HasSubstr("too short"));
    EXPECT_TRUE(picture.rgba.empty());

    EXPECT_EQ(Read(FileWith(test::IhdrData(65536, 5, 8, 3), test::Deflated(RawSixByFive())), &picture, &reason),
              PngRead::TooLarge);
    EXPECT_EQ(picture.width, 65536);
}

TEST(PngReaderTest, ImageDataOfTheWrongSizeOrContentIsDamaged) {
    const Bytes ihdr = test::IhdrData(6, 5, 8, 3);
    Bytes shortRaw = RawSixByFive(), longRaw = RawSixByFive(), badFilter = RawSixByFive(), badIndex = RawSixByFive();
    shortRaw.pop_back();
    longRaw.push_back(0);
    badFilter[7] = 5;  // the filter byte of row 1
    badIndex[9] = 4;   // row 1, pixel 1: the palette has 4 entries
    Bytes cut = test::Deflated(RawSixByFive());
    cut.resize(cut.size() - 2);  // half the Adler-32
    const struct {
        Bytes idat;
        const char* reason;
    } cases[] = {
        {test::Deflated(shortRaw), "ends early"},
        {test::Deflated(longRaw), "more image data"},
        {cut, "truncated"},
        {test::Deflated(badFilter), "filter type 5"},
        {test::Deflated(badIndex), "pixel index 4 is outside the palette of 4 colours"},
        {Bytes{0x78, 0x9C, 0xFF, 0xFF, 0xFF, 0xFF}, "corrupt"},
    };
    for (const auto& c : cases) {
        PngPicture picture;
        std::string reason;
        EXPECT_EQ(Read(FileWith(ihdr, c.idat), &picture, &reason), PngRead::Damaged) << c.reason;
        EXPECT_THAT(reason, HasSubstr(c.reason));
        EXPECT_TRUE(picture.indices.empty());
    }
}

TEST(PngReaderTest, ChunkOrderAndCountsAreChecked) {
    const Bytes ihdr = test::IhdrData(6, 5, 8, 3);
    const Bytes idat = test::Deflated(RawSixByFive());
    const Bytes iend = PngChunk("IEND", {});
    const struct {
        Bytes file;
        const char* reason;
    } cases[] = {
        {FileWith(ihdr, idat, 0), "no PLTE chunk"},
        {FileWith(ihdr, idat, 4, PngChunk("tRNS", Bytes(5, 0))), "tRNS chunk has more entries"},
        {FileWith(test::IhdrData(6, 5, 2, 3), idat, 5), "PLTE chunk has 5 entries; at most 4"},
        {FileWith(ihdr, idat, 4, PngChunk("PLTE", test::PngPalette(4))), "more than one PLTE"},
        {FileWith(ihdr, idat, 4, PngChunk("QQQQ", {})), "unknown critical chunk QQQQ"},
        {FileWith(test::IhdrData(0, 5, 8, 3), idat), "no pixels"},
        {FileWith(test::IhdrData(6, 5, 3, 3), idat), "colour type or bit depth"},
        {test::PngFile({PngChunk("PLTE", test::PngPalette(4)), PngChunk("IHDR", ihdr), PngChunk("IDAT", idat), iend}),
         "IHDR is not the first"},
        {test::PngFile({PngChunk("IHDR", ihdr), PngChunk("PLTE", test::PngPalette(4)),
                        PngChunk("IDAT", Bytes(idat.begin(), idat.begin() + 5)), PngChunk("tEXt", {'a', 0, 'b'}),
                        PngChunk("IDAT", Bytes(idat.begin() + 5, idat.end())), iend}),
         "not consecutive"},
        {test::PngFile({PngChunk("IHDR", ihdr), PngChunk("PLTE", test::PngPalette(4)), PngChunk("IDAT", idat)}),
         "ends before its IEND"},
    };
    for (const auto& c : cases) {
        PngPicture picture;
        std::string reason;
        EXPECT_EQ(Read(c.file, &picture, &reason), PngRead::Damaged) << c.reason;
        EXPECT_THAT(reason, HasSubstr(c.reason));
    }
}

TEST(PngReaderTest, IdatSplitAnywhereAndAncillaryChunksAreRead) {
    const Bytes idat = test::Deflated(RawSixByFive());
    const Bytes file =
        test::PngFile({PngChunk("IHDR", test::IhdrData(6, 5, 8, 3)), PngChunk("gAMA", {0, 0, 0xB1, 0x8F}),
                       PngChunk("PLTE", test::PngPalette(2)), PngChunk("tRNS", {7}),
                       PngChunk("IDAT", Bytes(idat.begin(), idat.begin() + 3)), PngChunk("IDAT", {}),
                       PngChunk("IDAT", Bytes(idat.begin() + 3, idat.end())), PngChunk("IEND", {})});
    PngPicture picture;
    std::string reason;
    ASSERT_EQ(Read(file, &picture, &reason), PngRead::Decoded) << reason;
    EXPECT_EQ(picture.indices, Bytes(30, 1));
    EXPECT_THAT(picture.alpha, ElementsAre(7, 255));
}

}  // namespace
