#include "mono/result_win32.h"

#include "base/guards_win32.h"
#include "image/store_win32.h"
#include "mono/result_bitmap.h"

HGLOBAL g_result = nullptr;

bool create_result_block() {
  g_result = GlobalAlloc(GMEM_MOVEABLE, kInitialResultSize);
  return g_result != nullptr;
}

void free_result_block() {
  if (g_result) GlobalFree(g_result);
  g_result = nullptr;
}

bool prepare_result_block() {
  const PictureDescription& d = g_picture.description;
  const uint32_t size = result_block_size(static_cast<uint32_t>(d.width), static_cast<uint32_t>(d.height));
  if (size == 0) return false;
  HGLOBAL resized = GlobalReAlloc(g_result, size, GMEM_MOVEABLE);
  if (!resized) return false;
  g_result = resized;
  GlobalLockGuard result(g_result);
  StoreLock store;
  if (!result.get() || !store.get()) return false;
  prepare_result(store.get(), static_cast<uint32_t>(d.width), static_cast<uint32_t>(d.height), result.get(), size);
  return true;
}
