// View and the image viewer, driven like a user drives them; what the viewer
// draws is read back from the screen (24 bits under Xvfb, so colours are exact).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/win32.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "convert/frame_placement.h"
#include "ui/program/sprite_conversion.h"
#include "ui/program/current_palette.h"
#include "image/pcx_writer.h"
#include "platform/application_title.h"
#include "res/resource.h"
#include "tests/support/dc6_builder.h"
#include "tests/support/pcx_image.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/program_driver.h"

namespace {

using ::testing::ElementsAre;
using uitest::ProgramRun;

constexpr char kViewerTitle[] = "Image Viewer";

// The client area as it is on the screen, one 0x00RRGGBB value per pixel,
// rows top first.
std::vector<std::uint32_t> ScreenPixels(HWND window) {
    RECT client;
    ::GetClientRect(window, &client);
    const int width = client.right;
    const int height = client.bottom;
    POINT origin = {0, 0};
    ::ClientToScreen(window, &origin);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    if (pixels.empty()) return pixels;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const HDC screen = ::GetDC(nullptr);
    const HDC memory = ::CreateCompatibleDC(screen);
    void* bits = nullptr;
    const HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr) {
        const HGDIOBJ previous = ::SelectObject(memory, bitmap);
        ::BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
        ::GdiFlush();
        std::memcpy(pixels.data(), bits, pixels.size() * sizeof pixels[0]);
        for (std::uint32_t& pixel : pixels) pixel &= 0xFFFFFF;
        ::SelectObject(memory, previous);
        ::DeleteObject(bitmap);
    }
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return pixels;
}

// Each pixel as the palette colour of its index.
std::vector<std::uint32_t> ExpectedPixels(const test::PcxImage& image) {
    std::vector<std::uint32_t> pixels;
    for (std::uint8_t index : image.pixels) {
        const std::uint8_t* rgb = &image.palette.at(3u * index);
        pixels.push_back(std::uint32_t{rgb[0]} << 16 | std::uint32_t{rgb[1]} << 8 | rgb[2]);
    }
    return pixels;
}

// The first pixel that differs, or an empty text.
std::string FirstDifference(const std::vector<std::uint32_t>& shown, const std::vector<std::uint32_t>& wanted,
                            int width) {
    if (shown.size() != wanted.size()) return "sizes differ";
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] == wanted[i]) continue;
        char text[96];
        std::snprintf(text, sizeof text, "(%d, %d) is %06X, not %06X", static_cast<int>(i % width),
                      static_cast<int>(i / width), shown[i], wanted[i]);
        return text;
    }
    return "";
}

class ImageViewerTest : public ::testing::Test {
protected:
    // A sprite file and its image, as Convert leaves them.
    static void Converted(const std::string& stem, int width, int height, int seed) {
        test::WriteFile(stem + ".dc6", test::Dc6Builder().AddRows(test::Picture(width, height, seed)).Build());
        UseBuiltInPalette();
        ReorderPalette();
        EnsureOutputFolder();
        char name[kNameBufferSize] = {};
        std::snprintf(name, sizeof name, "%s.dc6", stem.c_str());
        ASSERT_EQ(ConvertSpriteFile(name), SpriteOutcome::Converted);
    }

    static test::PcxImage ImageOf(const std::string& stem) {
        return test::ReadPcxFile(test::OutputPath(stem + ".pcx"));
    }

    static HWND WaitForViewer(ProgramRun& program) { return program.WaitForWindowOfThread("#32770", kViewerTitle); }

    // The viewer's client area is the image's size and shows it pixel for pixel.
    static void ExpectShows(HWND viewer, const test::PcxImage& image) {
        RECT client;
        ASSERT_TRUE(::GetClientRect(viewer, &client));
        EXPECT_EQ(client.right, image.width);
        EXPECT_EQ(client.bottom, image.height);
        const std::vector<std::uint32_t> wanted = ExpectedPixels(image);
        std::vector<std::uint32_t> shown;
        // Drawn once the viewer has handled its first paint.
        uitest::WaitUntil([&] { return (shown = ScreenPixels(viewer)) == wanted; }, std::chrono::seconds(5));
        EXPECT_EQ(FirstDifference(shown, wanted, image.width), "");
    }

