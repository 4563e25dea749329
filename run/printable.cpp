#include "run/printable.h"

#include <cstddef>

namespace {

// The length of the well-formed UTF-8 character at text[at], or 0. Overlong
// forms, surrogates and code points past U+10FFFF are not well-formed.
std::size_t CharacterLength(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the bounds of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    if (byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
    return length;
}

}  // namespace

std::string Printable(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string printable;
    printable.reserve(text.size());
    const auto escape = [&](unsigned char byte) {
        printable += "\\x";
        printable += kHex[byte >> 4];
        printable += kHex[byte & 0xF];
    };
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            if (byte < 0x20 || byte == 0x7F)
                escape(byte);
            else
                printable += text[i];
            ++i;
            continue;
        }
        const std::size_t length = CharacterLength(text, i);
        // U+0080 to U+009F, the C1 controls, are C2 80 to C2 9F.
        const bool c1 = length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if (length == 0) {
            escape(byte);
            ++i;
        } else if (c1) {
            escape(byte);
            escape(static_cast<unsigned char>(text[i + 1]));
            i += 2;
        } else {
            printable.append(text, i, length);
            i += length;
        }
    }
    return printable;
}
