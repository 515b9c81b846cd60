#include "frame_fixture.h"

#include <cstdio>
#include <vector>

#include "app/control_bar_win32.h"
#include "app/frame_win32.h"
#include "app/view_state.h"
#include "image/open_picture_win32.h"
#include "image/store_win32.h"
#include "mono/conversion.h"
#include "test_frame.h"
#include "view/panes_win32.h"

namespace {

void register_frame_classes(HINSTANCE instance) {
  static bool registered = false;
  if (registered) return;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = MAINWNDPROC;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszMenuName = "quillvexMenu";
  wc.lpszClassName = "quillvexWClass";
  RegisterClassA(&wc);
  wc.lpfnWndProc = CHILDWNDPROC;
  wc.lpszMenuName = nullptr;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
  wc.lpszClassName = "qvx_childWClass";
  RegisterClassA(&wc);
  wc.lpfnWndProc = MONOWNDPROC;
  wc.lpszClassName = "qvx_monoWClass";
  RegisterClassA(&wc);
  registered = true;
}

HWND create_pane(const char* window_class, DWORD style, int id) {
  return CreateWindowExA(0, window_class, "", style | WS_VISIBLE, 0, 0, 10, 10, g_frame.frame,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_frame.instance, nullptr);
}

}  // namespace

RealFrame::RealFrame(bool japanese, int width, int height, unsigned short version) {
  g_frame = FrameState();
  g_view = ViewState();
  g_conversion = ConversionSettings();
  g_frame.instance = GetModuleHandleA(nullptr);
  g_frame.version = version;
  g_frame.japanese = japanese;
  g_frame.text_height = 16;
  g_frame.average_char_width = 7;
  g_frame.metrics = compute_bar_metrics(newer_platform(), 16, 7, newer_platform() ? GetSystemMetrics(SM_CXHSCROLL) : 0);
  register_frame_classes(g_frame.instance);
  frame = CreateWindowExA(0, "quillvexWClass", "QUILLVEX", WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL, 0, 0,
                          width, height, nullptr, nullptr, g_frame.instance, nullptr);
  g_frame.frame = frame;
  SetScrollRange(frame, SB_VERT, 0, 0, TRUE);
  SetScrollRange(frame, SB_HORZ, 0, 0, TRUE);
  ShowWindow(frame, SW_SHOW);
  g_frame.source_pane = create_pane("qvx_childWClass", WS_CHILD | WS_CLIPSIBLINGS | WS_BORDER, 1);
  g_frame.result_pane = create_pane("qvx_monoWClass", WS_CHILD | WS_BORDER, 2);
  create_controls(frame);
  if (newer_platform()) make_bar_font();
  g_frame.windows_created = true;
  command(g_frame.arrangement);
  SetFocus(frame);
}

RealFrame::~RealFrame() {
  set_modifiers(false, false);
  DestroyWindow(frame);
  // The frame's destruction posts the quit message meant for the program's loop.
  MSG message;
  while (PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
  g_picture = PictureState();
  g_frame = FrameState();
  g_view = ViewState();
  g_conversion = ConversionSettings();
}

bool RealFrame::open(const std::string& path) {
  set_file_name(path.c_str());
  return open_picture(frame, false) == 1;
}

void RealFrame::command(int id) { SendMessageA(frame, WM_COMMAND, static_cast<WPARAM>(id), 0); }

std::string RealFrame::text(HWND window) {
  char buffer[256] = {};
  GetWindowTextA(window, buffer, sizeof buffer);
  return buffer;
}

RECT RealFrame::child_rect(HWND child) const {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void RealFrame::set_modifiers(bool shift, bool ctrl) {
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_SHIFT] = shift ? 0x80 : 0;
  keys[VK_CONTROL] = ctrl ? 0x80 : 0;
  SetKeyboardState(keys);
}

std::string write_grey_bmp(const std::string& folder, const std::string& name, int width, int height, int grey) {
  const int stride = (width * 3 + 3) / 4 * 4;
  const int size = 54 + stride * height;
  std::vector<unsigned char> bytes(static_cast<size_t>(size), 0);
  auto put32 = [&](int at, unsigned v) {
    for (int i = 0; i < 4; ++i) bytes[static_cast<size_t>(at + i)] = static_cast<unsigned char>(v >> (8 * i));
  };
  bytes[0] = 'B';
  bytes[1] = 'M';
  put32(2, static_cast<unsigned>(size));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<unsigned>(width));
  put32(22, static_cast<unsigned>(height));
  bytes[26] = 1;
  bytes[28] = 24;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width * 3; ++x) bytes[static_cast<size_t>(54 + y * stride + x)] = static_cast<unsigned char>(grey);
  const std::string path = folder + name;
  write_file(path, bytes);
  return path;
}
