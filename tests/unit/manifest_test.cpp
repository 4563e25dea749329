#include "convert/manifest.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>

namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;
using Json = nlohmann::ordered_json;

// A separate-mode sprite of three frames, the last without an image, with
// values at the edges of their ranges.
SpriteManifest Walk() {
    SpriteManifest m;
    m.version = "1.2.0";
    m.image = "walk0.png";
    m.imageWidth = 40;
    m.imageHeight = 30;
    m.sprite = "walk.dc6";
    m.layout = ManifestLayout::kSeparate;
    m.terminator = {0x00, 0xEE, 0x80, 0xFF};
    m.header4to7 = 1;
    m.header8to11 = 0xFFFFFFFF;
    m.palette = "game.gpl";
    m.transparentIndex = 238;
    for (int i = 0; i < 3; ++i) {
        FrameEntry f;
        f.filename = "walk" + std::to_string(i) + ".png";
        f.width = i == 2 ? 0 : 40 - i;
        f.height = 65535 - i;
        f.xOffset = i == 0 ? -2147483647 - 1 : -5;
        f.yOffset = 2147483647;
        f.header20to23 = 0xFFFFFFFF;
        f.transparentIndex = static_cast<std::uint8_t>(i);
        m.frames.push_back(f);
    }
    m.frames[2].filename.reset();
    m.frames[2].transparentIndex.reset();
    m.frames[1].x = kMaxManifestExtent;  // a sheet twelve frames wide
    m.frames[1].opaqueFillIndex = true;
    m.paletteRgb.emplace();
    for (std::size_t i = 0; i < m.paletteRgb->size(); ++i) (*m.paletteRgb)[i] = static_cast<std::uint8_t>(i * 5 + 1);
    return m;
}

TEST(ManifestTest, RoundTripsEveryFieldInAStableLayout) {
    const SpriteManifest m = Walk();
    const std::string text = ManifestToJson(m);
    EXPECT_THAT(text, StartsWith("{\n  \"frames\": [\n    {\n      \"filename\": \"walk0.png\",\n      \"frame\": {\n"
                                 "        \"x\": 0,\n        \"y\": 0,\n        \"w\": 40,\n        \"h\": 65535\n"));
    EXPECT_EQ(text.back(), '\n');
    EXPECT_THAT(text, HasSubstr("\"rotated\": false,\n      \"trimmed\": false,\n      \"spriteSourceSize\""));
    EXPECT_THAT(text, HasSubstr("\"filename\": null"));
    EXPECT_THAT(text, HasSubstr("\"paletteColours\": [\n      \"#01060B\",\n      \"#10151A\","));
    EXPECT_EQ(text.find("opaqueFillIndex"), text.rfind("opaqueFillIndex"));  // written only where it holds
    SpriteManifest back;
    std::string reason;
    ASSERT_TRUE(ManifestFromJson(text, &back, &reason)) << reason;
    EXPECT_TRUE(back == m);
    EXPECT_EQ(ManifestToJson(back), text);

    SpriteManifest stitched = Walk();
    stitched.layout = ManifestLayout::kStitchedSeparately;
    stitched.paletteRgb.reset();
    stitched.format = ManifestImageFormat::kRgba;
    stitched.image.reset();
    stitched.transparentIndex.reset();
    ASSERT_TRUE(ManifestFromJson(ManifestToJson(stitched), &back, &reason)) << reason;
    EXPECT_TRUE(back == stitched);
}

