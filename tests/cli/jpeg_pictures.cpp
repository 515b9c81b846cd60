#ifdef QVX_CLI_VIPS
#include "jpeg_pictures.h"

#include <vips/vips.h>

bool save_jpeg(const std::vector<uint8_t>& rgb, int width, int height, int orientation, const std::string& path) {
  VipsImage* image = vips_image_new_from_memory_copy(rgb.data(), rgb.size(), width, height, 3, VIPS_FORMAT_UCHAR);
  if (image == nullptr) return false;
  if (orientation != 1) vips_image_set_int(image, VIPS_META_ORIENTATION, orientation);
  const bool ok = vips_jpegsave(image, path.c_str(), "Q", 97, nullptr) == 0;
  g_object_unref(image);
  return ok;
}

std::vector<uint8_t> decode_jpeg_upright(const std::string& path, int& width, int& height) {
  VipsImage* whole = nullptr;
  VipsImage* upright = nullptr;
  if (vips_jpegload(path.c_str(), &whole, nullptr) != 0) return {};
  const bool turned = vips_autorot(whole, &upright, nullptr) == 0;
  g_object_unref(whole);
  if (!turned) return {};
  width = vips_image_get_width(upright);
  height = vips_image_get_height(upright);
  size_t bytes = 0;
  auto* pixels = static_cast<uint8_t*>(vips_image_write_to_memory(upright, &bytes));
  g_object_unref(upright);
  if (pixels == nullptr) return {};
  std::vector<uint8_t> rgb(pixels, pixels + bytes);
  g_free(pixels);
  return rgb;
}
#endif
