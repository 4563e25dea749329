#include "convert/manifest.h"

#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <utility>

#include "convert/colour_mapping.h"
#include "sprite/dc6_sprite.h"

using Json = nlohmann::ordered_json;

namespace {

constexpr std::int64_t kMaxDimension = 0xFFFF;
constexpr std::int64_t kMaxByte = 0xFF;
constexpr std::int64_t kMaxRaw = std::numeric_limits<std::uint32_t>::max();
constexpr std::int64_t kMinOffset = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMaxOffset = std::numeric_limits<std::int32_t>::max();
// A manifest nests four deep (meta.size, frames[i].frame); anything much
// deeper is not one, and refusing it before parsing bounds the parser's work.
constexpr int kMaxNesting = 8;
constexpr int kIndent = 2;

constexpr char kStitched[] = "stitched";
constexpr char kSeparate[] = "separate";
constexpr char kStitchedSeparately[] = "stitched-separately";
constexpr char kIndexed[] = "I8";
constexpr char kRgba[] = "RGBA8888";

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

Json OrNull(const std::optional<std::string>& text) { return text ? Json(*text) : Json(nullptr); }
Json OrNull(const std::optional<std::uint8_t>& index) { return index ? Json(*index) : Json(nullptr); }

Json FrameToJson(const FrameEntry& frame, std::size_t index) {
    Json entry = Json::object();
    entry["filename"] = OrNull(frame.filename);
    entry["frame"] = {{"x", frame.x}, {"y", frame.y}, {"w", frame.width}, {"h", frame.height}};
    entry["rotated"] = false;
    entry["trimmed"] = false;
    entry["spriteSourceSize"] = {{"x", 0}, {"y", 0}, {"w", frame.width}, {"h", frame.height}};
    entry["sourceSize"] = {{"w", frame.width}, {"h", frame.height}};
    entry["duration"] = frame.duration;
    entry["index"] = index;
    entry["width"] = frame.width;
    entry["height"] = frame.height;
    entry["xOffset"] = frame.xOffset;
    entry["yOffset"] = frame.yOffset;
    entry["header"] = {
        {"bytes0to3", frame.header0to3}, {"bytes20to23", frame.header20to23}, {"bytes24to27", frame.header24to27}};
    entry["transparentIndex"] = OrNull(frame.transparentIndex);
    if (frame.opaqueFillIndex) entry["opaqueFillIndex"] = true;
    return entry;
}

// Whether the text nests arrays and objects deeper than kMaxNesting. Brackets
// inside strings do not count; malformed text is left to the parser.
bool NestsTooDeep(const std::string& text) {
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxNesting) return true;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return false;
}

// Reads fields of untrusted JSON, checking type and range before every read;
// the first fault is kept as the reason, named by its path.
class Reader {
public:
    explicit Reader(std::string* reason) : reason_(reason) {}

    bool Fail(const std::string& path, const std::string& expected) {
        if (reason_ != nullptr) *reason_ = path + ": " + expected;
        return false;
    }

    // The member key of object, or null (and a reason) when it is missing.
    const Json* Member(const Json& object, const std::string& path, const char* key) {
        const auto it = object.find(key);
        if (it == object.end()) {
            Fail(Join(path, key), "missing");
            return nullptr;
        }
        return &it.value();
    }

    const Json* Object(const Json& object, const std::string& path, const char* key) {
        const Json* value = Member(object, path, key);
        if (value != nullptr && !value->is_object()) {
            Fail(Join(path, key), "expected an object");
            return nullptr;
        }
        return value;
    }

    bool Whole(const Json& object, const std::string& path, const char* key, std::int64_t min, std::int64_t max,
               std::int64_t* out) {
        const Json* value = Member(object, path, key);
        return value != nullptr && WholeValue(*value, Join(path, key), min, max, out);
    }

    bool WholeValue(const Json& value, const std::string& path, std::int64_t min, std::int64_t max, std::int64_t* out) {
        bool inRange = false;
        if (value.is_number_unsigned()) {
            const std::uint64_t number = value.get<std::uint64_t>();
            inRange = number <= static_cast<std::uint64_t>(max);
            if (inRange) *out = static_cast<std::int64_t>(number);
        } else if (value.is_number_integer()) {
            const std::int64_t number = value.get<std::int64_t>();
            inRange = number >= min && number <= max;
            if (inRange) *out = number;
        }
        if (!inRange)
            return Fail(path, "expected a whole number " + std::to_string(min) + " to " + std::to_string(max));
        return true;
    }

