#include "mono/clipboard_copy_win32.h"

#include "base/guards_win32.h"
#include "image/le_bytes.h"
#include "image/picture.h"
#include "image/store_win32.h"
#include "mono/conversion.h"
#include "mono/result_bitmap.h"
#include "mono/result_win32.h"

bool put_result_on_clipboard(const PictureState& picture, HWND frame, ResultRefresh refresh) {
  const PictureDescription& d = picture.description;
  HBITMAP bitmap = CreateBitmap(d.width, d.height, 1, 1, nullptr);
  if (!bitmap) return false;
  if (refresh && !refresh(frame)) {
    DeleteObject(bitmap);
    return false;
  }
  {
    GlobalLockGuard result(picture.result);
    WindowDc dc(frame);
    if (result.get()) {
      const int32_t height = get_i32(result.get() + kHeightField);
      SetDIBits(dc.get(), bitmap, 0, static_cast<UINT>(height < 0 ? -static_cast<int64_t>(height) : height),
                result.get() + kResultPixelOffset, reinterpret_cast<const BITMAPINFO*>(result.get()),
                DIB_RGB_COLORS);
    }
  }
  // A clipboard held by another program: the bitmap is not handed over, so it is deleted.
  if (!OpenClipboard(frame)) {
    DeleteObject(bitmap);
    return false;
  }
  EmptyClipboard();
  if (!SetClipboardData(CF_BITMAP, bitmap)) DeleteObject(bitmap);
  return CloseClipboard() != FALSE;
}
