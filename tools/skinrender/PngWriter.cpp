#include "PngWriter.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include <stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace skinrender {

namespace {

void Append(void* context, void* data, int size) {
  static_cast<std::string*>(context)->append(static_cast<const char*>(data), size);
}

}  // namespace

bool EncodePng(int width, int height, const uint8_t* rgba, std::string& png) {
  png.clear();
  return stbi_write_png_to_func(&Append, &png, width, height, 4, rgba, width * 4) != 0;
}

}  // namespace skinrender