    template <typename T>
    bool Field(const Json& object, const std::string& path, const char* key, std::int64_t min, std::int64_t max,
               T* out) {
        std::int64_t number = 0;
        if (!Whole(object, path, key, min, max, &number)) return false;
        *out = static_cast<T>(number);
        return true;
    }

    bool Text(const Json& object, const std::string& path, const char* key, std::string* out) {
        const Json* value = Member(object, path, key);
        if (value == nullptr) return false;
        if (!value->is_string()) return Fail(Join(path, key), "expected a string");
        *out = value->get_ref<const std::string&>();
        return true;
    }

    // A plain file name, or null where nullable.
    bool Name(const Json& object, const std::string& path, const char* key, bool nullable,
              std::optional<std::string>* out) {
        const Json* value = Member(object, path, key);
        if (value == nullptr) return false;
        if (nullable && value->is_null()) {
            out->reset();
            return true;
        }
        if (!value->is_string() || !IsManifestFileName(value->get_ref<const std::string&>()))
            return Fail(Join(path, key),
                        nullable ? "expected a plain file name or null" : "expected a plain file name");
        *out = value->get_ref<const std::string&>();
        return true;
    }

    bool Index(const Json& object, const std::string& path, const char* key, std::optional<std::uint8_t>* out) {
        const Json* value = Member(object, path, key);
        if (value == nullptr) return false;
        if (value->is_null()) {
            out->reset();
            return true;
        }
        std::int64_t number = 0;
        if (!value->is_number_integer() || !WholeValue(*value, Join(path, key), 0, kMaxByte, &number))
            return Fail(Join(path, key), "expected a whole number 0 to 255 or null");
        *out = static_cast<std::uint8_t>(number);
        return true;
    }

    // A field that sheet tools write and we do not store: absent, or
    // required to hold exactly what we would write.
    // A true or false that may be absent (then false).
    bool OptionalBoolean(const Json& object, const std::string& path, const char* key, bool* out) {
        const auto it = object.find(key);
        *out = false;
        if (it == object.end()) return true;
        if (!it.value().is_boolean()) return Fail(Join(path, key), "expected true or false");
        *out = it.value().get<bool>();
        return true;
    }

    bool OptionalFlag(const Json& object, const std::string& path, const char* key) {
        const auto it = object.find(key);
        if (it != object.end() && !(it.value().is_boolean() && !it.value().get<bool>()))
            return Fail(Join(path, key), "expected false: rotated or trimmed frames cannot be packed");
        return true;
    }

    bool OptionalRect(const Json& object, const std::string& path, const char* key, bool withPosition) {
        const auto it = object.find(key);
        if (it == object.end()) return true;
        const std::string where = Join(path, key);
        if (!it.value().is_object()) return Fail(where, "expected an object");
        std::int64_t ignored = 0;
        if (withPosition && (!Whole(it.value(), where, "x", 0, kMaxManifestExtent, &ignored) ||
                             !Whole(it.value(), where, "y", 0, kMaxManifestExtent, &ignored)))
            return false;
        return Whole(it.value(), where, "w", 0, kMaxManifestExtent, &ignored) &&
               Whole(it.value(), where, "h", 0, kMaxManifestExtent, &ignored);
    }

    static std::string Join(const std::string& path, const char* key) {
        return path.empty() ? std::string(key) : path + "." + key;
    }

private:
    std::string* reason_;
};

