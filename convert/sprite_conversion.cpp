#include "convert/sprite_conversion.h"

#include <cstring>
#include <optional>

#include "convert/frame_placement.h"

SpriteReport ConvertSprite(const std::uint8_t* bytes, std::uint32_t size, const std::string& fileName,
                           const RunSettings& settings, std::size_t file, Diagnostics& diagnostics,
                           const std::function<bool(std::uint64_t)>& admit) {
    SpriteReport report;
    const std::optional<Dc6Sprite> sprite = ParseDc6(bytes, size, diagnostics);
    if (!sprite) return report;
    if (admit && !admit(size + LargestCanvasBytes(*sprite, settings.options))) return report;
    char name[kNameBufferSize] = {};
    std::strncpy(name, fileName.c_str(), sizeof name - 1);
    StripExtension(name);
    report.imagesWritten = WriteSpriteImages({*sprite, settings, diagnostics, file}, fileName, name).imagesWritten;
    report.outcome = SpriteOutcome::Converted;
    return report;
}
