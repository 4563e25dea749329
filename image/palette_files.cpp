#include "image/palette_files.h"

#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

constexpr std::size_t kEntries = 256;
constexpr std::size_t kRawLength = 3 * kEntries;       // 768
constexpr std::size_t kActWithCount = kRawLength + 4;  // 772: count and transparent index follow
constexpr std::uint16_t kRiffPaletteVersion = 0x0300;
constexpr char kGimpMagic[] = "GIMP Palette";
constexpr char kJascMagic[] = "JASC-PAL";
constexpr char kJascVersion[] = "0100";
constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";
constexpr char kExportName[] = "Kelvane Converter";

std::uint32_t Little32(const std::uint8_t* p) {
    return p[0] | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}
std::uint16_t Little16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint16_t Big16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool HasExtension(const std::string& name, const char* extension) {
    const std::size_t n = std::strlen(extension);
    return name.size() >= n && Lower(name.substr(name.size() - n)) == extension;
}

// Collects colours given red, green, blue into the stored order.
class Collector {
public:
    Collector() { std::memset(palette_.storedBgr, 0, sizeof palette_.storedBgr); }
    bool Full() const { return count_ == kEntries; }
    int Count() const { return static_cast<int>(count_); }
    void Add(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
        std::uint8_t* entry = palette_.storedBgr + 3 * count_++;
        entry[0] = blue;
        entry[1] = green;
        entry[2] = red;
    }
    PaletteParse Deliver(PaletteFile* out) {
        palette_.colours = Count();
        *out = palette_;
        return PaletteParse::Parsed;
    }

private:
    PaletteFile palette_;
    std::size_t count_ = 0;
};

// The lines of a text file, numbered from 1, without their CR LF or LF.
class Lines {
public:
    Lines(const std::uint8_t* bytes, std::size_t length)
        : at_(reinterpret_cast<const char*>(bytes)), end_(at_ + length) {}

    bool Next(std::string_view* line) {
        if (at_ == end_) return false;
        const char* stop = static_cast<const char*>(std::memchr(at_, '\n', static_cast<std::size_t>(end_ - at_)));
        const char* lineEnd = stop != nullptr ? stop : end_;
        *line = std::string_view(at_, static_cast<std::size_t>(lineEnd - at_));
        if (!line->empty() && line->back() == '\r') line->remove_suffix(1);
        at_ = stop != nullptr ? stop + 1 : end_;
        ++number_;
        return true;
    }
    int Number() const { return number_; }

private:
    const char* at_;
    const char* end_;
    int number_ = 0;
};

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    return text;
}

// A decimal number without sign at the start of text (after blanks), at
// most `largest`; consumes it. False when there is none or it is larger.
bool TakeNumber(std::string_view* text, unsigned largest, unsigned* value) {
    while (!text->empty() && IsSpace(text->front())) text->remove_prefix(1);
    if (text->empty() || text->front() < '0' || text->front() > '9') return false;
    *value = 0;
    while (!text->empty() && text->front() >= '0' && text->front() <= '9') {
        *value = *value * 10 + static_cast<unsigned>(text->front() - '0');
        if (*value > largest) return false;
        text->remove_prefix(1);
    }
    return true;
}

// "R G B", each 0..255, then the end of the line or, where a name may
// follow, a blank and anything.
bool TakeColour(std::string_view line, bool nameMayFollow, std::uint8_t rgb[3]) {
    for (int i = 0; i < 3; ++i) {
        unsigned value;
        if (i > 0 && (line.empty() || !IsSpace(line.front()))) return false;
        if (!TakeNumber(&line, 255, &value)) return false;
        rgb[i] = static_cast<std::uint8_t>(value);
    }
    if (line.empty()) return true;
    if (!IsSpace(line.front())) return false;
    return nameMayFollow || Trim(line).empty();
}

PaletteParse Refuse(std::string* reason, const std::string& why) {
    if (reason != nullptr) *reason = why;
    return PaletteParse::Refused;
}

std::string AtLine(int line, const char* what) { return "line " + std::to_string(line) + ": " + what; }

constexpr char kExpectedColour[] = "expected three numbers 0 to 255";