bool ReadFrame(Reader& in, const Json& entry, std::size_t index, FrameEntry* frame) {
    const std::string path = "frames[" + std::to_string(index) + "]";
    if (!entry.is_object()) return in.Fail(path, "expected an object");
    std::int64_t position = 0;
    if (!in.Whole(entry, path, "index", 0, kMaxBlocks - 1, &position)) return false;
    if (position != static_cast<std::int64_t>(index))
        return in.Fail(path + ".index", "expected " + std::to_string(index) + ", the entry's place in the list");
    if (!in.Name(entry, path, "filename", true, &frame->filename) ||
        !in.Field(entry, path, "width", 0, kMaxDimension, &frame->width) ||
        !in.Field(entry, path, "height", 0, kMaxDimension, &frame->height) ||
        !in.Field(entry, path, "xOffset", kMinOffset, kMaxOffset, &frame->xOffset) ||
        !in.Field(entry, path, "yOffset", kMinOffset, kMaxOffset, &frame->yOffset) ||
        !in.Index(entry, path, "transparentIndex", &frame->transparentIndex) ||
        !in.OptionalBoolean(entry, path, "opaqueFillIndex", &frame->opaqueFillIndex) ||
        !in.Field(entry, path, "duration", 0, kMaxOffset, &frame->duration))
        return false;

    const Json* header = in.Object(entry, path, "header");
    if (header == nullptr) return false;
    const std::string headerPath = path + ".header";
    if (!in.Field(*header, headerPath, "bytes0to3", 0, kMaxRaw, &frame->header0to3) ||
        !in.Field(*header, headerPath, "bytes20to23", 0, kMaxRaw, &frame->header20to23) ||
        !in.Field(*header, headerPath, "bytes24to27", 0, kMaxRaw, &frame->header24to27))
        return false;

    // The rectangle's size is the frame's: the packer cuts exactly that much.
    const Json* rect = in.Object(entry, path, "frame");
    if (rect == nullptr) return false;
    const std::string rectPath = path + ".frame";
    std::int64_t w = 0;
    std::int64_t h = 0;
    if (!in.Field(*rect, rectPath, "x", 0, kMaxManifestExtent, &frame->x) ||
        !in.Field(*rect, rectPath, "y", kMinManifestFrameY, kMaxManifestExtent, &frame->y) ||
        !in.Whole(*rect, rectPath, "w", 0, kMaxDimension, &w) || !in.Whole(*rect, rectPath, "h", 0, kMaxDimension, &h))
        return false;
    if (w != frame->width)
        return in.Fail(rectPath + ".w", "expected the frame's width, " + std::to_string(frame->width));
    if (h != frame->height)
        return in.Fail(rectPath + ".h", "expected the frame's height, " + std::to_string(frame->height));

    return in.OptionalFlag(entry, path, "rotated") && in.OptionalFlag(entry, path, "trimmed") &&
           in.OptionalRect(entry, path, "spriteSourceSize", true) && in.OptionalRect(entry, path, "sourceSize", false);
}

