// The files the page offers for download: the command's own conversion and writers,
// run over the picture in memory with the page's settings.
#ifndef QVX_WEB_PAGE_EXPORT_H
#define QVX_WEB_PAGE_EXPORT_H

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "page_failure.h"
#include "page_picture.h"
#include "pipeline/conversion_request.h"

struct PageExport {
  std::vector<uint8_t> bytes;
  PageFailure failure;                         // no code on success
  int32_t x_resolution = 0, y_resolution = 0;  // pixels per metre, for a PNG made of the rows
};

// Converts the picture as quillvex-cli converts its file with the same request (checked:
// read_page_request), under `file_name` (a device array is named after it). `bmp` is
// the BMP file the picture was read from, or null for a decoded picture.
// Runs `write` into a file in memory and keeps the bytes it wrote in result.bytes, or
// its failure in result.failure.
void export_into_memory(PageExport& result, const std::function<PageFailure(FILE*)>& write);

void export_picture(const ConversionRequest& request, const std::string& file_name, const PagePicture& picture,
                    const uint8_t* bmp, size_t bmp_size, PageExport& out);

#endif