    // Centred over the main window, to the pixel that halving may lose.
    static void ExpectCentredOver(HWND window, HWND owner) {
        RECT inner, outer;
        ::GetWindowRect(window, &inner);
        ::GetWindowRect(owner, &outer);
        EXPECT_NEAR(inner.left + inner.right, outer.left + outer.right, 2);
        EXPECT_NEAR(inner.top + inner.bottom, outer.top + outer.bottom, 2);
    }

    // Selects every entry of the list, so that View walks them all.
    static void SelectAll(ProgramRun& program, int count) {
        program.Click(IDC_SELECT_ALL);
        const std::string title =
            "Kelvane Converter: (" + std::to_string(count) + "/" + std::to_string(count) + " files)";
        ASSERT_TRUE(program.WaitForTitle(title));
    }

    static void ClickCloseBox(ProgramRun& program, HWND viewer) {
        RECT frame;
        ::GetWindowRect(viewer, &frame);
        // The small caption of a tool window, its close box rightmost.
        const POINT box = {frame.right - ::GetSystemMetrics(SM_CXFIXEDFRAME) - ::GetSystemMetrics(SM_CXSMSIZE) / 2,
                           frame.top + ::GetSystemMetrics(SM_CYFIXEDFRAME) + ::GetSystemMetrics(SM_CYSMCAPTION) / 2};
        ASSERT_EQ(::SendMessageA(viewer, WM_NCHITTEST, 0, MAKELPARAM(box.x, box.y)), HTCLOSE);
        program.ClickAt(viewer, box, 1);
    }

    static void ExpectClosed(ProgramRun& program, HWND viewer) {
        ASSERT_TRUE(uitest::WaitUntil([&] { return !::IsWindow(viewer); }));
        ASSERT_TRUE(uitest::WaitUntil([&] { return ::IsWindowEnabled(program.MainWindow()) != FALSE; }));
    }

    test::TempFolder folder;
};

TEST_F(ImageViewerTest, ShowsTheImagePixelForPixelInAClientAreaOfItsSizeEveryTime) {
    // Every palette entry its own colour, and a picture that shows flips and shifts.
    test::Bytes palette(kPaletteSize);
    for (int k = 0; k < 256; ++k) {
        palette[3 * k] = static_cast<std::uint8_t>(k);
        palette[3 * k + 1] = static_cast<std::uint8_t>(255 - k);
        palette[3 * k + 2] = static_cast<std::uint8_t>(k * 37);
    }
    test::Bytes pixels(100 * 60);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; ++x) pixels[y * 100 + x] = static_cast<std::uint8_t>(x * 3 + y * 101);
    test::WriteFile("picture.dc6", test::Dc6Builder().AddRows(test::Picture(2, 2)).Build());
    EnsureOutputFolder();
    ASSERT_TRUE(WritePcx(test::OutputPath("picture.pcx").c_str(), pixels.data(), 100, 60, 100, palette.data()));
    const test::PcxImage image = ImageOf("picture");

    ProgramRun program;
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/1 files)"));
    program.ClickItem(0);
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (1/1 files)"));

    for (WORD closingKey : {VK_ESCAPE, VK_RETURN}) {
        program.Click(IDC_VIEW);
        const HWND viewer = WaitForViewer(program);
        ASSERT_NE(viewer, nullptr);
        EXPECT_EQ(::GetWindow(viewer, GW_OWNER), program.MainWindow());
        EXPECT_FALSE(::IsWindowEnabled(program.MainWindow()));
        ExpectShows(viewer, image);
        ExpectCentredOver(viewer, program.MainWindow());
        program.PressKey(viewer, closingKey);
        ExpectClosed(program, viewer);
    }
    EXPECT_THAT(program.ViewedPaths(), ElementsAre(test::OutputPath("picture.pcx"), test::OutputPath("picture.pcx")));
}

