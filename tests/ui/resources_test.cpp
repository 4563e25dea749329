// The dialog templates and the icon as they are compiled into the program:
// styles, sizes in dialog units, fonts, control ids, classes and texts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "res/resource.h"

namespace {

using ::testing::ElementsAre;

struct Control {
    DWORD style;
    DWORD exStyle;
    short x, y, width, height;
    DWORD id;
    std::string className;
    std::string text;
};

struct Template {
    DWORD style;
    DWORD exStyle;
    short x, y, width, height;
    std::string caption;
    WORD pointSize;
    std::string font;
    std::vector<Control> controls;
};

// Reads the extended dialog template: a header, then DWORD-aligned items.
class TemplateReader {
public:
    explicit TemplateReader(const BYTE* data) : start_(data), at_(data) {}

    Template Read() {
        Template dialog = {};
        EXPECT_EQ(Word(), 1);       // dlgVer
        EXPECT_EQ(Word(), 0xFFFF);  // signature
        Dword();                    // helpID
        dialog.exStyle = Dword();
        dialog.style = Dword();
        const WORD count = Word();
        dialog.x = Short(), dialog.y = Short(), dialog.width = Short(), dialog.height = Short();
        EXPECT_EQ(NameOrOrdinal(), "");  // no menu
        EXPECT_EQ(NameOrOrdinal(), "");  // the dialog class
        dialog.caption = String();
        if (dialog.style & DS_SETFONT) {
            dialog.pointSize = Word();
            Word(), Byte(), Byte();  // weight, italic, charset
            dialog.font = String();
        }
        for (WORD i = 0; i < count; ++i) {
            Align();
            Control control = {};
            Dword();  // helpID
            control.exStyle = Dword();
            control.style = Dword();
            control.x = Short(), control.y = Short(), control.width = Short(), control.height = Short();
            control.id = Dword();
            control.className = NameOrOrdinal();
            control.text = NameOrOrdinal();
            at_ += Word();  // creation data
            dialog.controls.push_back(control);
        }
        return dialog;
    }

private:
    BYTE Byte() { return *at_++; }
    WORD Word() {
        WORD value;
        std::memcpy(&value, at_, 2);
        at_ += 2;
        return value;
    }
    short Short() { return static_cast<short>(Word()); }
    DWORD Dword() {
        DWORD value;
        std::memcpy(&value, at_, 4);
        at_ += 4;
        return value;
    }
    std::string String() {
        std::string text;
        for (WORD c; (c = Word()) != 0;) text += static_cast<char>(c);
        return text;
    }
    // A string, or an ordinal: the predefined classes by name, others as "#n".
    std::string NameOrOrdinal() {
        WORD first;
        std::memcpy(&first, at_, 2);
        if (first != 0xFFFF) return String();
        Word();
        const WORD ordinal = Word();
        switch (ordinal) {
        case 0x80: return "Button";
        case 0x82: return "Static";
        default: return "#" + std::to_string(ordinal);
        }
    }
    void Align() { at_ = start_ + ((at_ - start_ + 3) & ~3); }

