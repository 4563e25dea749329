// The frame rates an animation is written and played at, the same for the
// command line (--fps) and the page's player and saved animations.
#pragma once

inline constexpr int kMinFps = 1;
inline constexpr int kMaxFps = 100;
inline constexpr int kDefaultFps = 10;