bool ReadMeta(Reader& in, const Json& meta, SpriteManifest* m) {
    const std::string path = "meta";
    std::optional<std::string> sprite;
    std::optional<std::string> palette;
    std::string word;
    if (!in.Text(meta, path, "app", &m->app) || !in.Text(meta, path, "version", &m->version) ||
        !in.Name(meta, path, "image", true, &m->image) || !in.Name(meta, path, "sprite", false, &sprite) ||
        !in.Name(meta, path, "palette", false, &palette) ||
        !in.Index(meta, path, "transparentIndex", &m->transparentIndex) ||
        !in.OptionalBoolean(meta, path, "transparency", &m->transparency))
        return false;
    m->sprite = *sprite;
    m->palette = *palette;

    if (!in.Text(meta, path, "format", &word)) return false;
    if (word == kIndexed)
        m->format = ManifestImageFormat::kIndexed;
    else if (word == kRgba)
        m->format = ManifestImageFormat::kRgba;
    else
        return in.Fail("meta.format", "expected \"I8\" or \"RGBA8888\"");

    if (!in.Text(meta, path, "layout", &word)) return false;
    if (word == kStitched)
        m->layout = ManifestLayout::kStitched;
    else if (word == kSeparate)
        m->layout = ManifestLayout::kSeparate;
    else if (word == kStitchedSeparately)
        m->layout = ManifestLayout::kStitchedSeparately;
    else
        return in.Fail("meta.layout", "expected \"stitched\", \"separate\" or \"stitched-separately\"");

    const auto scale = meta.find("scale");
    if (scale != meta.end() && !(scale.value().is_string() && scale.value().get_ref<const std::string&>() == "1"))
        return in.Fail("meta.scale", "expected \"1\"");

    const Json* size = in.Object(meta, path, "size");
    if (size == nullptr || !in.Field(*size, "meta.size", "w", 0, kMaxManifestExtent, &m->imageWidth) ||
        !in.Field(*size, "meta.size", "h", 0, kMaxManifestExtent, &m->imageHeight))
        return false;

    const Json* terminator = in.Member(meta, path, "terminator");
    if (terminator == nullptr) return false;
    if (!terminator->is_array() || terminator->size() != m->terminator.size())
        return in.Fail("meta.terminator", "expected an array of 4 whole numbers 0 to 255");
    for (std::size_t i = 0; i < m->terminator.size(); ++i) {
        std::int64_t byte = 0;
        if (!in.WholeValue((*terminator)[i], "meta.terminator[" + std::to_string(i) + "]", 0, kMaxByte, &byte))
            return false;
        m->terminator[i] = static_cast<std::uint8_t>(byte);
    }

    if (meta.contains("canvas")) {
        const Json* canvas = in.Object(meta, path, "canvas");
        ManifestCanvas read;
        if (canvas == nullptr || !in.Field(*canvas, "meta.canvas", "x", kMinOffset, kMaxOffset, &read.x) ||
            !in.Field(*canvas, "meta.canvas", "y", kMinOffset, kMaxOffset, &read.y) ||
            !in.Field(*canvas, "meta.canvas", "w", 1, kMaxDimension, &read.width) ||
            !in.Field(*canvas, "meta.canvas", "h", 1, kMaxDimension, &read.height))
            return false;
        m->canvas = read;
    }

    const auto colours = meta.find("paletteColours");
    if (colours != meta.end()) {
        if (!colours.value().is_array() || colours.value().size() != 256)
            return in.Fail("meta.paletteColours", "expected an array of 256 colours \"#RRGGBB\"");
        std::array<std::uint8_t, 768> rgb{};
        for (std::size_t i = 0; i < 256; ++i) {
            const Json& colour = colours.value()[i];
            const std::string text = colour.is_string() ? colour.get<std::string>() : std::string();
            bool valid = text.size() == 7 && text[0] == '#';
            for (std::size_t k = 1; valid && k < 7; ++k) valid = HexDigit(text[k]) >= 0;
            if (!valid)
                return in.Fail("meta.paletteColours[" + std::to_string(i) + "]", "expected a colour \"#RRGGBB\"");
            for (std::size_t c = 0; c < 3; ++c)
                rgb[3 * i + c] = static_cast<std::uint8_t>(HexDigit(text[1 + 2 * c]) << 4 | HexDigit(text[2 + 2 * c]));
        }
        m->paletteRgb = rgb;
    }

    const Json* header = in.Object(meta, path, "header");
    return header != nullptr && in.Field(*header, "meta.header", "bytes4to7", 0, kMaxRaw, &m->header4to7) &&
           in.Field(*header, "meta.header", "bytes8to11", 0, kMaxRaw, &m->header8to11) &&
           in.Field(*header, "meta.header", "bytes16to19", 0, kMaxRaw, &m->header16to19);
}

// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or
// values past U+10FFFF), as JSON text must be.
bool IsUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<std::uint8_t>(text[i]);
        std::size_t length = 0;
        std::uint32_t min = 0;
        std::uint32_t code = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if ((lead & 0xE0) == 0xC0) {
            length = 2;
            min = 0x80;
            code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            min = 0x800;
            code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            min = 0x10000;
            code = lead & 0x07;
        } else
            return false;
        if (text.size() - i < length) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<std::uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = code << 6 | (next & 0x3F);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

}  // namespace

bool FrameEntry::operator==(const FrameEntry& o) const {
    return filename == o.filename && x == o.x && y == o.y && width == o.width && height == o.height &&
           xOffset == o.xOffset && yOffset == o.yOffset && header0to3 == o.header0to3 &&
           header20to23 == o.header20to23 && header24to27 == o.header24to27 && transparentIndex == o.transparentIndex &&
           opaqueFillIndex == o.opaqueFillIndex && duration == o.duration;
}

