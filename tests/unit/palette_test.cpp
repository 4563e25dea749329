#include "ui/program/current_palette.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "tests/unit/program_test.h"
#include "tests/support/temp_folder.h"

namespace {

using test::Bytes;
using ::testing::ElementsAre;

class PaletteTest : public test::ProgramTest {};

Bytes Entry(const std::uint8_t* palette, int k) { return Bytes(palette + 3 * k, palette + 3 * k + 3); }

TEST_F(PaletteTest, BuiltInTableHoldsTheFixedEntriesInStoredOrder) {
    EXPECT_THAT(Entry(builtInPalette, 0), ElementsAre(0x00, 0x00, 0x00));
    EXPECT_THAT(Entry(builtInPalette, 1), ElementsAre(0x00, 0x00, 0x24));
    EXPECT_THAT(Entry(builtInPalette, 12), ElementsAre(0x6c, 0xc4, 0xf4));
    EXPECT_THAT(Entry(builtInPalette, 32), ElementsAre(0xf4, 0xf4, 0xf4));
    EXPECT_THAT(Entry(builtInPalette, 172), ElementsAre(0x04, 0x04, 0x04));
    EXPECT_THAT(Entry(builtInPalette, 225), ElementsAre(0x80, 0x00, 0xfc));
    EXPECT_THAT(Entry(builtInPalette, 255), ElementsAre(0xff, 0xff, 0xff));
}

TEST_F(PaletteTest, BuiltInEntriesAreDistinctWithGreysAndHues) {
    std::set<Bytes> entries;
    int greys = 0;
    for (int k = 0; k < 256; ++k) {
        const Bytes e = Entry(builtInPalette, k);
        entries.insert(e);
        greys += e[0] == e[1] && e[1] == e[2];
    }
    EXPECT_EQ(entries.size(), 256u);
    EXPECT_GE(greys, 32);
    EXPECT_GE(256 - greys, 200);
}

TEST_F(PaletteTest, EveryBuiltInRunWritesTheSameRedGreenBlueBytes) {
    for (int run = 0; run < 3; ++run) {
        UseBuiltInPalette();
        ReorderPalette();
        EXPECT_THAT(Entry(currentPalette, 1), ElementsAre(0x24, 0x00, 0x00)) << run;
        EXPECT_THAT(Entry(currentPalette, 225), ElementsAre(0xfc, 0x00, 0x80)) << run;
    }
    EXPECT_THAT(Entry(builtInPalette, 1), ElementsAre(0x00, 0x00, 0x24));
}

TEST_F(PaletteTest, LoadsExactly768ByteFilesWhateverTheirExtension) {
    test::TempFolder folder;
    Bytes text(768, 'a');
    text[0] = 10, text[1] = 20, text[2] = 30;
    test::WriteFile("notes.txt", text);
    test::WriteFile("short.pal", Bytes(767, 1));
    test::WriteFile("long.pal", Bytes(769, 1));
    test::WriteFile("empty.pal", {});

    EXPECT_EQ(LoadPaletteFile("short.pal"), PaletteLoad::WrongSize);
    EXPECT_EQ(LoadPaletteFile("long.pal"), PaletteLoad::WrongSize);
    EXPECT_EQ(LoadPaletteFile("empty.pal"), PaletteLoad::Unreadable);
    EXPECT_EQ(LoadPaletteFile("missing.pal"), PaletteLoad::Unreadable);
    EXPECT_EQ(currentPalette, nullptr);

    ASSERT_EQ(LoadPaletteFile("notes.txt"), PaletteLoad::Loaded);
    EXPECT_FALSE(paletteIsBuiltIn);
    ReorderPalette();
    EXPECT_THAT(Entry(currentPalette, 0), ElementsAre(30, 20, 10));
    EXPECT_THAT(Entry(currentPalette, 1), ElementsAre('a', 'a', 'a'));
    ReleasePalette();
    EXPECT_EQ(currentPalette, nullptr);
}

TEST_F(PaletteTest, ReleaseLeavesTheBuiltInPaletteAlone) {
    UseBuiltInPalette();
    EXPECT_TRUE(paletteIsBuiltIn);
    std::uint8_t* const held = currentPalette;
    ReleasePalette();  // would crash or trip the sanitizer if it freed the table's copy
    EXPECT_EQ(currentPalette, held);
    EXPECT_TRUE(paletteIsBuiltIn);
}

}  // namespace
