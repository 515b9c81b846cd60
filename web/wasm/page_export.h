// The files the page offers for download: the command's own conversion and writers,
// run over the picture in memory with the command's options.
#ifndef QVX_WEB_PAGE_EXPORT_H
#define QVX_WEB_PAGE_EXPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "halftone/halftone.h"
#include "page_picture.h"

struct PageExport {
  std::vector<uint8_t> bytes;
  std::string error;  // empty on success
  int32_t x_resolution = 0, y_resolution = 0;  // pixels per metre, for a PNG made of the rows
};

// The settings of the preview, as the command takes them from its arguments.
struct PageSettings {
  int kind = 0;  // as start_result takes it
  HalftoneParams params;
};

// Reads the command's arguments for the settings (-t, -m, -i and the method's options)
// with the command's parser, whose check includes the core's check of the method's
// parameters; returns "" and fills `settings`, or the command's message.
std::string parse_page_settings(const std::vector<std::string>& args, PageSettings& settings);

// Converts the picture as `quillvex-cli ARGS` would convert its file: `args` are the
// command's arguments (an output name with -o, no input); `bmp` is the BMP file the
// picture was read from, or null for a decoded picture.
void export_picture(const std::vector<std::string>& args, const PagePicture& picture, const uint8_t* bmp,
                    size_t bmp_size, PageExport& out);

#endif
