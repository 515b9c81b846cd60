#include "pipeline/png_output.h"

#ifdef QVX_CLI_PNG
#include <png.h>

#include <csetjmp>
#include <string>

namespace {

struct PngCodec {
  png_structp png = nullptr;
  png_infop info = nullptr;
};

// libpng's reason becomes the output's error; the long jump follows.
void keep_png_error(png_structp png, png_const_charp message) {
  auto* error = static_cast<std::string*>(png_get_error_ptr(png));
  if (error->empty()) *error = std::string("libpng: ") + message;
  png_longjmp(png, 1);
}

void ignore_png_warning(png_structp, png_const_charp) {}

}  // namespace

// libpng reports errors by a long jump; every call is made from a frame without destructors.
bool begin_png(void** codec, std::string* error, FILE* file, int32_t width, int32_t height, int32_t x_resolution,
               int32_t y_resolution, int bits, const uint8_t (*colours)[3], int count) {
  auto* c = new PngCodec;
  *codec = c;
  c->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, error, keep_png_error, ignore_png_warning);
  if (!c->png) return false;
  // The format allows rows and columns up to 2^31 - 1; libpng's own default stops at a million.
  png_set_user_limits(c->png, 0x7FFFFFFF, 0x7FFFFFFF);
  c->info = png_create_info_struct(c->png);
  if (!c->info) return false;
  png_color palette[256];
  for (int i = 0; colours && i < count && i < 256; ++i) palette[i] = {colours[i][0], colours[i][1], colours[i][2]};
  if (setjmp(png_jmpbuf(c->png))) return false;
  png_init_io(c->png, file);
  png_set_IHDR(c->png, c->info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), bits,
               colours ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (colours) png_set_PLTE(c->png, c->info, palette, count);
  if (x_resolution > 0 && y_resolution > 0) {
    png_set_pHYs(c->png, c->info, static_cast<png_uint_32>(x_resolution), static_cast<png_uint_32>(y_resolution),
                 PNG_RESOLUTION_METER);
  }
  // Dithered levels and colours compress little better at zlib's default than at its
  // fastest (a 12-megapixel acep7 picture: 2.83 MB against 3.02 MB, in 1.3 s against
  // 0.3 s), so they take the fastest; black and white keeps the default.
  if (bits > 1 || colours) png_set_compression_level(c->png, 1);
  png_write_info(c->png, c->info);
  return true;
}

bool write_png_row(void* codec, const uint8_t* row) {
  auto* c = static_cast<PngCodec*>(codec);
  if (setjmp(png_jmpbuf(c->png))) return false;
  png_write_row(c->png, row);
  return true;
}

bool end_png(void* codec) {
  auto* c = static_cast<PngCodec*>(codec);
  if (setjmp(png_jmpbuf(c->png))) return false;
  png_write_end(c->png, c->info);
  return true;
}

void free_png(void** codec) {
  auto* c = static_cast<PngCodec*>(*codec);
  if (!c) return;
  png_destroy_write_struct(&c->png, &c->info);
  delete c;
  *codec = nullptr;
}
#endif
