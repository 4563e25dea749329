// Fuzzes kelvane-pack's way from a manifest and its images to a sprite.
//
// An input is up to four files joined by the marker below: the manifest
// (m.json), two images (a.png, b.pcx: the names say nothing of what they
// hold) and the original sprite (s.dc6), all written to a folder of the
// target's own and packed with PackManifest. Whatever the bytes, the packing
// must end without a fault and within the memory limit the runner sets
// (the images may declare any size): refused with a reason, or packed into a
// sprite of the manifest's frames that the writer takes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "convert/sprite_packing.h"
#include "platform/byte_sink.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr char kMarker[] = "\n#KVPART\n";
const char* const kFiles[] = {"m.json", "a.png", "b.pcx", "s.dc6"};

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "pack_fuzzer: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static test::TempFolder folder;  // removed with its contents at exit
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    for (const char* name : kFiles) {
        std::remove(name);
        if (start > input.size()) continue;
        std::size_t end = input.find(kMarker, start);
        if (end == std::string::npos) end = input.size();
        test::WriteFile(name, test::Bytes(input.begin() + static_cast<std::ptrdiff_t>(start),
                                          input.begin() + static_cast<std::ptrdiff_t>(end)));
        start = end + std::strlen(kMarker);
    }

    Dc6File sprite;
    std::string name;
    PackReport report;
    PackSettings settings;
    settings.nearest = size % 2 == 0;
    if (!PackManifest("m.json", settings, &sprite, &name, &report)) {
        Require(!report.reason.empty() && !report.subject.empty(), "refused without saying why");
        return 0;
    }
    Require(IsSpriteFileName(name), "packed under a name the packer must not write");
    Require(!sprite.frames.empty() && sprite.frames.size() <= 12, "packed a frame count outside 1..12");
    MemorySink sink;
    std::string reason;
    Require(WriteDc6(sink, sprite, &reason), "packed a sprite the writer refuses");
    for (const auto& notice : report.notices) Require(!notice.second.empty(), "an empty notice");
    return 0;
}
