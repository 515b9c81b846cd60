// Program entry: window classes, command line, settings, the windows, the batch
// conversion and the message loop.
#include <windows.h>

#include <string>

#include "app/command_line.h"
#include "app/control_bar_win32.h"
#include "app/file_dialogs_win32.h"
#include "app/frame_win32.h"
#include "app/settings_win32.h"
#include "image/bmp_file_win32.h"
#include "base/guards_win32.h"
#include "app/picture_commands_win32.h"
#include "image/pixel.h"
#include "mono/conversion.h"
#include "mono/result_win32.h"
#include "res/resource_ids.h"
#include "view/panes_win32.h"

namespace {

// Grey panes on a light window frame, light grey on a dark one.
HBRUSH pane_background_brush() {
  const COLORREF frame_colour = GetSysColor(COLOR_WINDOWFRAME);
  const uint32_t rgb = (GetRValue(frame_colour) << 16) | (GetGValue(frame_colour) << 8) | GetBValue(frame_colour);
  return static_cast<HBRUSH>(GetStockObject(luminance(rgb) > 160 ? GRAY_BRUSH : LTGRAY_BRUSH));
}

bool register_class(HINSTANCE instance, const char* name, WNDPROC procedure, HICON icon, HBRUSH background,
                    const char* menu) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  wc.hIcon = icon;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = background;
  wc.lpszMenuName = menu;
  wc.lpszClassName = name;
  return RegisterClassA(&wc) != 0;
}

bool register_classes(HINSTANCE instance) {
  const HBRUSH pane_brush = pane_background_brush();
  const HICON application_icon = LoadIconA(nullptr, IDI_APPLICATION);
  return register_class(instance, "quillvexWClass", MAINWNDPROC, LoadIconA(instance, "quillvexIcon"),
                        reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1), "quillvexMenu") &&
         register_class(instance, "qvx_childWClass", CHILDWNDPROC, application_icon, pane_brush, nullptr) &&
         register_class(instance, "qvx_monoWClass", MONOWNDPROC, application_icon, pane_brush, nullptr);
}

// The lead bytes of the system's ANSI code page: Shift-JIS on 932, none on 1252.
bool system_lead_byte(unsigned char c) { return IsDBCSLeadByte(c) != 0; }

unsigned short platform_version_number() {
  const DWORD version = GetVersion();
  return static_cast<unsigned short>((version & 0xFF) * 256 + ((version >> 8) & 0xFF));
}

// The screen's font decides the language and the control-bar metrics.
void measure_screen(FrameState& state) {
  const WindowDc dc(nullptr);
  const HDC screen = dc.get();
  state.screen_depth = GetDeviceCaps(screen, PLANES) * GetDeviceCaps(screen, BITSPIXEL);
  TEXTMETRICA metrics = {};
  GetTextMetricsA(screen, &metrics);
  state.japanese = metrics.tmCharSet == SHIFTJIS_CHARSET;
  state.text_height = metrics.tmHeight;
  state.average_char_width = metrics.tmAveCharWidth;
  const bool newer = newer_platform(state.version);
  state.metrics = compute_bar_metrics(newer, state.text_height, state.average_char_width,
                                      newer ? GetSystemMetrics(SM_CXHSCROLL) : 0);
}

HWND create_pane(const FrameState& state, const char* window_class, DWORD style, int x, int y, int width,
                 int height, int id) {
  HWND pane = CreateWindowExA(0, window_class, "", style, x, y, width, height, state.frame,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), state.instance, nullptr);
  if (pane) {
    set_pane_conditions_source(pane, pane_conditions);
    ShowWindow(pane, SW_SHOW);
    UpdateWindow(pane);
  }
  return pane;
}

// Saves the result under the output name, or asks for one when the command line gave none.
void run_batch(FrameState& state, size_t index, StartOptions& options) {
  std::string output;
  scan_batch_output(state.words, index, options, output);
  state.conversion.mode = options.mode;
  state.conversion.invert = options.invert;
  bool have_target = true;
  if (!output.empty()) {
    set_file_name(state, output.c_str());
  } else {
    // Never write over the input: ask where the result goes.
    state.file_title[0] = 0;
    have_target = ask_save_file(state);
  }
  if (have_target) save_result(state);
  DestroyWindow(state.frame);
}

// Makes the windows and opens a picture named on the command line; returns true
// when the message loop should run (false on failure or after a batch run).
bool initialise(FrameState& state, HINSTANCE instance, int show_command) {
  state.instance = instance;
  state.version = platform_version_number();
  state.words = split_command_line(GetCommandLineA(), system_lead_byte);
  StartOptions options;
  const size_t next = scan_options(state.words, options);
  state.arrangement = options.arrangement;
  state.initial_density = options.initial_density;
  state.conversion.mode = options.mode;
  state.conversion.invert = options.invert;
  if (!options.file.empty() && set_file_name(state, options.file.c_str())) start_read_ahead(state.read_ahead, state.file_name, options.batch);

  char profile[kFileNameSize] = {};
  const DWORD length = GetEnvironmentVariableA("USERPROFILE", profile, sizeof profile);
  settings_file_path(length > 0 && length < sizeof profile ? profile : nullptr, state.settings_path,
                     sizeof state.settings_path);
  read_settings(state.settings_path, newer_platform(state.version), state.settings);
  measure_screen(state);

  // The frame keeps the state from its first message on (MAINWNDPROC).
  state.frame = CreateWindowExA(0, "quillvexWClass", "QUILLVEX", WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance,
                                &state);
  if (!state.frame) return false;
  SetScrollRange(state.frame, SB_VERT, 0, 0, TRUE);
  SetScrollRange(state.frame, SB_HORZ, 0, 0, TRUE);
  ShowWindow(state.frame, show_command);
  UpdateWindow(state.frame);

  RECT client;
  GetClientRect(state.frame, &client);
  const int bar = state.metrics.bar_height;
  state.source_pane = create_pane(state, "qvx_childWClass", WS_CHILD | WS_CLIPSIBLINGS | WS_BORDER, 0, bar,
                                  client.right / 2, client.bottom, ID_SOURCE_PANE);
  if (!state.source_pane) return false;
  state.result_pane = create_pane(state, "qvx_monoWClass", WS_CHILD | WS_BORDER, client.right / 2, bar,
                                  client.right / 2, client.bottom, ID_RESULT_PANE);
  if (!state.result_pane) return false;
  create_controls(state);
  if (newer_platform(state.version)) make_bar_font(state);
  state.windows_created = true;
  SendMessageA(state.frame, WM_COMMAND, static_cast<WPARAM>(state.arrangement), 0);

  if (state.file_name[0] != 0 || state.file_name_too_long) {
    if (open_picture(state, false) && options.batch) {
      run_batch(state, next, options);
      return false;
    }
  }
  return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR, int show_command) {
  HACCEL accelerators = LoadAcceleratorsA(instance, "accel");
  if (!previous && !register_classes(instance)) return 0;
  // The frame's state lives as long as the program; the frame keeps a pointer to it.
  FrameState state;
  if (!initialise(state, instance, show_command)) return 0;
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0)) {
    if (!TranslateAcceleratorA(state.frame, accelerators, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  write_settings(state.settings_path, newer_platform(state.version), state.settings);
  return static_cast<int>(message.wParam);
}
