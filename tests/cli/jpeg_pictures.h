// JPEG files for the fit tests, written and read with libvips in a file of their own:
// libvips' headers name a type as the reader's headers do.
#ifndef QVX_TESTS_CLI_JPEG_PICTURES_H
#define QVX_TESTS_CLI_JPEG_PICTURES_H

#include <cstdint>
#include <string>
#include <vector>

// Writes RGB pixels as a JPEG of high quality with this EXIF orientation (1: none).
bool save_jpeg(const std::vector<uint8_t>& rgb, int width, int height, int orientation, const std::string& path);

// Decodes a JPEG whole, turned upright; its RGB pixels, or empty on a failure.
std::vector<uint8_t> decode_jpeg_upright(const std::string& path, int& width, int& height);

#endif
