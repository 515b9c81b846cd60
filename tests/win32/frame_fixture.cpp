#include "frame_fixture.h"

#include <cstdio>
#include <vector>

#include "../common/bmp_builder.h"
#include "app/control_bar_win32.h"
#include "app/frame_win32.h"
#include "view/view_state.h"
#include "app/picture_commands_win32.h"
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

HWND create_pane(const FrameState& state, const char* window_class, DWORD style, int id) {
  HWND pane = CreateWindowExA(0, window_class, "", style | WS_VISIBLE, 0, 0, 10, 10, state.frame,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), state.instance, nullptr);
  set_pane_conditions_source(pane, pane_conditions);
  return pane;
}

}  // namespace

RealFrame::RealFrame(bool japanese, int width, int height, unsigned short version) {
  state.instance = GetModuleHandleA(nullptr);
  state.version = version;
  state.japanese = japanese;
  state.text_height = 16;
  state.average_char_width = 7;
  const bool newer = newer_platform(version);
  state.metrics = compute_bar_metrics(newer, 16, 7, newer ? GetSystemMetrics(SM_CXHSCROLL) : 0);
  register_frame_classes(state.instance);
  frame = CreateWindowExA(0, "quillvexWClass", "QUILLVEX", WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL, 0, 0,
                          width, height, nullptr, nullptr, state.instance, &state);
  SetScrollRange(frame, SB_VERT, 0, 0, TRUE);
  SetScrollRange(frame, SB_HORZ, 0, 0, TRUE);
  ShowWindow(frame, SW_SHOW);
  state.source_pane = create_pane(state, "qvx_childWClass", WS_CHILD | WS_CLIPSIBLINGS | WS_BORDER, 1);
  state.result_pane = create_pane(state, "qvx_monoWClass", WS_CHILD | WS_BORDER, 2);
  create_controls(state);
  if (newer) make_bar_font(state);
  state.windows_created = true;
  command(state.arrangement);
  SetFocus(frame);
}

RealFrame::~RealFrame() {
  set_modifiers(false, false);
  DestroyWindow(frame);
  // The frame's destruction posts the quit message meant for the program's loop.
  MSG message;
  while (PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
}

bool RealFrame::open(const std::string& path) {
  set_file_name(state, path.c_str());
  return open_picture(state, false) == 1;
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
  BmpFile picture;
  picture.width = width;
  picture.height = height;
  const std::vector<uint32_t> row(static_cast<size_t>(width), 0x010101u * static_cast<uint32_t>(grey));
  picture.pixels = pack_rows(24, width, std::vector<std::vector<uint32_t>>(static_cast<size_t>(height), row));
  const std::string path = folder + name;
  const std::vector<uint8_t> bytes = build_bmp(picture);
  write_file(path, std::vector<unsigned char>(bytes.begin(), bytes.end()));
  return path;
}