TEST_F(ImageViewerTest, ThreeConvertedEntriesOpenOneViewerAfterAnotherInListOrder) {
    Converted("c", 3, 7, 90);
    Converted("a", 6, 5, 0);
    Converted("B", 9, 4, 40);
    ProgramRun program;
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/3 files)"));
    SelectAll(program, 3);

    program.Click(IDC_VIEW);
    HWND previous = nullptr;
    for (const char* stem : {"a", "B", "c"}) {
        SCOPED_TRACE(stem);
        const HWND viewer = WaitForViewer(program);
        ASSERT_NE(viewer, nullptr);
        ASSERT_NE(viewer, previous);
        if (previous != nullptr) {
            EXPECT_FALSE(::IsWindow(previous));
        }
        ExpectShows(viewer, ImageOf(stem));
        ExpectCentredOver(viewer, program.MainWindow());
        // The three ways to close it, one each.
        if (std::strcmp(stem, "a") == 0) ClickCloseBox(program, viewer);
        if (std::strcmp(stem, "B") == 0) program.PressKey(viewer, VK_ESCAPE);
        if (std::strcmp(stem, "c") == 0) program.PressKey(viewer, VK_RETURN);
        ASSERT_TRUE(uitest::WaitUntil([&] { return !::IsWindow(viewer); }));
        previous = viewer;
    }
    ExpectClosed(program, previous);
    EXPECT_THAT(program.ViewedPaths(),
                ElementsAre(test::OutputPath("a.pcx"), test::OutputPath("B.pcx"), test::OutputPath("c.pcx")));
}

TEST_F(ImageViewerTest, EntriesReadingNoAndVanishedImagesArePassedOverSilently) {
    Converted("a", 6, 5, 0);
    test::WriteFile("b.dc6", test::Dc6Builder().AddRows(test::Picture(6, 5)).Build());
    Converted("c", 6, 5, 0);
    ProgramRun program;
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/3 files)"));
    EXPECT_THAT(program.Column(1), ElementsAre("Yes", "No", "Yes"));
    std::filesystem::remove(test::OutputPath("c.pcx"));
    SelectAll(program, 3);

    program.Click(IDC_VIEW);
    const HWND viewer = WaitForViewer(program);
    ASSERT_NE(viewer, nullptr);
    program.PressKey(viewer, VK_ESCAPE);
    ExpectClosed(program, viewer);
    // Handled only once View has passed over the other two, since no other
    // window can take it.
    ::SendMessageA(program.MainWindow(), WM_NULL, 0, 0);
    EXPECT_EQ(program.FindWindowOfThread("#32770"), nullptr);
    EXPECT_THAT(program.ViewedPaths(), ElementsAre(test::OutputPath("a.pcx")));

    // Only an entry reading No: the click returns with nothing opened.
    program.ClickEmptySpace();
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/3 files)"));
    program.ClickItem(1);
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (1/3 files)"));
    ::SendMessageA(program.Control(IDC_VIEW), BM_CLICK, 0, 0);
    EXPECT_EQ(program.FindWindowOfThread("#32770"), nullptr);
    EXPECT_THAT(program.ViewedPaths(), ElementsAre(test::OutputPath("a.pcx")));
}

TEST_F(ImageViewerTest, OnlyTheSelectionCountedAtTheLastClickIsWalked) {
    Converted("a", 6, 5, 0);
    Converted("b", 6, 5, 0);
    ProgramRun program;
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/2 files)"));
    program.ClickItem(0);
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (1/2 files)"));
    program.PressKey(VK_DOWN, {VK_SHIFT});
    ASSERT_TRUE(uitest::WaitUntil([&] { return program.SelectedItems() == std::vector<int>{0, 1}; }));

    program.Click(IDC_VIEW);
    const HWND viewer = WaitForViewer(program);
    ASSERT_NE(viewer, nullptr);
    program.PressKey(viewer, VK_RETURN);
    ExpectClosed(program, viewer);
    ::SendMessageA(program.MainWindow(), WM_NULL, 0, 0);
    EXPECT_EQ(program.FindWindowOfThread("#32770"), nullptr);
    EXPECT_THAT(program.ViewedPaths(), ElementsAre(test::OutputPath("a.pcx")));
}

