// Times what a user waits for under Wine, with a 4000 x 3000 24-bit picture fitted to
// the panes: opening it until both panes are painted, and letting go of the density
// bar until the result pane is painted again (fast mode off, and on for comparison).
// Usage: qvx_interactive_bench.exe [runs]   Prints medians and quartiles in ms.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "../../tests/win32/frame_fixture.h"
#include "../../tests/win32/test_frame.h"
#include "app/control_bar.h"
#include "app/frame_win32.h"
#include "app/scroll_win32.h"
#include "app/zoom_win32.h"
#include "app/zoom.h"
#include "mono/conversion.h"
#include "mono/convert_win32.h"
#include "mono/result_win32.h"
#include "res/resource_ids.h"
#include "view/view_state.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000;

void put(std::vector<unsigned char>& out, size_t at, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

// A 24-bit picture with every luminance in it, in smooth and busy parts.
std::string write_picture(const std::string& folder) {
  const size_t stride = (3 * kWidth + 3) & ~size_t{3};
  std::vector<unsigned char> file(54 + stride * kHeight, 0);
  file[0] = 'B';
  file[1] = 'M';
  put(file, 2, static_cast<uint32_t>(file.size()), 4);
  put(file, 10, 54, 4);
  put(file, 14, 40, 4);
  put(file, 18, kWidth, 4);
  put(file, 22, kHeight, 4);
  put(file, 26, 1, 2);
  put(file, 28, 24, 2);
  for (size_t y = 0; y < kHeight; ++y) {
    unsigned char* row = &file[54 + y * stride];
    for (size_t x = 0; x < kWidth; ++x) {
      row[3 * x] = static_cast<unsigned char>(x * 255 / kWidth);
      row[3 * x + 1] = static_cast<unsigned char>(y * 255 / kHeight);
      row[3 * x + 2] = static_cast<unsigned char>((x ^ y) * 7);
    }
  }
  const std::string path = folder + "big.bmp";
  return write_file(path, file) ? path : "";
}

double now_ms() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Paints whatever is invalid in the frame and its panes, and waits for the drawing.
void paint_now(HWND frame) {
  RedrawWindow(frame, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  GdiFlush();
}

void report(const char* name, int runs, const std::function<void(int)>& action) {
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    const double start = now_ms();
    action(run);
    times.push_back(now_ms() - start);
  }
  std::sort(times.begin(), times.end());
  std::printf("  %-52s median %7.1f ms  (quartiles %.1f .. %.1f)\n", name, times[times.size() / 2],
              times[times.size() / 4], times[3 * times.size() / 4]);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = std::max(argc > 1 ? std::atoi(argv[1]) : 11, 1);
  const std::string folder = temp_directory();
  const std::string path = write_picture(folder);
  MessageBoxWatcher watcher;  // a failure message must not block the run
  RealFrame frame(false, 1024, 768);
  frame.state.view.zoom_level = kFitZoomLevel;
  apply_zoom(frame.state);
  frame.command(IDM_FAST);  // fast mode off: every change converts the whole picture
  paint_now(frame.frame);
  // The first open fills memory the process never touched; later ones reuse it.
  const double first_start = now_ms();
  if (path.empty() || !frame.open(path)) {
    std::printf("the bench picture could not be opened\n");
    return 1;
  }
  paint_now(frame.frame);
  const double first_open = now_ms() - first_start;
  HWND bar = frame.state.controls[kDensityBar];

  // The thumb let go at a new density: the bar sends its position, then the end.
  auto release_density = [&](int run) {
    const int density = run % 2 ? 100 : 150;
    SetScrollPos(bar, SB_CTL, density, TRUE);
    SendMessageA(frame.frame, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, density), reinterpret_cast<LPARAM>(bar));
    SendMessageA(frame.frame, WM_HSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), reinterpret_cast<LPARAM>(bar));
    paint_now(frame.frame);
  };
  std::printf("%d x %d 24-bit picture, zoom fit, frame 1024 x 768, %d runs\n", kWidth, kHeight, runs);
  std::printf("  %-52s        %7.1f ms\n", "first open to both panes painted (fast mode off)", first_open);
  report("open to both panes painted (fast mode off)", runs, [&](int) {
    frame.open(path);
    paint_now(frame.frame);
  });
  report("density released to result pane painted (fast mode off)", runs, release_density);
  // Its parts.
  report("  the conversion alone", runs, [&](int run) { convert_into_result(frame.state.picture, frame.frame, run % 2 ? 100 : 150, frame.state.conversion, frame.state.random, 0, 0); });
  report("  the result pane's repaint alone", runs, [&](int) {
    InvalidateRect(frame.state.result_pane, nullptr, TRUE);
    paint_now(frame.frame);
  });
  report("  the source pane's repaint alone", runs, [&](int) {
    InvalidateRect(frame.state.source_pane, nullptr, TRUE);
    paint_now(frame.frame);
  });
  frame.command(IDM_FAST);
  report("open to both panes painted (fast mode on)", runs, [&](int) {
    frame.open(path);
    paint_now(frame.frame);
  });
  report("density released to result pane painted (fast mode on)", runs, release_density);
  DeleteFileA(path.c_str());
  RemoveDirectoryA(folder.c_str());
  return 0;
}
