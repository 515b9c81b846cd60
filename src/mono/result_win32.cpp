#include "mono/result_win32.h"

#include "base/guards_win32.h"
#include "image/store_win32.h"
#include "mono/result_bitmap.h"

bool create_result_block(PictureState& picture) {
  picture.result = GlobalAlloc(GMEM_MOVEABLE, kInitialResultSize);
  return picture.result != nullptr;
}

void free_result_block(PictureState& picture) {
  if (picture.result) GlobalFree(picture.result);
  picture.result = nullptr;
}

bool prepare_result_block(PictureState& picture) {
  const PictureDescription& d = picture.description;
  const uint32_t size = result_block_size(static_cast<uint32_t>(d.width), static_cast<uint32_t>(d.height));
  if (size == 0) return false;
  HGLOBAL resized = GlobalReAlloc(picture.result, size, GMEM_MOVEABLE);
  if (!resized) return false;
  picture.result = resized;
  GlobalLockGuard result(picture.result);
  StoreLock store(picture);
  if (!result.get() || !store.get()) return false;
  prepare_result(store.get(), static_cast<uint32_t>(d.width), static_cast<uint32_t>(d.height), result.get(), size);
  return true;
}
