// The files the page offers for download: the command's own conversion and writers,
// run over the picture in memory with the command's options.
#ifndef QVX_WEB_PAGE_EXPORT_H
#define QVX_WEB_PAGE_EXPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "page_picture.h"

struct PageExport {
  std::vector<uint8_t> bytes;
  std::string error;  // empty on success
  int32_t x_resolution = 0, y_resolution = 0;  // pixels per metre, for a PNG made of the rows
};

// Converts the picture as `quillvex-cli ARGS` would convert its file: `args` are the
// command's arguments (an output name with -o, no input); `bmp` is the BMP file the
// picture was read from, or null for a decoded picture.
void export_picture(const std::vector<std::string>& args, const PagePicture& picture, const uint8_t* bmp,
                    size_t bmp_size, PageExport& out);

#endif