bool SpriteManifest::operator==(const SpriteManifest& o) const {
    return app == o.app && version == o.version && image == o.image && format == o.format &&
           imageWidth == o.imageWidth && imageHeight == o.imageHeight && sprite == o.sprite && layout == o.layout &&
           terminator == o.terminator && header4to7 == o.header4to7 && header8to11 == o.header8to11 &&
           header16to19 == o.header16to19 && palette == o.palette && paletteRgb == o.paletteRgb &&
           transparentIndex == o.transparentIndex && transparency == o.transparency && canvas == o.canvas &&
           frames == o.frames;
}

bool IsManifestFileName(const std::string& name) {
    if (name.empty() || name == "." || name == ".." || !IsUtf8(name)) return false;
    for (const char c : name) {
        const auto byte = static_cast<std::uint8_t>(c);
        if (c == '/' || c == '\\' || c == ':' || byte < 0x20 || byte == 0x7F) return false;
    }
    return true;
}

std::string ManifestToJson(const SpriteManifest& manifest) {
    Json frames = Json::array();
    for (std::size_t i = 0; i < manifest.frames.size(); ++i) frames.push_back(FrameToJson(manifest.frames[i], i));

    Json meta = Json::object();
    meta["app"] = manifest.app;
    meta["version"] = manifest.version;
    meta["image"] = OrNull(manifest.image);
    meta["format"] = manifest.format == ManifestImageFormat::kRgba ? kRgba : kIndexed;
    meta["size"] = {{"w", manifest.imageWidth}, {"h", manifest.imageHeight}};
    meta["scale"] = "1";
    meta["sprite"] = manifest.sprite;
    meta["layout"] = manifest.layout == ManifestLayout::kSeparate             ? kSeparate
                     : manifest.layout == ManifestLayout::kStitchedSeparately ? kStitchedSeparately
                                                                              : kStitched;
    meta["terminator"] = manifest.terminator;
    meta["header"] = {{"bytes4to7", manifest.header4to7},
                      {"bytes8to11", manifest.header8to11},
                      {"bytes16to19", manifest.header16to19}};
    meta["palette"] = manifest.palette;
    if (manifest.paletteRgb) {
        Json colours = Json::array();
        for (std::size_t i = 0; i < 256; ++i)
            colours.push_back(ColourText(ColourOf(manifest.paletteRgb->data() + 3 * i)));
        meta["paletteColours"] = std::move(colours);
    }
    meta["transparentIndex"] = OrNull(manifest.transparentIndex);
    meta["transparency"] = manifest.transparency;
    if (manifest.canvas)
        meta["canvas"] = {{"x", manifest.canvas->x},
                          {"y", manifest.canvas->y},
                          {"w", manifest.canvas->width},
                          {"h", manifest.canvas->height}};

    Json root = Json::object();
    root["frames"] = std::move(frames);
    root["meta"] = std::move(meta);
    // Replacing bad UTF-8 rather than throwing keeps this function total.
    return root.dump(kIndent, ' ', false, Json::error_handler_t::replace) + "\n";
}

bool ManifestFromJson(const std::string& text, SpriteManifest* out, std::string* reason) {
    Reader in(reason);
    if (text.size() > kMaxManifestSize)
        return in.Fail("manifest", "larger than " + std::to_string(kMaxManifestSize) + " bytes");
    if (NestsTooDeep(text)) return in.Fail("manifest", "nested deeper than a manifest is");
    const Json root = Json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (root.is_discarded()) return in.Fail("manifest", "not JSON");
    if (!root.is_object()) return in.Fail("manifest", "expected an object");

    SpriteManifest manifest;
    const Json* meta = in.Object(root, "", "meta");
    if (meta == nullptr || !ReadMeta(in, *meta, &manifest)) return false;

    const Json* frames = in.Member(root, "", "frames");
    if (frames == nullptr) return false;
    if (!frames->is_array() || frames->empty() || frames->size() > static_cast<std::size_t>(kMaxBlocks))
        return in.Fail("frames", "expected an array of 1 to 12 frames");
    manifest.frames.resize(frames->size());
    for (std::size_t i = 0; i < frames->size(); ++i)
        if (!ReadFrame(in, (*frames)[i], i, &manifest.frames[i])) return false;

    *out = std::move(manifest);
    return true;
}
