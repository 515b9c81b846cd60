#include <cstring>

#include "app/control_bar.h"
#include "app/frame_win32.h"
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

bool convert(HWND frame) {
  WaitCursor wait;
  WindowDc dc(frame);
  const int base = current_density();
  StoreLock store;
  GlobalLockGuard result(g_result);
  if (!store.get() || !result.get()) return true;
  ProgressText progress{dc.get(), 0, 0, {}};
  progress_text_position(g_frame.metrics, g_frame.text_height, progress.x, progress.y);
  ConversionSource source{store.get(), &g_picture.description, nullptr, decoded_pixels, nullptr};
  return convert_picture(source, result.get(), base, g_conversion.mode, g_conversion.invert, g_random, draw_progress,
                         &progress);
}