PaletteParse ParseJasc(const std::uint8_t* bytes, std::size_t length, PaletteFile* out, std::string* reason) {
    Lines lines(bytes, length);
    std::string_view line;
    lines.Next(&line);  // the magic, already matched
    if (!lines.Next(&line) || Trim(line) != kJascVersion)
        return Refuse(reason, "line 2: expected JASC-PAL version 0100");
    unsigned count = 0;
    if (!lines.Next(&line) || !TakeNumber(&line, 99999999, &count) || !Trim(line).empty())
        return Refuse(reason, "line 3: expected the number of colours");
    if (count == 0) return Refuse(reason, "the palette has no colours");
    if (count > kEntries) return Refuse(reason, "the palette has " + std::to_string(count) + " colours; at most 256");

    Collector collector;
    while (collector.Count() < static_cast<int>(count)) {
        if (!lines.Next(&line))
            return Refuse(reason, "the file ends after " + std::to_string(collector.Count()) + " of " +
                                      std::to_string(count) + " colours");
        std::uint8_t rgb[3];
        if (!TakeColour(line, false, rgb)) return Refuse(reason, AtLine(lines.Number(), kExpectedColour));
        collector.Add(rgb[0], rgb[1], rgb[2]);
    }
    while (lines.Next(&line))
        if (!Trim(line).empty()) return Refuse(reason, AtLine(lines.Number(), "more colours than line 3 announces"));
    return collector.Deliver(out);
}

PaletteParse ParseGimp(const std::uint8_t* bytes, std::size_t length, PaletteFile* out, std::string* reason) {
    Lines lines(bytes, length);
    std::string_view line;
    lines.Next(&line);  // the magic, already matched
    if (Trim(line) != kGimpMagic) return Refuse(reason, "line 1: expected \"GIMP Palette\"");
    Collector collector;
    while (lines.Next(&line)) {
        const std::string_view text = Trim(line);
        if (text.empty() || text.front() == '#' || text.substr(0, 5) == "Name:" || text.substr(0, 8) == "Columns:")
            continue;
        std::uint8_t rgb[3];
        if (!TakeColour(text, true, rgb)) return Refuse(reason, AtLine(lines.Number(), kExpectedColour));
        if (collector.Full()) return Refuse(reason, AtLine(lines.Number(), "more than 256 colours"));
        collector.Add(rgb[0], rgb[1], rgb[2]);
    }
    if (collector.Count() == 0) return Refuse(reason, "the palette has no colours");
    return collector.Deliver(out);
}

PaletteParse ParseRiff(const std::uint8_t* bytes, std::size_t length, PaletteFile* out, std::string* reason) {
    // Some writers get the RIFF size wrong: the chunks are read up to it or
    // to the end of the file, whichever comes first.
    const std::uint64_t declaredEnd = std::uint64_t{8} + Little32(bytes + 4);
    const std::size_t end = declaredEnd < length ? static_cast<std::size_t>(declaredEnd) : length;
    if (end < 12) return Refuse(reason, "the file is truncated");
    for (std::size_t at = 12; end - at >= 8;) {
        const std::uint32_t size = Little32(bytes + at + 4);
        if (size > end - at - 8) return Refuse(reason, "the file is truncated");
        const std::uint8_t* data = bytes + at + 8;
        if (std::memcmp(bytes + at, "data", 4) != 0) {
            at += 8 + std::size_t{size};
            if (size % 2 != 0 && at < end) ++at;  // chunks start at even offsets
            continue;
        }
        if (size < 4) return Refuse(reason, "the RIFF data chunk is truncated");
        if (Little16(data) != kRiffPaletteVersion) return Refuse(reason, "unknown RIFF palette version");
        const std::uint16_t count = Little16(data + 2);
        if (count == 0) return Refuse(reason, "the palette has no colours");
        if (count > kEntries)
            return Refuse(reason, "the palette has " + std::to_string(count) + " colours; at most 256");
        if (size < 4 + 4u * count) return Refuse(reason, "the RIFF data chunk is truncated");
        Collector collector;
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t* entry = data + 4 + 4 * i;  // red, green, blue, flags
            collector.Add(entry[0], entry[1], entry[2]);
        }
        return collector.Deliver(out);
    }
    return Refuse(reason, "RIFF palette without a data chunk");
}

