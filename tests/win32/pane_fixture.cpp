#include "pane_fixture.h"

#include <algorithm>
#include <cstring>

#include "app/frame_win32.h"
#include "view/view_state.h"
#include "app/picture_commands_win32.h"
#include "image/store_win32.h"
#include "mono/conversion.h"
#include "view/panes_win32.h"

namespace {

void put16(std::vector<unsigned char>& out, uint32_t v) {
  out.push_back(static_cast<unsigned char>(v));
  out.push_back(static_cast<unsigned char>(v >> 8));
}

void put32(std::vector<unsigned char>& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

void register_pane_classes() {
  static bool done = false;
  if (done) return;
  done = true;
  WNDCLASSA wc = {};
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
  wc.lpfnWndProc = CHILDWNDPROC;
  wc.lpszClassName = "qvx_childWClass";
  RegisterClassA(&wc);
  wc.lpfnWndProc = MONOWNDPROC;
  wc.lpszClassName = "qvx_monoWClass";
  RegisterClassA(&wc);
}

void pump_messages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

}  // namespace

uint32_t test_palette_entry(uint32_t i) {
  return (((i * 97) & 0xFF) << 16) | (((i * 57 + 11) & 0xFF) << 8) | ((i * 181 + 3) & 0xFF);
}

uint32_t scatter(int32_t x, int32_t y) {
  uint32_t h = static_cast<uint32_t>(x) * 73856093u ^ static_cast<uint32_t>(y) * 19349663u;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  return h;
}

std::vector<unsigned char> picture_file(const TestPicture& p) {
  const bool indexed = p.bit_count == 8;
  std::vector<unsigned char> rows;
  const size_t stride = indexed ? (static_cast<size_t>(p.width) + 3) & ~size_t{3}
                                : (3 * static_cast<size_t>(p.width) + 3) & ~size_t{3};
  for (int32_t k = 0; k < p.height; ++k) {
    // Storage row k: the bottom row first unless the picture is top-down.
    const int32_t y = p.top_down ? k : p.height - 1 - k;
    if (p.rle) {
      for (int32_t x = 0; x < p.width; ++x) {
        rows.push_back(1);
        rows.push_back(static_cast<unsigned char>(p.index(x, y)));
      }
      rows.push_back(0);
      rows.push_back(k + 1 == p.height ? 1 : 0);
      continue;
    }
    std::vector<unsigned char> line(stride, 0);
    for (int32_t x = 0; x < p.width; ++x) {
      const uint32_t v = p.index(x, y);
      if (indexed) {
        line[x] = static_cast<unsigned char>(v);
      } else {
        line[3 * x] = static_cast<unsigned char>(v);
        line[3 * x + 1] = static_cast<unsigned char>(v >> 8);
        line[3 * x + 2] = static_cast<unsigned char>(v >> 16);
      }
    }
    rows.insert(rows.end(), line.begin(), line.end());
  }
  const uint32_t table = indexed ? 1024 : 0;
  std::vector<unsigned char> out = {'B', 'M'};
  put32(out, 14 + 40 + table + static_cast<uint32_t>(rows.size()));
  put32(out, 0);
  put32(out, 14 + 40 + table);
  put32(out, 40);
  put32(out, static_cast<uint32_t>(p.width));
  put32(out, static_cast<uint32_t>(p.top_down ? -p.height : p.height));
  put16(out, 1);
  put16(out, static_cast<uint32_t>(p.bit_count));
  put32(out, p.rle ? 1 : 0);
  put32(out, static_cast<uint32_t>(rows.size()));
  put32(out, 0);
  put32(out, 0);
  put32(out, indexed ? 256 : 0);
  put32(out, 0);
  for (uint32_t i = 0; i < table / 4; ++i) put32(out, test_palette_entry(i));
  out.insert(out.end(), rows.begin(), rows.end());
  return out;
}

Capture capture_dc(HDC dc, int32_t width, int32_t height) {
  Capture c;
  c.width = width;
  c.height = height;
  c.pixels.assign(static_cast<size_t>(width) * height, 0);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ previous = SelectObject(memory, section);
  BitBlt(memory, 0, 0, width, height, dc, 0, 0, SRCCOPY);
  GdiFlush();
  std::memcpy(c.pixels.data(), bits, c.pixels.size() * 4);
  for (uint32_t& p : c.pixels) p &= 0xFFFFFF;
  SelectObject(memory, previous);
  DeleteDC(memory);
  DeleteObject(section);
  return c;
}

PaneFixture::PaneFixture() {
  register_pane_classes();
  state_.view = ViewState();
  state_.conversion = ConversionSettings();
  state_.random = RandomSource();
  HDC screen = GetDC(nullptr);
  state_.screen_depth = GetDeviceCaps(screen, PLANES) * GetDeviceCaps(screen, BITSPIXEL);
  state_.palette_display = GetDeviceCaps(screen, SIZEPALETTE) > 20;
  ReleaseDC(nullptr, screen);
  state_.arrangement = 202;
  // The platform's own version, so a run under an older version setting takes its paths.
  const DWORD version = GetVersion();
  state_.version = static_cast<unsigned short>((version & 0xFF) * 256 + ((version >> 8) & 0xFF));
  SetWindowPos(state_.frame, HWND_TOPMOST, 0, 0, 420, 320, SWP_SHOWWINDOW);
  source_ = CreateWindowExA(0, "qvx_childWClass", "", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_CLIPSIBLINGS, 10, 40,
                            162, 122, state_.frame, nullptr, state_.instance, nullptr);
  result_ = CreateWindowExA(0, "qvx_monoWClass", "", WS_CHILD | WS_VISIBLE | WS_BORDER, 200, 40, 162, 122,
                            state_.frame, nullptr, state_.instance, nullptr);
  set_pane_conditions_source(source_, pane_conditions);
  set_pane_conditions_source(result_, pane_conditions);
  state_.source_pane = source_;
  state_.result_pane = result_;
  folder_ = temp_directory();
  UpdateWindow(state_.frame);
  pump_messages();
}

PaneFixture::~PaneFixture() {
  state_.view = ViewState();
  state_.conversion = ConversionSettings();
}

void PaneFixture::open(const TestPicture& p) {
  static int counter = 0;
  const std::string path = folder_ + "picture" + std::to_string(++counter) + ".bmp";
  ASSERT_TRUE(write_file(path, picture_file(p)));
  set_file_name(state_, path.c_str());
  ASSERT_EQ(open_picture(state_, false), 1) << path;
  pump_messages();
}

RECT PaneFixture::client(HWND pane) const {
  RECT r;
  GetClientRect(pane, &r);
  return r;
}

void PaneFixture::set_view(int level, int32_t sx, int32_t sy) {
  state_.view.zoom_level = level;
  state_.view.zoom_factor = level == -7 ? 0.0 : level >= 1 ? level : 1.0 / (2 - level);
  const RECT r = client(source_);
  const int32_t max_x = scroll_maximum(state_.picture.description.width, state_.view.zoom_factor, r.right);
  const int32_t max_y = scroll_maximum(state_.picture.description.height, state_.view.zoom_factor, r.bottom);
  state_.view.scroll_x = state_.view.zoom_factor == 0.0 ? 0 : std::min(sx, max_x);
  state_.view.scroll_y = state_.view.zoom_factor == 0.0 ? 0 : std::min(sy, max_y);
}

Capture PaneFixture::repaint(HWND pane, const RECT* area) {
  InvalidateRect(pane, area, TRUE);
  UpdateWindow(pane);
  pump_messages();
  const RECT r = client(pane);
  HDC dc = GetDC(pane);
  Capture c = capture_dc(dc, r.right, r.bottom);
  ReleaseDC(pane, dc);
  return c;
}
