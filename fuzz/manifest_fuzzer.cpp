// Fuzzes the manifest reader with arbitrary text.
//
// Whatever the bytes, ManifestFromJson must return without crashing or
// throwing. When it accepts them, the manifest must survive a round trip:
// written with ManifestToJson and read again, it gives the same manifest, and
// every name in it is one the packer may open.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "convert/manifest.h"

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "manifest_fuzzer: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    SpriteManifest manifest;
    std::string reason;
    if (!ManifestFromJson(text, &manifest, &reason)) {
        Require(!reason.empty(), "refused without a reason");
        return 0;
    }
    Require(!manifest.frames.empty() && manifest.frames.size() <= 12, "accepted a frame count outside 1..12");
    Require(IsManifestFileName(manifest.sprite), "accepted a sprite name the packer must not open");
    for (const FrameEntry& frame : manifest.frames)
        Require(!frame.filename || IsManifestFileName(*frame.filename),
                "accepted an image name the packer must not open");

    const std::string written = ManifestToJson(manifest);
    SpriteManifest again;
    Require(ManifestFromJson(written, &again, &reason), "refused its own output");
    Require(again == manifest, "round trip changed the manifest");
    Require(ManifestToJson(again) == written, "writing is not deterministic");
    return 0;
}
