#include "cli/printable.h"

std::string Printable(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string printable;
    printable.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            printable += "\\x";
            printable += kHex[byte >> 4];
            printable += kHex[byte & 0xF];
        } else {
            printable += c;
        }
    }
    return printable;
}
