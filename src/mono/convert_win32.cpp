#include "mono/convert_win32.h"

#include <cstring>

#include "base/guards_win32.h"
#include "image/store_win32.h"
#include "mono/conversion.h"
#include "mono/result_win32.h"

namespace {

struct ProgressText {
  HDC dc;
  int x, y;
  char last[16];
};

// Draws the percentage once per row; a text equal to the one already drawn at the
// same place would paint the same pixels, so it is skipped.
void draw_progress(void* context, int32_t row, int32_t height) {
  auto* progress = static_cast<ProgressText*>(context);
  char text[16];
  format_progress(row, height, text, sizeof text);
  if (std::strcmp(text, progress->last) == 0) return;
  std::memcpy(progress->last, text, sizeof text);
  TextOutA(progress->dc, progress->x, progress->y, text, static_cast<int>(std::strlen(text)));
}

}  // namespace

bool convert_into_result(PictureState& picture, HWND window, int density, const ConversionSettings& settings,
                         RandomSource& random, int progress_x, int progress_y) {
  WaitCursor wait;
  WindowDc dc(window);
  StoreLock store(picture);
  GlobalLockGuard result(picture.result);
  if (!store.get() || !result.get()) return true;
  ProgressText progress{dc.get(), progress_x, progress_y, {}};
  ConversionSource source{store.get(), &picture.description, nullptr, decoded_pixels, &picture};
  return convert_picture(source, result.get(), density, settings.mode, settings.invert, random,
                         draw_progress, &progress);
}
