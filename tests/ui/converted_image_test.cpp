// The image path of a listed sprite file.
#include "ui/converted_image.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ConvertedImagePathTest, CutsTheDc6OfTheNameWhateverItsCaseAndKeepsTheDot) {
    char path[260];
    ASSERT_TRUE(ConvertedImagePath("knight.dc6", path, sizeof path));
    EXPECT_STREQ(path, "PCXFiles\\knight.pcx");
    ASSERT_TRUE(ConvertedImagePath("KNIGHT.DC6", path, sizeof path));
    EXPECT_STREQ(path, "PCXFiles\\KNIGHT.pcx");
    ASSERT_TRUE(ConvertedImagePath("x.dc6", path, sizeof path));
    EXPECT_STREQ(path, "PCXFiles\\x.pcx");
}

TEST(ConvertedImagePathTest, FitsExactlyOrNotAtAll) {
    char path[260];
    // 9 + 250 characters and the zero: the whole buffer.
    const std::string fits = std::string(246, 'a') + ".dc6";
    ASSERT_TRUE(ConvertedImagePath(fits.c_str(), path, sizeof path));
    EXPECT_EQ(std::string(path), "PCXFiles\\" + std::string(246, 'a') + ".pcx");

    const std::string tooLong = std::string(247, 'a') + ".dc6";
    EXPECT_FALSE(ConvertedImagePath(tooLong.c_str(), path, sizeof path));
    EXPECT_STREQ(path, "");
    EXPECT_FALSE(ConvertedImageExists(tooLong.c_str()));
}

}  // namespace
