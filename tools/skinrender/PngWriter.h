#pragma once

#include <cstdint>
#include <string>

namespace skinrender {

// Encodes `width` x `height` straight (not premultiplied) RGBA bytes,
// row-major without padding, as a PNG file image. False when the encoder
// fails. Shared by the skinrender tool and the tests that build images.
[[nodiscard]] bool EncodePng(int width, int height, const uint8_t* rgba, std::string& png);

}  // namespace skinrender
