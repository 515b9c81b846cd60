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
void measure_screen() {
  const WindowDc dc(nullptr);
  const HDC screen = dc.get();
  g_frame.screen_depth = GetDeviceCaps(screen, PLANES) * GetDeviceCaps(screen, BITSPIXEL);
  TEXTMETRICA metrics = {};
  GetTextMetricsA(screen, &metrics);
  g_frame.japanese = metrics.tmCharSet == SHIFTJIS_CHARSET;
  g_frame.text_height = metrics.tmHeight;
  g_frame.average_char_width = metrics.tmAveCharWidth;
  g_frame.metrics = compute_bar_metrics(newer_platform(), g_frame.text_height, g_frame.average_char_width,
                                        newer_platform() ? GetSystemMetrics(SM_CXHSCROLL) : 0);
}

HWND create_pane(const char* window_class, DWORD style, int x, int y, int width, int height, int id) {
  HWND pane = CreateWindowExA(0, window_class, "", style, x, y, width, height, g_frame.frame,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_frame.instance, nullptr);
  if (pane) {
    set_pane_conditions_source(pane, frame_conditions);
    ShowWindow(pane, SW_SHOW);
    UpdateWindow(pane);
  }
  return pane;
}

// Saves the result under the output name, or asks for one when the command line gave none.
void run_batch(size_t index, StartOptions& options) {
  std::string output;
  scan_batch_output(g_frame.words, index, options, output);
  g_frame.conversion.mode = options.mode;
  g_frame.conversion.invert = options.invert;
  bool have_target = true;
  if (!output.empty()) {
    set_file_name(output.c_str());
  } else {
    // Never write over the input: ask where the result goes.
    g_frame.file_title[0] = 0;
    have_target = ask_save_file(g_frame.frame);
  }
  if (have_target) save_result(g_frame.frame);
  DestroyWindow(g_frame.frame);
}

// Makes the windows and opens a picture named on the command line; returns true
// when the message loop should run (false on failure or after a batch run).
bool initialise(HINSTANCE instance, int show_command) {
  g_frame.instance = instance;
  g_frame.version = platform_version_number();
  g_frame.words = split_command_line(GetCommandLineA(), system_lead_byte);
  StartOptions options;
  const size_t next = scan_options(g_frame.words, options);
  g_frame.arrangement = options.arrangement;
  g_frame.initial_density = options.initial_density;
  g_frame.conversion.mode = options.mode;
  g_frame.conversion.invert = options.invert;
  if (!options.file.empty() && set_file_name(options.file.c_str())) start_read_ahead(g_frame.read_ahead, g_frame.file_name, options.batch);

  char profile[kFileNameSize] = {};
  const DWORD length = GetEnvironmentVariableA("USERPROFILE", profile, sizeof profile);
  settings_file_path(length > 0 && length < sizeof profile ? profile : nullptr, g_frame.settings_path,
                     sizeof g_frame.settings_path);
  read_settings(g_frame.settings_path, newer_platform(), g_frame.settings);
  measure_screen();

  g_frame.frame = CreateWindowExA(0, "quillvexWClass", "QUILLVEX", WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                  instance, nullptr);
  if (!g_frame.frame) return false;
  SetScrollRange(g_frame.frame, SB_VERT, 0, 0, TRUE);
  SetScrollRange(g_frame.frame, SB_HORZ, 0, 0, TRUE);
  ShowWindow(g_frame.frame, show_command);
  UpdateWindow(g_frame.frame);

  RECT client;
  GetClientRect(g_frame.frame, &client);
  const int bar = g_frame.metrics.bar_height;
  g_frame.source_pane = create_pane("qvx_childWClass", WS_CHILD | WS_CLIPSIBLINGS | WS_BORDER, 0, bar,
                                    client.right / 2, client.bottom, ID_SOURCE_PANE);
  if (!g_frame.source_pane) return false;
  g_frame.result_pane = create_pane("qvx_monoWClass", WS_CHILD | WS_BORDER, client.right / 2, bar,
                                    client.right / 2, client.bottom, ID_RESULT_PANE);
  if (!g_frame.result_pane) return false;
  create_controls(g_frame.frame);
  if (newer_platform()) make_bar_font();
  g_frame.windows_created = true;
  SendMessageA(g_frame.frame, WM_COMMAND, static_cast<WPARAM>(g_frame.arrangement), 0);

  if (g_frame.file_name[0] != 0 || g_frame.file_name_too_long) {
    if (open_picture(g_frame.frame, false) && options.batch) {
      run_batch(next, options);
      return false;
    }
  }
  return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR, int show_command) {
  HACCEL accelerators = LoadAcceleratorsA(instance, "accel");
  if (!previous && !register_classes(instance)) return 0;
  if (!initialise(instance, show_command)) return 0;
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0)) {
    if (!TranslateAcceleratorA(g_frame.frame, accelerators, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  write_settings(g_frame.settings_path, newer_platform(), g_frame.settings);
  return static_cast<int>(message.wParam);
}