PaletteParse ParseAct(const std::uint8_t* bytes, std::size_t length, PaletteFile* out, std::string* reason) {
    if (length != kRawLength && length != kActWithCount)
        return Refuse(reason, "a .act palette has 768 or 772 bytes, not " + std::to_string(length));
    // Photoshop writes the count of used entries; 0 (seen from other
    // writers) and counts above 256 cannot mean fewer colours: all 256.
    std::size_t count = kEntries;
    if (length == kActWithCount) {
        const std::uint16_t written = Big16(bytes + kRawLength);
        if (written >= 1 && written <= kEntries) count = written;
    }
    Collector collector;
    for (std::size_t i = 0; i < count; ++i) collector.Add(bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]);
    return collector.Deliver(out);
}

bool StartsWith(const std::uint8_t* bytes, std::size_t length, const char* text) {
    const std::size_t n = std::strlen(text);
    return length >= n && std::memcmp(bytes, text, n) == 0;
}

}  // namespace

PaletteParse ParsePaletteFile(const std::string& name, const std::uint8_t* bytes, std::size_t length, PaletteFile* out,
                              std::string* reason) {
    if (HasExtension(name, ".act")) return ParseAct(bytes, length, out, reason);
    if (length >= 12 && StartsWith(bytes, length, "RIFF") && std::memcmp(bytes + 8, "PAL ", 4) == 0)
        return ParseRiff(bytes, length, out, reason);
    // Text files may begin with a UTF-8 byte order mark.
    const std::size_t mark = StartsWith(bytes, length, kUtf8Mark) ? std::strlen(kUtf8Mark) : 0;
    if (StartsWith(bytes + mark, length - mark, kJascMagic)) return ParseJasc(bytes + mark, length - mark, out, reason);
    if (StartsWith(bytes + mark, length - mark, kGimpMagic)) return ParseGimp(bytes + mark, length - mark, out, reason);
    if (length == kRawLength) {
        std::memcpy(out->storedBgr, bytes, kRawLength);
        out->colours = static_cast<int>(kEntries);
        return PaletteParse::Parsed;
    }
    return Refuse(reason, "not a palette file: neither 768 bytes nor a JASC-PAL, RIFF, GIMP or .act palette");
}

bool PaletteFormatForName(const std::string& name, PaletteFormat* format) {
    if (HasExtension(name, ".gpl")) {
        *format = PaletteFormat::Gimp;
    } else if (HasExtension(name, ".pal")) {
        *format = PaletteFormat::Jasc;
    } else if (HasExtension(name, ".act")) {
        *format = PaletteFormat::Act;
    } else {
        return false;
    }
    return true;
}

bool WritePaletteFile(ByteSink& sink, PaletteFormat format, const std::uint8_t* paletteRgb) {
    if (format == PaletteFormat::Act) return sink.Write(paletteRgb, kRawLength);
    // The longest text: GIMP's header and 256 lines "255 255 255\tIndex 255\n".
    char text[64 + kEntries * 24];
    int used = 0;
    auto put = [&](const char* pattern, auto... values) {
        used += std::snprintf(text + used, sizeof text - static_cast<std::size_t>(used), pattern, values...);
    };
    if (format == PaletteFormat::Gimp) {
        put("%s\nName: %s\nColumns: 16\n#\n", kGimpMagic, kExportName);
        for (std::size_t i = 0; i < kEntries; ++i) {
            const std::uint8_t* e = paletteRgb + 3 * i;
            put("%3d %3d %3d\tIndex %d\n", e[0], e[1], e[2], static_cast<int>(i));
        }
    } else {
        put("%s\r\n%s\r\n%d\r\n", kJascMagic, kJascVersion, static_cast<int>(kEntries));
        for (std::size_t i = 0; i < kEntries; ++i) {
            const std::uint8_t* e = paletteRgb + 3 * i;
            put("%d %d %d\r\n", e[0], e[1], e[2]);
        }
    }
    return sink.Write(reinterpret_cast<const std::uint8_t*>(text), static_cast<std::size_t>(used));
}
