// Coding a frame the packer has mapped to sprite indices, with the refusal
// the packer gives when the terminator leaves it no coding.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "sprite/dc6_writer.h"

// Codes the record->width x record->height pixels (indices and opaque marks,
// rows top first, stride width) into record->coded. False with *reason when
// no coding of them with the terminator ends the frame where it ends; number
// is the frame's, for the reason.
bool CodePackedFrame(const std::uint8_t* pixels, const std::uint8_t* opaque, Dc6FrameRecord* record,
                     const std::array<std::uint8_t, 4>& terminator, std::size_t number, std::string* reason);