TEST(ManifestTest, RefusesEachKindOfBadFieldByName) {
    struct Case {
        const char* expected;  // the start of the reason
        std::function<void(Json&)> change;
    };
    const Case cases[] = {
        {"frames: expected an array of 1 to 12", [](Json& j) { j["frames"] = Json::array(); }},
        {"frames: expected an array of 1 to 12",
         [](Json& j) {
             while (j["frames"].size() < 13) j["frames"].push_back(j["frames"][0]);
         }},
        {"frames[1].index: expected 1", [](Json& j) { j["frames"][1]["index"] = 0; }},
        {"frames[1].width: expected a whole number 0 to 65535", [](Json& j) { j["frames"][1]["width"] = 65536; }},
        {"frames[0].height: expected a whole number", [](Json& j) { j["frames"][0]["height"] = 3.0; }},
        {"frames[0].xOffset: expected a whole number -2147483648 to 2147483647",
         [](Json& j) { j["frames"][0]["xOffset"] = -2147483649LL; }},
        {"frames[2].header.bytes24to27: expected a whole number 0 to 4294967295",
         [](Json& j) { j["frames"][2]["header"]["bytes24to27"] = -1; }},
        {"frames[0].frame.x: expected a whole number 0", [](Json& j) { j["frames"][0]["frame"]["x"] = -1; }},
        {"frames[1].frame.w: expected the frame's width, 39", [](Json& j) { j["frames"][1]["frame"]["w"] = 40; }},
        {"frames[0].transparentIndex: expected a whole number 0 to 255 or null",
         [](Json& j) { j["frames"][0]["transparentIndex"] = 256; }},
        {"frames[0].rotated: expected false", [](Json& j) { j["frames"][0]["rotated"] = true; }},
        {"frames[0].filename: expected a plain file name", [](Json& j) { j["frames"][0]["filename"] = "../x.png"; }},
        {"frames[0].filename", [](Json& j) { j["frames"][0]["filename"] = "a\\b.png"; }},
        {"frames[0].filename", [](Json& j) { j["frames"][0]["filename"] = ".."; }},
        {"frames[0].filename", [](Json& j) { j["frames"][0]["filename"] = ""; }},
        {"frames[0].filename", [](Json& j) { j["frames"][0]["filename"] = "a\nb.png"; }},
        {"frames[0].filename", [](Json& j) { j["frames"][0]["filename"] = "C:b.png"; }},
        {"meta.sprite: expected a plain file name", [](Json& j) { j["meta"]["sprite"] = nullptr; }},
        {"meta.paletteColours[3]: expected a colour", [](Json& j) { j["meta"]["paletteColours"][3] = "#12345G"; }},
        {"meta.paletteColours: expected an array of 256", [](Json& j) { j["meta"]["paletteColours"].erase(0); }},
        {"meta.layout: expected \"stitched\", \"separate\" or \"stitched-separately\"",
         [](Json& j) { j["meta"]["layout"] = "tiled"; }},
        {"meta.terminator: expected an array of 4", [](Json& j) { j["meta"]["terminator"].erase(3); }},
        {"meta.terminator[2]: expected a whole number 0 to 255", [](Json& j) { j["meta"]["terminator"][2] = 256; }},
        {"meta.size.h: expected a whole number", [](Json& j) { j["meta"]["size"]["h"] = "30"; }},
        {"meta.header.bytes16to19: missing", [](Json& j) { j["meta"]["header"].erase("bytes16to19"); }},
        {"meta: expected an object", [](Json& j) { j["meta"] = Json::array(); }},
    };
    const Json good = Json::parse(ManifestToJson(Walk()));
    for (const Case& c : cases) {
        Json changed = good;
        c.change(changed);
        SpriteManifest out = Walk();
        out.version = "untouched";
        std::string reason;
        EXPECT_FALSE(ManifestFromJson(changed.dump(), &out, &reason)) << c.expected;
        EXPECT_THAT(reason, StartsWith(c.expected));
        EXPECT_EQ(out.version, "untouched");
    }

    std::string reason;
    SpriteManifest out;
    EXPECT_FALSE(ManifestFromJson("{\"frames\": [", &out, &reason));
    EXPECT_EQ(reason, "manifest: not JSON");
    EXPECT_FALSE(ManifestFromJson(std::string(kMaxManifestSize + 1, ' '), &out, &reason));
    EXPECT_THAT(reason, StartsWith("manifest: larger than"));
    EXPECT_FALSE(ManifestFromJson(std::string(100, '[') + std::string(100, ']'), &out, &reason));
    EXPECT_THAT(reason, StartsWith("manifest: nested deeper"));
}

}  // namespace