TEST_F(ImageViewerTest, ABrokenImageIsReportedThenAnEmptyViewerOfTheTemplateSizeOpens) {
    test::WriteFile("broken.dc6", test::Dc6Builder().AddRows(test::Picture(6, 5)).Build());
    EnsureOutputFolder();
    test::WriteFile(test::OutputPath("broken.pcx"), {0x0A, 0x05, 0x01, 0x08, 0x00, 0x00});
    ProgramRun program;
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/1 files)"));
    program.ClickItem(0);
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (1/1 files)"));

    program.Click(IDC_VIEW);
    const HWND box = program.WaitForWindowOfThread("#32770", platform::ApplicationTitle());
    ASSERT_NE(box, nullptr);
    // MB_OK: one button, no icon; owned by the viewer, not yet shown.
    EXPECT_THAT(ProgramRun::Shown(box), ElementsAre("Button: OK", "Static: Unable to open the PCX file"));
    const HWND owner = ::GetWindow(box, GW_OWNER);
    EXPECT_EQ(uitest::WindowText(owner), kViewerTitle);
    EXPECT_FALSE(::IsWindowVisible(owner));
    ProgramRun::Press(box, IDOK);

    const HWND viewer = WaitForViewer(program);
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer, owner);
    RECT client, templateSize = {0, 0, 85, 97};
    ::GetClientRect(viewer, &client);
    ::MapDialogRect(viewer, &templateSize);
    EXPECT_EQ(client.right, templateSize.right);
    EXPECT_EQ(client.bottom, templateSize.bottom);
    ExpectCentredOver(viewer, program.MainWindow());
    // Nothing of its own drawn: the dialog's ordinary background.
    const COLORREF face = ::GetSysColor(COLOR_3DFACE);
    const std::uint32_t background = GetRValue(face) << 16 | GetGValue(face) << 8 | GetBValue(face);
    const std::vector<std::uint32_t> wanted(static_cast<std::size_t>(client.right) * client.bottom, background);
    std::vector<std::uint32_t> shown;
    uitest::WaitUntil([&] { return (shown = ScreenPixels(viewer)) == wanted; }, std::chrono::seconds(5));
    EXPECT_EQ(FirstDifference(shown, wanted, client.right), "");

    ClickCloseBox(program, viewer);
    ExpectClosed(program, viewer);
}

TEST_F(ImageViewerTest, F1InTheViewerReachesTheHelpAndTheViewerStaysModal) {
    Converted("a", 6, 5, 0);
    ProgramRun program;
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (0/1 files)"));
    program.ClickItem(0);
    ASSERT_TRUE(program.WaitForTitle("Kelvane Converter: (1/1 files)"));
    program.Click(IDC_VIEW);
    const HWND viewer = WaitForViewer(program);
    ASSERT_NE(viewer, nullptr);

    program.PressKey(viewer, VK_F1);
    // No help file in this folder.
    const HWND box = program.WaitForWindowOfThread("#32770", "Kelvane Converter");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(ProgramRun::MessageText(box), "ERROR: Can't Find Help File");
    EXPECT_EQ(program.HelpCommands(), 1);
    // Owned by the viewer: its end must not enable the main window, which
    // would let View or Convert start under the open viewer.
    EXPECT_EQ(::GetWindow(box, GW_OWNER), viewer);
    ProgramRun::Press(box, IDOK);
    ASSERT_TRUE(uitest::WaitUntil([&] { return !::IsWindow(box); }));
    EXPECT_TRUE(uitest::WaitUntil([&] { return ::GetForegroundWindow() == viewer; }));
    EXPECT_FALSE(::IsWindowEnabled(program.MainWindow()));
    program.PressKey(viewer, VK_ESCAPE);
    ExpectClosed(program, viewer);
}

}  // namespace
