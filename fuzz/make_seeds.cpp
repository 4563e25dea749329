// Writes the seed corpus of the fuzz targets into FOLDER/<target>/: small
// files made by our own code that reach every branch of the readers, so the
// fuzzers start from well-formed input and mutate from there.
//
//   make_seeds FOLDER
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "convert/manifest.h"
#include "image/palette.h"
#include "image/palette_files.h"
#include "image/pcx_writer.h"
#include "image/png_writer.h"
#include "tests/support/dc6_builder.h"
#include "tests/support/png_assembler.h"
#include "tests/support/temp_folder.h"

namespace {

using test::Bytes;
using test::Dc6Builder;
using test::Dc6Frame;
using test::kSkip;
using test::PixelRows;
using test::Terminator;

// A picture with transparent holes and a long row, so that the coding uses
// skip runs, literal runs, split runs (over 127 pixels) and uncoded tails.
PixelRows Holey(int width, int height, int seed) {
    PixelRows rows = test::Picture(width, height, seed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if ((x + 2 * y) % 5 == 0 || x >= width - y) rows[y][x] = kSkip;
    return rows;
}

// A frame whose coded data is given byte by byte.
Dc6Frame Coded(std::int32_t width, std::int32_t height, Bytes coded, std::int32_t xOffset = 0) {
    Dc6Frame frame;
    frame.width = width;
    frame.height = height;
    frame.xOffset = xOffset;
    frame.coded = std::move(coded);
    return frame;
}

void WriteDc6Seeds(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    auto seed = [&](const char* name, const Bytes& file) { test::WriteFile(folder / name, file); };

    // Stitched mode: one frame, odd sizes, every code kind of a plain picture.
    seed("one-pixel.dc6", Dc6Builder().AddRows(test::Picture(1, 1, 0xC0)).Build());
    seed("odd-picture.dc6", Dc6Builder().AddRows(Holey(7, 5, 3)).Build());
    seed("long-rows.dc6", Dc6Builder().AddRows(Holey(300, 3, 9)).Build());
    seed("empty-frame.dc6", Dc6Builder().AddRows({}).Build());
    // Rows of 256-wide tiles, a narrower last tile, and a frame taller than
    // its row (which the canvas must clip).
    seed("tiles.dc6", Dc6Builder()
                          .AddRows(test::Picture(256, 2, 1))
                          .AddRows(test::Picture(256, 1, 2))
                          .AddRows(test::Picture(3, 2, 3))
                          .AddRows(test::Picture(255, 1, 4))
                          .AddRows(test::Picture(256, 3, 5))
                          .AddRows(test::Picture(10, 1, 6))
                          .Build());
    {
        Dc6Builder twelve;
        for (int i = 0; i < 12; ++i) twelve.AddRows(test::Picture(i % 4 == 3 ? 5 : 256, 1 + i / 4, i));
        seed("twelve-frames.dc6", twelve.Build());
    }
    // Separate mode: an offset on one frame, negative on another.
    seed("separate.dc6",
         Dc6Builder().AddRows(Holey(6, 5, 1)).AddRows(Holey(3, 4, 2), 0, -7).AddRows(Holey(9, 2, 3), 12, 0).Build());

    // The decoder's faults: a zero code byte, literal and skip runs past the
    // row's end, more rows than the frame has, a frame coded without a
    // terminator and running to the end of the file.
    seed("zero-byte.dc6",
         Dc6Builder()
             .Add(Coded(4, 2, {0x02, 0x11, 0x00, 0x12, 0x80, 0x81, 0x01, 0x13, 0x80, 0, 0xEE, 0xEE, 0xEE}))
             .Build());
    seed("literal-overrun.dc6",
         Dc6Builder().Add(Coded(3, 1, {0x05, 1, 2, 3, 4, 5, 0x80, 0, 0xEE, 0xEE, 0xEE})).Build());
    seed("skip-overrun.dc6",
         Dc6Builder().Add(Coded(4, 1, {0x82, 0x85, 0x01, 0x09, 0x80, 0, 0xEE, 0xEE, 0xEE})).Build());
    seed("extra-rows.dc6", Dc6Builder().Add(Coded(2, 1, {0x01, 7, 0x80, 0x01, 8, 0x80, 0x01, 9, 0x80})).Build());
    seed("unterminated.dc6", Dc6Builder().Add(Coded(5, 3, {0x03, 1, 2, 3, 0x80, 0x83, 0x02})).Build());

    // Terminators other than the usual: the end test looks 2 to 4 bytes past
    // the end-of-row code, not 1 to 3.
    const Terminator odd = {0x00, 0xA1, 0xA2, 0xA3};
    seed("terminator-ends.dc6",
         Dc6Builder().Terminate(odd).Add(Coded(2, 2, {0x01, 5, 0x80, 0x00, 0xA1, 0xA2, 0xA3, 0x01, 6})).Build());
    seed("terminator-continues.dc6",
         Dc6Builder().Terminate(odd).Add(Coded(2, 2, {0x01, 5, 0x80, 0xA1, 0xA2, 0xA3, 0x00, 0x80})).Build());
    seed("terminator-fill.dc6",
         Dc6Builder().Terminate({0x12, 0x34, 0x56, 0x78}).AddRows(Holey(5, 4, 8)).AddRows(Holey(4, 2, 9)).Build());

    // Headers that the reader refuses or trims.
    seed("version-5.dc6", Dc6Builder().Version(5).AddRows(test::Picture(2, 2)).Build());
    seed("thirteen-blocks.dc6", Dc6Builder().BlockCount(13).AddRows(test::Picture(2, 2)).Build());
    seed("frame-outside.dc6", Dc6Builder().FrameOffsets({0x7FFFFFF0}).AddRows(test::Picture(2, 2)).Build());
    seed("shared-frame.dc6", Dc6Builder().BlockCount(3).FrameOffsets({36, 36, 36}).AddRows(Holey(4, 3, 1)).Build());
    {
        Dc6Frame longer = test::FrameFromRows(Holey(4, 4, 2));
        longer.codedLength = 0x10000000;
        seed("coded-past-end.dc6", Dc6Builder().Add(longer).Build());
    }
    {
        Dc6Frame wide = test::FrameFromRows(test::Picture(3, 2, 4));
        wide.width = 0x10000;
        seed("too-wide.dc6", Dc6Builder().Add(wide).AddRows(test::Picture(2, 2, 5), 1, 1).Build());
        Dc6Frame negative = test::FrameFromRows(test::Picture(3, 2, 6));
        negative.height = -2;
        seed("negative-height.dc6", Dc6Builder().Add(negative).AddRows(test::Picture(2, 2, 7)).Build());
    }
}

// Writes a width x height image of distinct values (some with both top bits
// set, so that they are coded with a prefix) and returns the file's bytes.
Bytes WritePicture(const std::filesystem::path& path, int width, int height, int seed) {
    Bytes pixels(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(seed + 37 * i);
    if (!WritePcx(path.string().c_str(), pixels.data(), width, height, width, builtInPalette)) {
        std::fprintf(stderr, "make_seeds: cannot write %s\n", path.string().c_str());
        std::exit(1);
    }
    return test::ReadFile(path);
}

void WritePcxSeeds(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    // The writer's own files, of odd sizes, and the empty ones earlier
    // versions wrote for frames without pixels (xmax or ymax 0xFFFF).
    WritePicture(folder / "one-pixel.pcx", 1, 1, 0xFF);
    WritePicture(folder / "five-by-two.pcx", 5, 2, 1);
    WritePicture(folder / "tall.pcx", 1, 9, 0xC0);
    WritePicture(folder / "eight-wide.pcx", 8, 3, 7);
    Bytes empty = WritePicture(folder / "no-width.pcx", 1, 1, 0);
    empty.erase(empty.begin() + 128);  // the one pixel
    empty[8] = empty[9] = 0xFF;        // xmax
    empty[66] = empty[67] = 0;         // bytes per line
    test::WriteFile(folder / "no-width.pcx", empty);
    const Bytes picture = WritePicture(folder / "picture.pcx", 13, 7, 3);

    // The same picture changed where other writers differ or files go wrong.
    auto variant = [&](const char* name, auto change) {
        Bytes file = picture;
        change(file);
        test::WriteFile(folder / name, file);
    };
    const std::size_t data = kPcxHeaderSize;
    variant("runs.pcx", [&](Bytes& f) {  // a run of three, a run of one, the 0xC0 literal
        f[data] = 0xC3;
        f[data + 1] = 0x07;
        f[data + 2] = 0xC0;
    });
    variant("run-past-row.pcx", [&](Bytes& f) { f[data + 11] = 0xFF; });
    variant("wider-lines.pcx", [&](Bytes& f) { f[66] = 14; });
    variant("window-offset.pcx", [&](Bytes& f) {
        f[4] = 2;     // xmin
        f[6] = 0xFF;  // ymin -1
        f[7] = 0xFF;
    });
    variant("no-marker.pcx", [&](Bytes& f) { f[f.size() - kPaletteSize - 1] = 0x0B; });
    variant("cut-in-data.pcx", [&](Bytes& f) { f.resize(data + 40); });
    variant("cut-in-palette.pcx", [&](Bytes& f) { f.resize(f.size() - 100); });
    variant("three-planes.pcx", [&](Bytes& f) { f[65] = 3; });
    variant("four-bits.pcx", [&](Bytes& f) { f[3] = 4; });
    variant("header-only.pcx", [&](Bytes& f) { f.resize(data); });
}

// The PNG writer's own files (indexed with and without tRNS, RGBA), and
// files of other writers made by hand: every depth below 8, Adam7, all
// five filters, IDAT split in pieces.
void WritePngSeeds(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    std::uint8_t paletteRgb[kPaletteSize];
    std::memcpy(paletteRgb, builtInPalette, kPaletteSize);
    const int width = 11, height = 7;
    Bytes pixels(static_cast<std::size_t>(width) * height), opaque(pixels.size());
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<std::uint8_t>(i % 9 < 5 ? 0 : 40 + i % 3);  // runs of a few colours on index 0
        opaque[i] = pixels[i] != 0;
    }
    auto written = [&](const char* name, auto write) {
        MemorySink sink;
        if (!write(sink)) {
            std::fprintf(stderr, "make_seeds: cannot write %s\n", name);
            std::exit(1);
        }
        test::WriteFile(folder / name, sink.data);
    };
    written("indexed.png",
            [&](ByteSink& sink) { return WriteIndexedPng(sink, pixels.data(), width, height, width, paletteRgb, -1); });
    written("indexed-trns.png",
            [&](ByteSink& sink) { return WriteIndexedPng(sink, pixels.data(), width, height, width, paletteRgb, 0); });
    written("indexed-trns-40.png", [&](ByteSink& sink) {
        return WriteIndexedPng(sink, pixels.data(), width, height, width, paletteRgb, 40, 9);
    });
    written("rgba.png", [&](ByteSink& sink) {
        return WriteRgbaPng(sink, pixels.data(), opaque.data(), width, height, width, paletteRgb);
    });
    written("one-pixel.png",
            [&](ByteSink& sink) { return WriteIndexedPng(sink, pixels.data(), 1, 1, 1, paletteRgb, -1, 0); });

    using test::PngChunk;
    for (int depth : {1, 2, 4, 8}) {
        for (int interlace : {0, 1}) {
            Bytes samples(static_cast<std::size_t>(width) * height);
            for (std::size_t i = 0; i < samples.size(); ++i)
                samples[i] = static_cast<std::uint8_t>((i * 5) % (1 << depth));
            const Bytes idat =
                test::Deflated(test::RawImage(samples, width, height, depth, interlace, {0, 1, 2, 3, 4}));
            const Bytes half(idat.begin(), idat.begin() + static_cast<std::ptrdiff_t>(idat.size() / 2));
            const Bytes rest(idat.begin() + static_cast<std::ptrdiff_t>(idat.size() / 2), idat.end());
            const std::string name = "depth" + std::to_string(depth) + (interlace ? "-adam7" : "") + ".png";
            test::WriteFile(folder / name,
                            test::PngFile({PngChunk("IHDR", test::IhdrData(width, height, depth, 3, interlace)),
                                           PngChunk("PLTE", test::PngPalette(std::min(1 << depth, 256))),
                                           PngChunk("tRNS", {0, 128}), PngChunk("IDAT", half), PngChunk("IDAT", rest),
                                           PngChunk("IEND", {})}));
        }
    }
    Bytes rgba(static_cast<std::size_t>(width) * height * 4);
    for (std::size_t i = 0; i < rgba.size(); ++i) rgba[i] = static_cast<std::uint8_t>(i * 13);
    test::WriteFile(
        folder / "rgba-adam7.png",
        test::PngFile({PngChunk("IHDR", test::IhdrData(width, height, 8, 6, 1)),
                       PngChunk("IDAT", test::Deflated(test::RawImage(rgba, width, height, 32, true, {4, 3, 2, 1, 0}))),
                       PngChunk("IEND", {})}));
    test::WriteFile(folder / "rgb.png",
                    test::PngFile({PngChunk("IHDR", test::IhdrData(2, 2, 8, 2)),
                                   PngChunk("IDAT", test::Deflated(Bytes(14, 0))), PngChunk("IEND", {})}));
}

void WritePaletteSeeds(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    std::uint8_t rgb[kPaletteSize];
    for (std::size_t i = 0; i < kPaletteSize; ++i) rgb[i] = static_cast<std::uint8_t>(i * 7);
    for (const char* name : {"export.gpl", "export.pal", "export.act"}) {
        PaletteFormat format;
        PaletteFormatForName(name, &format);
        MemorySink sink;
        WritePaletteFile(sink, format, rgb);
        test::WriteFile(folder / name, sink.data);
    }
    test::WriteFile(folder / "raw.pal", Bytes(builtInPalette, builtInPalette + kPaletteSize));
    Bytes counted(rgb, rgb + kPaletteSize);
    counted.insert(counted.end(), {0x00, 0x10, 0x00, 0x03});
    test::WriteFile(folder / "counted.act", counted);
    const std::string gimp = "\xEF\xBB\xBFGIMP Palette\r\nName: x\r\nColumns: 3\r\n# c\r\n\r\n 1 2 3\tred\r\n4 5 6\r\n";
    test::WriteFile(folder / "bom.gpl", Bytes(gimp.begin(), gimp.end()));
    const std::string jasc = "JASC-PAL\n0100\n2\n1 2 3\n4 5 6\n\n";
    test::WriteFile(folder / "short.pal", Bytes(jasc.begin(), jasc.end()));
    Bytes riff = {'R', 'I', 'F', 'F', 28,  0,  0, 0, 'P', 'A',  'L',  ' ', 'L', 'I', 'S', 'T', 1, 0,  0,  0,  'x',
                  0,   'd', 'a', 't', 'a', 12, 0, 0, 0,   0x00, 0x03, 2,   0,   10,  20,  30,  0, 40, 50, 60, 0};
    riff[4] = static_cast<std::uint8_t>(riff.size() - 8);
    test::WriteFile(folder / "riff.pal", riff);
}

// Manifests as the converter writes them: both layouts, one and twelve
// frames, frames without an image, values at the edges of their ranges.
void WriteManifestSeeds(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    auto seed = [&](const char* name, const SpriteManifest& manifest) {
        const std::string text = ManifestToJson(manifest);
        test::WriteFile(folder / name, Bytes(text.begin(), text.end()));
    };
    SpriteManifest stitched;
    stitched.version = "1.0.0";
    stitched.image = "walk.png";
    stitched.imageWidth = 296;
    stitched.imageHeight = 30;
    stitched.sprite = "walk.dc6";
    stitched.terminator = {0xEE, 0xEE, 0xEE, 0xEE};
    for (int i = 0; i < 2; ++i) {
        FrameEntry frame;
        frame.filename = "walk.png";
        frame.x = 256 * i;
        frame.width = i == 0 ? 256 : 40;
        frame.height = 30;
        stitched.frames.push_back(frame);
    }
    seed("stitched.json", stitched);

    SpriteManifest separate = stitched;
    separate.layout = ManifestLayout::kSeparate;
    separate.format = ManifestImageFormat::kRgba;
    separate.image = "run0.png";
    separate.sprite = "run.dc6";
    separate.palette = "game.gpl";
    separate.transparentIndex = 0;
    separate.header4to7 = 0xFFFFFFFF;
    separate.frames.clear();
    for (int i = 0; i < 12; ++i) {
        FrameEntry frame;
        if (i != 5) frame.filename = "run" + std::to_string(i) + ".png";
        frame.width = i == 5 ? 0 : 1 + i;
        frame.height = 65535 - i;
        frame.xOffset = i % 2 == 0 ? -2147483647 - 1 : 12;
        frame.yOffset = -i;
        frame.header0to3 = static_cast<std::uint32_t>(i);
        frame.header24to27 = 0xFFFFFFFF;
        frame.transparentIndex = static_cast<std::uint8_t>(255 - i);
        separate.frames.push_back(frame);
    }
    seed("separate-twelve.json", separate);

    SpriteManifest none = stitched;
    none.image.reset();
    none.imageWidth = none.imageHeight = 0;
    none.frames.resize(1);
    none.frames[0].filename.reset();
    none.frames[0].width = 0;
    seed("no-image.json", none);
}

// Manifests joined with their images and original sprite, as the pack
// target takes them: converted by hand here from one small sprite.
void WritePackSeeds(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    const int width = 11, height = 7;
    Bytes pixels(static_cast<std::size_t>(width) * height), opaque(pixels.size());
    PixelRows rows(height, std::vector<int>(width));
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<std::uint8_t>(i % 9 < 3 ? 0 : 40 + i % 3);
        rows[i / width][i % width] = pixels[i] == 0 ? kSkip : pixels[i];
    }
    std::uint8_t paletteRgb[kPaletteSize];
    for (std::size_t i = 0; i < 256; ++i)
        for (std::size_t c = 0; c < 3; ++c) paletteRgb[3 * i + c] = builtInPalette[3 * i + 2 - c];
    MemorySink png, pcx;
    WriteIndexedPng(png, pixels.data(), width, height, width, paletteRgb, 0);
    EncodePcx(pcx, pixels.data(), width, height, width, paletteRgb);
    const Bytes sprite = Dc6Builder().AddRows(rows, 0, 0).AddRows(rows, 3, 1).Build();

    SpriteManifest manifest;
    manifest.version = "1.1.0";
    manifest.image = "a.png";
    manifest.imageWidth = width;
    manifest.imageHeight = height;
    manifest.sprite = "s.dc6";
    manifest.layout = ManifestLayout::kSeparate;
    manifest.terminator = {0xEE, 0xEE, 0xEE, 0xEE};
    manifest.transparency = true;
    manifest.paletteRgb.emplace();
    std::memcpy(manifest.paletteRgb->data(), paletteRgb, kPaletteSize);
    for (const char* image : {"a.png", "b.pcx"}) {
        FrameEntry frame;
        frame.filename = image;
        frame.width = width;
        frame.height = height;
        frame.transparentIndex = 0;
        manifest.frames.push_back(frame);
    }
    auto seed = [&](const char* name, const SpriteManifest& m, const std::vector<Bytes>& files) {
        const std::string text = ManifestToJson(m);
        Bytes joined(text.begin(), text.end());
        for (const Bytes& file : files) {
            joined.insert(joined.end(), "\n#KVPART\n", "\n#KVPART\n" + 9);
            joined.insert(joined.end(), file.begin(), file.end());
        }
        test::WriteFile(folder / name, joined);
    };
    seed("separate.json", manifest, {png.data, pcx.data, sprite});
    SpriteManifest sheet = manifest;
    sheet.layout = ManifestLayout::kStitched;
    sheet.paletteRgb.reset();
    sheet.imageWidth = width;
    sheet.frames[1].filename = "a.png";
    sheet.frames[1].x = 5;
    sheet.frames[1].width = 6;
    sheet.frames[1].height = 3;
    seed("sheet.json", sheet, {png.data});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder(argv[1]);
    WriteDc6Seeds(folder / "dc6_fuzzer");
    WritePcxSeeds(folder / "pcx_reader_fuzzer");
    WritePngSeeds(folder / "png_reader_fuzzer");
    WritePaletteSeeds(folder / "palette_file_fuzzer");
    WriteManifestSeeds(folder / "manifest_fuzzer");
    WritePackSeeds(folder / "pack_fuzzer");
    return 0;
}
