#include "run/sprite_order.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The page orders its list by the indices the core gives; the command line
// sorts its names. Both must agree, whatever the names' bytes: letters fold
// to lower case ('_' before 'a'), other bytes count unsigned (UTF-8 last).
TEST(SpriteOrder, PageAndCommandLineListInOneOrder) {
    const std::vector<std::string> names = {"b.dc6",  "A.dc6", "a.dc6", "\xC3\xA9t\xC3\xA9.dc6",
                                            "_x.dc6", "Z.dc6", "a.dc6"};
    std::vector<std::string> sorted = names;
    SortSpriteNames(sorted);
    EXPECT_EQ(sorted, (std::vector<std::string>{"_x.dc6", "A.dc6", "a.dc6", "a.dc6", "b.dc6", "Z.dc6",
                                                "\xC3\xA9t\xC3\xA9.dc6"}));

    const std::string order =
        SpriteOrderJson(R"(["b.dc6", "A.dc6", "a.dc6", "\u00e9t\u00e9.dc6", "_x.dc6", "Z.dc6", "a.dc6"])");
    EXPECT_EQ(order, "[4,1,2,6,0,5,3]");
}

TEST(SpriteOrder, TextThatIsNotAListOfNamesIsRefused) {
    EXPECT_EQ(SpriteOrderJson("[]"), "[]");
    for (const char* text : {"", "[", "{}", "\"a.dc6\"", "[\"a.dc6\", 3]", "[[\"a.dc6\"]]", "[\"\xff\"]"})
        EXPECT_EQ(SpriteOrderJson(text), "") << text;
}

}  // namespace
