// Fuzzes the palette file parser on arbitrary bytes, under each name that
// picks a different path (.act by extension, the others by content), and
// checks that a parsed palette's entries past its colour count are black.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/palette_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (const char* name : {"fuzz.pal", "fuzz.act"}) {
        PaletteFile file;
        std::string reason;
        if (ParsePaletteFile(name, data, size, &file, &reason) == PaletteParse::Parsed) {
            if (file.colours < 1 || file.colours > 256) {
                std::fprintf(stderr, "palette_file_fuzzer: %d colours\n", file.colours);
                std::abort();
            }
            for (int i = 3 * file.colours; i < 768; ++i) {
                if (file.storedBgr[i] != 0) {
                    std::fprintf(stderr, "palette_file_fuzzer: padding byte %d not black\n", i);
                    std::abort();
                }
            }
        } else if (reason.empty()) {
            std::fprintf(stderr, "palette_file_fuzzer: refused without a reason\n");
            std::abort();
        }
    }
    return 0;
}
