// Times full repaints of the panes under Wine: a 1000 x 700 result pane at zoom 1 in
// fast mode (the live rendering), and the source pane beside it. Prints the median
// and the spread of repeated full invalidations.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/control_bar.h"
#include "app/frame_win32.h"
#include "view/view_state.h"
#include "app/picture_commands_win32.h"
#include "image/store_win32.h"
#include "mono/conversion.h"
#include "mono/result_win32.h"
#include "view/panes_win32.h"

namespace {

constexpr int kWidth = 1000, kHeight = 700, kRuns = 21;

// Keeps the state it is created with, as the frame's procedure does, and nothing more.
LRESULT CALLBACK plain(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE)
    keep_frame_state(window, static_cast<FrameState*>(reinterpret_cast<CREATESTRUCTA*>(lparam)->lpCreateParams));
  return DefWindowProcA(window, message, wparam, lparam);
}

void register_class(const char* name, WNDPROC procedure, HBRUSH background) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = procedure;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = background;
  wc.lpszClassName = name;
  RegisterClassA(&wc);
}

void put(std::vector<unsigned char>& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// A 24-bit picture of pane size with every luminance in it.
std::string write_picture() {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const std::string path = std::string(folder) + "qvx_paint_bench.bmp";
  const uint32_t stride = (3 * kWidth + 3) & ~3u;
  std::vector<unsigned char> file = {'B', 'M'};
  put(file, 54 + stride * kHeight, 4);
  put(file, 0, 4);
  put(file, 54, 4);
  put(file, 40, 4);
  put(file, kWidth, 4);
  put(file, kHeight, 4);
  put(file, 1, 2);
  put(file, 24, 2);
  for (int i = 0; i < 6; ++i) put(file, 0, 4);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) put(file, ((x * 7 + y * 3) & 0xFF) * 0x010101u, 3);
    for (uint32_t pad = 3 * kWidth; pad < stride; ++pad) file.push_back(0);
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return "";
  std::fwrite(file.data(), 1, file.size(), f);
  std::fclose(f);
  return path;
}

double median_paint_ms(HWND pane, double* spread_low, double* spread_high) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  std::vector<double> times;
  for (int run = 0; run < kRuns; ++run) {
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    InvalidateRect(pane, nullptr, TRUE);
    UpdateWindow(pane);
    GdiFlush();
    QueryPerformanceCounter(&end);
    times.push_back(1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart);
  }
  std::sort(times.begin(), times.end());
  *spread_low = times[kRuns / 4];
  *spread_high = times[3 * kRuns / 4];
  return times[kRuns / 2];
}

}  // namespace

int main() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  const HBRUSH grey = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
  register_class("qvx_bench_frame", plain, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  register_class("qvx_childWClass", CHILDWNDPROC, grey);
  register_class("qvx_monoWClass", MONOWNDPROC, grey);
  // The frame's state, kept by the bench frame's window as the program's frame keeps its own.
  FrameState state;
  state.instance = instance;
  state.version = 1537;
  HDC screen = GetDC(nullptr);
  state.screen_depth = GetDeviceCaps(screen, PLANES) * GetDeviceCaps(screen, BITSPIXEL);
  ReleaseDC(nullptr, screen);
  state.frame = CreateWindowExA(0, "qvx_bench_frame", "QUILLVEX", WS_POPUP | WS_VISIBLE, 0, 0, kWidth + 20,
                                  kHeight + 40, nullptr, nullptr, instance, &state);
  state.controls[kDensityBar] = CreateWindowExA(0, "scrollbar", "", WS_CHILD | SBS_HORZ, 0, 0, 300, 13,
                                                  state.frame, nullptr, instance, nullptr);
  SetScrollRange(state.controls[kDensityBar], SB_CTL, 0, 254, FALSE);
  SetScrollPos(state.controls[kDensityBar], SB_CTL, 127, FALSE);
  state.source_pane = CreateWindowExA(0, "qvx_childWClass", "", WS_CHILD | WS_VISIBLE, 0, 20, kWidth, kHeight,
                                        state.frame, nullptr, instance, nullptr);
  state.result_pane = CreateWindowExA(0, "qvx_monoWClass", "", WS_CHILD, 0, 20, kWidth, kHeight, state.frame,
                                        nullptr, instance, nullptr);
  set_pane_conditions_source(state.source_pane, pane_conditions);
  set_pane_conditions_source(state.result_pane, pane_conditions);
  state.menu = CreateMenu();
  create_store(state.picture);
  create_result_block(state.picture);
  const std::string path = write_picture();
  set_file_name(state, path.c_str());
  if (path.empty() || !open_picture(state, false)) {
    std::printf("the bench picture could not be opened\n");
    return 1;
  }
  state.view.zoom_level = 1;
  state.view.zoom_factor = 1.0;
  double low, high;
  struct Case {
    const char* name;
    HWND pane;
    int mode;
  } cases[] = {{"result pane, fast mode, Letter", state.result_pane, kModeLetter},
               {"result pane, fast mode, photo(Soft)", state.result_pane, kModePhotoSoft},
               {"source pane", state.source_pane, kModeLetter}};
  std::printf("full repaint of a %d x %d pane at zoom 1, %d runs (screen depth %d)\n", kWidth, kHeight, kRuns,
              state.screen_depth);
  for (const Case& c : cases) {
    state.conversion.mode = c.mode;
    // The timed pane alone is shown, whole on the screen.
    ShowWindow(c.pane == state.source_pane ? state.result_pane : state.source_pane, SW_HIDE);
    ShowWindow(c.pane, SW_SHOW);
    UpdateWindow(c.pane);
    const double median = median_paint_ms(c.pane, &low, &high);
    std::printf("  %-38s median %7.2f ms  (quartiles %.2f .. %.2f)\n", c.name, median, low, high);
  }
  clean_up_picture(state.picture);
  free_store(state.picture);
  free_result_block(state.picture);
  DestroyWindow(state.frame);
  DeleteFileA(path.c_str());
  return 0;
}
