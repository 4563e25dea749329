// The animation of a sprite whose frames have offsets: NAME.apng or NAME.gif
// beside the frames' images, every frame shown alone on one canvas, placed
// with its top-left pixel at its x and y offsets.
//
// The canvas is the union of the frames' rectangles, so its top-left corner
// lies at the smallest offsets. Each frame is shown for 1000 / FPS ms (GIF
// counts in hundredths of a second), and the animation loops forever. The
// colours are the run's palette, indices kept; the pixels no literal run of
// a frame writes, and the canvas around the frame, are transparent, marked
// with one index chosen as for a PNG image over all the frames (an animated
// PNG whose frames use all 256 indices is RGBA; a GIF then marks each frame
// with an index of its own, and a frame with none left cannot be written).
#pragma once

#include <cstdint>

#include "convert/image_plan.h"
#include "convert/run_settings.h"
#include "sprite/dc6_sprite.h"

struct AnimationCanvas {
    std::int64_t x = 0;  // the smallest x offset of a frame with pixels
    std::int64_t y = 0;
    std::int64_t width = 0;  // 0 when no frame has pixels
    std::int64_t height = 0;
};

// The canvas of the sprite's frames (frames without a pixel take no room;
// one of 1 x 1 at 0, 0 when no frame has any). Reads the frame headers only.
AnimationCanvas CanvasOfFrames(const Dc6Sprite& sprite);

// Writes the animation of the job's sprite to path on canvas (claimed here;
// a notice when it cannot be written), as the job's settings say. The frames
// are decoded again, quietly: their faults were told with their images.
void WriteAnimation(const SpriteJob& job, const OutputPath& path, const AnimationCanvas& canvas);