    const BYTE* start_;
    const BYTE* at_;
};

const BYTE* Resource(int id, LPCSTR type) {
    const HMODULE module = ::GetModuleHandleA(nullptr);
    const HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (found == nullptr) return nullptr;
    return static_cast<const BYTE*>(::LockResource(::LoadResource(module, found)));
}

Template ReadTemplate(int id) {
    const BYTE* data = Resource(id, reinterpret_cast<LPCSTR>(RT_DIALOG));
    EXPECT_NE(data, nullptr);
    return data ? TemplateReader(data).Read() : Template{};
}

// Window classes are named in any letter case.
std::string Upper(std::string name) {
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

// Every control is a visible child; these are the rest of its style.
DWORD OwnStyle(const Control& control) { return control.style & ~(WS_CHILD | WS_VISIBLE); }

TEST(ResourcesTest, MainWindowTemplate) {
    const Template dialog = ReadTemplate(IDD_MAIN_WINDOW);
    EXPECT_EQ(dialog.style, static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT));
    EXPECT_EQ(dialog.exStyle, static_cast<DWORD>(WS_EX_APPWINDOW));
    EXPECT_EQ(dialog.width, 246);
    EXPECT_EQ(dialog.height, 210);
    EXPECT_EQ(dialog.caption, "Kelvane Convert");
    EXPECT_EQ(dialog.font, "MS Sans Serif");
    EXPECT_EQ(dialog.pointSize, 8);

    ASSERT_EQ(dialog.controls.size(), 8u);
    std::vector<DWORD> ids;
    for (const Control& control : dialog.controls) {
        ids.push_back(control.id);
        EXPECT_EQ(control.style & (WS_CHILD | WS_VISIBLE), static_cast<DWORD>(WS_CHILD | WS_VISIBLE)) << control.id;
        EXPECT_EQ(control.exStyle, 0u) << control.id;
    }
    // Tab order is template order.
    EXPECT_THAT(ids, ElementsAre(IDOK, IDCANCEL, IDC_FILE_LIST, IDC_BROWSE, IDC_SELECT_ALL, IDC_NO_ERRORS,
                                 static_cast<DWORD>(IDC_STATIC), IDC_VIEW));

    const auto expect = [](const Control& control, const char* className, const char* text, DWORD style, short x, short y,
                           short width, short height) {
        SCOPED_TRACE(control.id);
        EXPECT_EQ(Upper(control.className), Upper(className));
        EXPECT_EQ(control.text, text);
        EXPECT_EQ(OwnStyle(control), style);
        EXPECT_EQ(control.x, x);
        EXPECT_EQ(control.y, y);
        EXPECT_EQ(control.width, width);
        EXPECT_EQ(control.height, height);
    };
    const std::vector<Control>& c = dialog.controls;
    expect(c[0], "Button", "&Convert", BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED, 101, 178, 43, 14);
    expect(c[1], "Button", "&Quit", BS_PUSHBUTTON | WS_TABSTOP, 195, 178, 43, 14);
    expect(c[2], "SysListView32", "",
           LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SORTASCENDING | LVS_ALIGNLEFT | WS_BORDER | WS_TABSTOP, 7, 7, 231, 166);
    expect(c[3], "Button", "&Browse", BS_DEFPUSHBUTTON | WS_TABSTOP, 7, 178, 43, 14);
    expect(c[4], "Button", "Select &All", BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED, 54, 178, 43, 14);
    expect(c[5], "Button", "Do not show &errors", BS_AUTOCHECKBOX | WS_TABSTOP, 7, 196, 75, 10);
    expect(c[6], "Static", "Press F1 for help", SS_LEFT | WS_GROUP, 184, 196, 54, 8);
    expect(c[7], "Button", "&View", BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED, 148, 178, 43, 14);
}

TEST(ResourcesTest, ProgressWindowTemplate) {
    const Template dialog = ReadTemplate(IDD_PROGRESS_WINDOW);
    // A top-level window that is neither a popup nor a child, hidden when made.
    EXPECT_EQ(dialog.style, static_cast<DWORD>(WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT));
    EXPECT_EQ(dialog.exStyle, static_cast<DWORD>(WS_EX_TOOLWINDOW));
    EXPECT_EQ(dialog.width, 186);
    EXPECT_EQ(dialog.height, 42);
    EXPECT_EQ(dialog.caption, "Working...");
    EXPECT_EQ(dialog.font, "MS Sans Serif");
    EXPECT_EQ(dialog.pointSize, 8);

    ASSERT_EQ(dialog.controls.size(), 2u);
    const Control& bar = dialog.controls[0];
    EXPECT_EQ(bar.id, static_cast<DWORD>(IDC_PROGRESS_BAR));
    EXPECT_EQ(Upper(bar.className), "MSCTLS_PROGRESS32");
    EXPECT_EQ(OwnStyle(bar), static_cast<DWORD>(WS_BORDER));  // segmented, horizontal, no tab stop
    EXPECT_THAT((std::vector<short>{bar.x, bar.y, bar.width, bar.height}), ElementsAre(7, 23, 172, 12));
    const Control& status = dialog.controls[1];
    EXPECT_EQ(status.id, static_cast<DWORD>(IDC_STATUS_TEXT));
    EXPECT_EQ(Upper(status.className), "STATIC");
    EXPECT_EQ(status.text, "");
    EXPECT_EQ(OwnStyle(status), static_cast<DWORD>(SS_LEFT | SS_CENTERIMAGE | SS_SUNKEN | WS_GROUP));
    EXPECT_THAT((std::vector<short>{status.x, status.y, status.width, status.height}), ElementsAre(7, 7, 172, 12));
}

TEST(ResourcesTest, ImageViewerTemplate) {
    const Template dialog = ReadTemplate(IDD_IMAGE_VIEWER);
    EXPECT_EQ(dialog.style, 0x80C80040u);
    EXPECT_EQ(dialog.exStyle, 0x280u);
    EXPECT_THAT((std::vector<short>{dialog.x, dialog.y, dialog.width, dialog.height}), ElementsAre(0, 0, 85, 97));
    EXPECT_EQ(dialog.caption, "Image Viewer");
    EXPECT_EQ(dialog.font, "MS Sans Serif");
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_TRUE(dialog.controls.empty());
}

TEST(ResourcesTest, TheIconHasA32And16PixelImageOf16ColoursEach) {
#pragma pack(push, 2)
    struct Entry {
        BYTE width, height, colours, reserved;
        WORD planes, bitCount;
        DWORD bytes;
        WORD id;
    };
#pragma pack(pop)
    const BYTE* group = Resource(IDI_APPLICATION_ICON, reinterpret_cast<LPCSTR>(RT_GROUP_ICON));
    ASSERT_NE(group, nullptr);
    WORD count;
    std::memcpy(&count, group + 4, 2);
    ASSERT_EQ(count, 2);
    std::vector<std::string> images;
    for (WORD i = 0; i < count; ++i) {
        Entry entry;
        std::memcpy(&entry, group + 6 + i * sizeof(Entry), sizeof entry);
        images.push_back(std::to_string(entry.width) + "x" + std::to_string(entry.height) + " " +
                         std::to_string(entry.colours) + " colours " + std::to_string(entry.bitCount) + " bits");
    }
    EXPECT_THAT(images, ElementsAre("32x32 16 colours 4 bits", "16x16 16 colours 4 bits"));

    const HICON small = static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_APPLICATION_ICON),
                                                         IMAGE_ICON, 16, 16, 0));
    EXPECT_NE(small, nullptr);
    if (small != nullptr) ::DestroyIcon(small);
}

}  // namespace
