// The dialog templates and the icon as they are compiled into the program:
// styles, window sizes in dialog units, fonts, control ids, classes, texts,
// and the layout of the controls as a user sees it.
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
            case 0x80:
                return "Button";
            case 0x82:
                return "Static";
            default:
                return "#" + std::to_string(ordinal);
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

// Every control lies wholly inside the dialog's client area, and no two of
// them cover a common point: none is hidden behind another or cut off.
void ExpectInsideAndApart(const Template& dialog) {
    for (std::size_t i = 0; i < dialog.controls.size(); ++i) {
        const Control& a = dialog.controls[i];
        SCOPED_TRACE(a.text.empty() ? std::to_string(a.id) : a.text);
        EXPECT_GT(a.width, 0);
        EXPECT_GT(a.height, 0);
        EXPECT_GE(a.x, 0);
        EXPECT_GE(a.y, 0);
        EXPECT_LE(a.x + a.width, dialog.width);
        EXPECT_LE(a.y + a.height, dialog.height);
        for (std::size_t j = i + 1; j < dialog.controls.size(); ++j) {
            const Control& b = dialog.controls[j];
            const bool apart =
                a.x + a.width <= b.x || b.x + b.width <= a.x || a.y + a.height <= b.y || b.y + b.height <= a.y;
            EXPECT_TRUE(apart) << "overlaps " << (b.text.empty() ? std::to_string(b.id) : b.text);
        }
    }
}

// Every control is a visible child; these are the rest of its style.
DWORD OwnStyle(const Control& control) { return control.style & ~(WS_CHILD | WS_VISIBLE); }

TEST(ResourcesTest, MainWindowTemplate) {
    const Template dialog = ReadTemplate(IDD_MAIN_WINDOW);
    EXPECT_EQ(dialog.style,
              static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT));
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

    const auto expect = [](const Control& control, const char* className, const char* text, DWORD style) {
        SCOPED_TRACE(control.id);
        EXPECT_EQ(Upper(control.className), Upper(className));
        EXPECT_EQ(control.text, text);
        EXPECT_EQ(OwnStyle(control), style);
    };
    const std::vector<Control>& c = dialog.controls;
    expect(c[0], "Button", "&Convert", BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED);
    expect(c[1], "Button", "&Quit", BS_PUSHBUTTON | WS_TABSTOP);
    expect(c[2], "SysListView32", "",
           LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SORTASCENDING | LVS_ALIGNLEFT | WS_BORDER | WS_TABSTOP);
    expect(c[3], "Button", "&Browse", BS_DEFPUSHBUTTON | WS_TABSTOP);
    expect(c[4], "Button", "Select &All", BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED);
    expect(c[5], "Button", "Do not show &errors", BS_AUTOCHECKBOX | WS_TABSTOP);
    expect(c[6], "Static", "Press F1 for help", SS_LEFT | WS_GROUP);
    expect(c[7], "Button", "&View", BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED);

    // The layout a user sees: every control inside the window and apart from
    // the others; the list on top, as wide as the window's inner width; under
    // it one row of five buttons of one size, left to right Browse, Select
    // All, Convert, View, Quit; the check box and the help line below them,
    // the one at the left, the other at the right edge.
    ExpectInsideAndApart(dialog);
    const Control& list = c[2];
    for (const Control& control : c) {
        if (&control == &list) continue;
        EXPECT_GE(control.y, list.y + list.height) << control.id << " is not below the list";
    }
    const std::vector<const Control*> row = {&c[3], &c[4], &c[0], &c[7], &c[1]};
    for (std::size_t i = 1; i < row.size(); ++i) {
        SCOPED_TRACE(row[i]->text);
        EXPECT_EQ(row[i]->y, row[0]->y);
        EXPECT_EQ(row[i]->width, row[0]->width);
        EXPECT_EQ(row[i]->height, row[0]->height);
        EXPECT_GT(row[i]->x, row[i - 1]->x + row[i - 1]->width);
    }
    EXPECT_EQ(row.front()->x, list.x);
    EXPECT_EQ(row.back()->x + row.back()->width, list.x + list.width);
    for (const Control* line : {&c[5], &c[6]}) EXPECT_GE(line->y, row[0]->y + row[0]->height) << line->text;
    EXPECT_EQ(c[5].x, list.x);
    EXPECT_EQ(c[6].x + c[6].width, list.x + list.width);
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

    const Control& status = dialog.controls[1];
    EXPECT_EQ(status.id, static_cast<DWORD>(IDC_STATUS_TEXT));
    EXPECT_EQ(Upper(status.className), "STATIC");
    EXPECT_EQ(status.text, "");
    EXPECT_EQ(OwnStyle(status), static_cast<DWORD>(SS_LEFT | SS_CENTERIMAGE | SS_SUNKEN | WS_GROUP));
    // The status line above the bar, both as wide as the window's inner width.
    ExpectInsideAndApart(dialog);
    EXPECT_LE(status.y + status.height, bar.y);
    EXPECT_EQ(status.x, bar.x);
    EXPECT_EQ(status.width, bar.width);
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

    const HICON small = static_cast<HICON>(
        ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_APPLICATION_ICON), IMAGE_ICON, 16, 16, 0));
    EXPECT_NE(small, nullptr);
    if (small != nullptr) ::DestroyIcon(small);
}

}  // namespace
