// The picture the page holds: its colours for the source pane, its luminance for the
// conversion and the histogram, and its header for the Info panel. A BMP file is read
// by the core's reader; any other picture arrives decoded by the browser.
#ifndef QVX_WEB_PAGE_PICTURE_H
#define QVX_WEB_PAGE_PICTURE_H

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "image/read_code.h"

// A large block that the page can do without: allocated with malloc so that a refused
// allocation is an answer, not an abort. Not cleared: first touches of fresh memory
// are slow, and every user writes the whole block.
template <class T>
struct Block {
  std::unique_ptr<T[], void (*)(void*)> data{nullptr, std::free};
  bool allocate(size_t count) {
    data.reset(count > SIZE_MAX / sizeof(T) ? nullptr : static_cast<T*>(std::malloc(count == 0 ? sizeof(T) : count * sizeof(T))));
    return data != nullptr;
  }
  T* get() const { return data.get(); }
};

struct PagePicture {
  int32_t width = 0, height = 0;
  bool bottom_up = true;        // storage row 0 is the bottom row
  bool from_bmp = false;
  std::vector<uint8_t> head;    // the store up to its pixels: header, masks, colour table
  uint32_t source_header_size = 40, mask_byte_count = 0;
  Block<uint32_t> colours;      // top row first, RGBA bytes (red in the low byte) for the canvas
  Block<uint8_t> luma;          // storage order
  uint64_t histogram[256] = {};
  int otsu = 127;
};

// Returns the storage row of the row `top` rows from the top.
inline int32_t storage_row(const PagePicture& p, int32_t top) { return p.bottom_up ? p.height - 1 - top : top; }

// Reads a BMP file held in memory; kOk, or why it can't (kTooLarge above max_pixels,
// kShortData when the rows are not all there, kNoMemory when memory runs out).
ReadCode open_bmp_picture(const uint8_t* bytes, size_t size, uint64_t max_pixels, PagePicture& picture);

// How a decoded picture's pixels are laid out: four bytes each, red or blue first,
// with alpha or a filler byte.
enum class PixelOrder : int { kRgba = 0, kRgbx = 1, kBgra = 2, kBgrx = 3 };

// Takes over a picture the browser decoded (`pixels` from malloc, top row first,
// four bytes a pixel), whose block becomes the pane's colours; `head` is the file's
// start, where a recorded resolution is found. kNoMemory when memory runs out.
ReadCode adopt_decoded_picture(uint8_t* pixels, int32_t width, int32_t height, PixelOrder order, const uint8_t* head,
                               size_t head_size, PagePicture& picture);

// Makes a picture of luminance alone, for a worker that converts bands of another
// worker's picture; its rows are filled by the caller. kNoMemory when memory runs out.
ReadCode open_luma_picture(int32_t width, int32_t height, bool bottom_up, PagePicture& picture);

// Returns 0xRRGGBB of a canvas colour.
inline uint32_t rgb_of_canvas(uint32_t rgba) {
  return ((rgba & 0xFF) << 16) | (rgba & 0xFF00) | ((rgba >> 16) & 0xFF);
}

#endif
