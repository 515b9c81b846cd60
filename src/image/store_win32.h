// The current picture's platform side: the store block, the decoded device bitmap
// of compressed pictures and the display palette.
#ifndef QVX_STORE_WIN32_H
#define QVX_STORE_WIN32_H

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/picture.h"
#include "image/rle_rows.h"

enum StoreKind { kStoreGlobal = 0, kStoreLocal = 1, kStoreFileView = 2 };

// A BMP file mapped copy-on-write, whose bytes after the 14-byte file header are the
// store: its pages come from the system's file cache instead of fresh memory that
// must be filled. The file stays open, shared for reading only, while it is mapped.
struct FileView {
  HANDLE file = INVALID_HANDLE_VALUE;
  HANDLE mapping = nullptr;
  uint8_t* base = nullptr;  // the whole file
  size_t store_size = 0;    // header, masks, colour table and every row
};

// Unmaps the view and closes its handles.
void close_file_view(FileView& view);

// At most this many bytes hold decoded pixels read back from the device bitmap,
// whatever the picture's size.
constexpr size_t kBandBytes = size_t{16} << 20;
// At most this many bytes hold the decoded rows of an RLE picture.
constexpr size_t kRleGroupBytes = size_t{1} << 20;  // about a core's second-level cache

// Rows of the decoded device bitmap read back as 0xRRGGBB values, a band at a time:
// storage rows [first_row, first_row + rows), columns [first_column, first_column +
// columns). A picture wider than one decoded span is copied a span at a time through
// a bitmap of its own (band_bitmap), which the band's bytes budget includes.
struct DecodedBand {
  std::vector<uint32_t> pixels;  // allocated once per picture
  int32_t capacity_rows = 0, capacity_columns = 0;
  int32_t first_row = 0, rows = 0;
  int32_t first_column = 0, columns = 0;
  HBITMAP band_bitmap = nullptr;
  HDC band_dc = nullptr;
  HGDIOBJ previous_band_bitmap = nullptr;
};

struct PictureState {
  HANDLE store = nullptr;  // a movable block of the family that store_kind names
  int store_kind = kStoreGlobal;
  FileView view;  // the store when store_kind is kStoreFileView
  bool loaded = false;
  PictureDescription description;
  HBITMAP decoded_bitmap = nullptr;
  HDC memory_dc = nullptr;
  HGDIOBJ previous_bitmap = nullptr;
  DecodedBand band;  // the decoded pixels read back so far
  // RLE pictures are decoded by the program itself, as the platform decodes them,
  // a group of rows at a time instead of into a whole-picture device bitmap.
  bool rle_decoded = false;
  RleRows rle_rows;
  HPALETTE display_palette = nullptr;
  HGLOBAL result = nullptr;  // the 1-bit result bitmap: its header, two colours and rows
};

// Locks the picture's store with the family of its kind for the guard's lifetime.
class StoreLock {
 public:
  explicit StoreLock(PictureState& picture);
  ~StoreLock();
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;
  uint8_t* get() const { return bytes_; }
  // Re-takes a store that the reader resized (already locked by it), or forgets a
  // lock that a failed resize gave up.
  void adopt(uint8_t* bytes) { bytes_ = bytes; }
  PictureState& picture() const { return picture_; }

 private:
  PictureState& picture_;
  uint8_t* bytes_;
};

// Returns the size of the store block in bytes.
size_t store_size(const PictureState& picture);

// Allocates the initial 1064-byte store (frame creation); returns false when it can't.
bool create_store(PictureState& picture);

// Frees the store with the family of its kind (frame destruction).
void free_store(PictureState& picture);

// Replaces a plug-in's store or a file view with a fresh global block of 1064 bytes;
// false when it can't.
bool renew_store_as_global(PictureState& picture);

// Resizes a locked movable global block: unlocks it, resizes it and locks it again.
// Returns the new bytes, or null when it can't (the block stays as it was, unlocked).
uint8_t* resize_global_block(HGLOBAL& block, uint32_t size);

// Resizes the global store that `lock` holds: unlocks it, resizes it and locks it
// again. Returns the new bytes, or null when it can't (the store stays as it was,
// unlocked).
uint8_t* resize_store(StoreLock& lock, uint32_t size);

// Makes a plug-in's local block, locked by the caller as `bytes`, the store in place
// of the global one that `lock` holds, which is freed.
void adopt_local_store(StoreLock& lock, HLOCAL block, uint8_t* bytes);

// Makes a pasted global block the store in place of the current one, which is freed.
void adopt_global_store(PictureState& picture, HGLOBAL block);

// Makes a mapped file the store in place of the current one, which is freed.
void adopt_file_view_store(PictureState& picture, const FileView& view);

// Copies a store that is a view of the named file into a global block and lets the
// file go, so that the file can be replaced. True when there is nothing to do or
// the copy is made; false when the memory can't be had (the view stays).
bool release_store_file(PictureState& picture, const char* file_name);

// Releases the picture's display resources and clears the loaded flag.
void clean_up_picture(PictureState& picture);

// Who decodes a compressed picture: the program where its decoding equals the
// platform's (RLE on a screen of 24 bits or more), or always the platform.
enum class Decoder { kBest, kPlatform };

// Decodes a compressed picture and prepares its read-back: RLE pictures a group of
// rows at a time by the program, the rest through a device bitmap read back in
// bands. False when the memory for it can't be had.
bool set_up_read_back(PictureState& picture, HWND frame, Decoder decoder = Decoder::kBest);

// Returns colours [x, x + count) of a decoded storage row, reading a new band when
// they lie outside the current one, or null when the platform can't provide them.
// The context is the PictureState whose band is read. count is at most
// kDecodedSpan and the span lies within one multiple of it.
const uint32_t* decoded_pixels(void* context, int32_t row, int32_t x, int32_t count);


// Returns a palette for the locked store, or null when it can't be made.
HPALETTE create_display_palette(const PictureState& picture, const uint8_t* store);

#endif
