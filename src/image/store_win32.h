// The current picture's platform side: the store block, the decoded device bitmap
// of compressed pictures and the display palette.
#ifndef QVX_STORE_WIN32_H
#define QVX_STORE_WIN32_H

#include <windows.h>

#include <cstdint>
#include <vector>

#include "image/picture.h"

enum StoreKind { kStoreGlobal = 0, kStoreLocal = 1 };

struct PictureState {
  HANDLE store = nullptr;  // a movable block of the family that store_kind names
  int store_kind = kStoreGlobal;
  bool loaded = false;
  PictureDescription description;
  HBITMAP decoded_bitmap = nullptr;
  HDC memory_dc = nullptr;
  HGDIOBJ previous_bitmap = nullptr;
  std::vector<uint32_t> read_back_pixels;  // 0xRRGGBB, storage row r at r * width
  HPALETTE display_palette = nullptr;
};

extern PictureState g_picture;

// Locks the store with the family of its kind for the guard's lifetime.
class StoreLock {
 public:
  StoreLock();
  ~StoreLock();
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;
  uint8_t* get() const { return bytes_; }
  // Re-takes a store that the reader resized (already locked by it), or forgets a
  // lock that a failed resize gave up.
  void adopt(uint8_t* bytes) { bytes_ = bytes; }

 private:
  uint8_t* bytes_;
};

// Allocates the initial 1064-byte store (frame creation); returns false when it can't.
bool create_store();

// Frees the store with the family of its kind (frame destruction).
void free_store();

// Replaces a plug-in's store with a fresh global block of 1064 bytes; false when it can't.
bool renew_store_as_global();

// Releases the picture's display resources and clears the loaded flag.
void clean_up_picture();

// Decodes a compressed picture through the platform and reads its pixels back in bulk.
void set_up_read_back(HWND frame);

// Returns the decoded colour of pixel x of storage row `row` as 0xRRGGBB.
uint32_t read_back_pixel(int32_t x, int32_t row);

// Returns a palette for the locked store, or null when it can't be made.
HPALETTE create_display_palette(const uint8_t* store);

#endif
