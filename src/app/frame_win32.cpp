#include "app/frame_win32.h"

#include <shellapi.h>

#include <cstring>

#include "app/app_texts.h"
#include "app/control_bar_win32.h"
#include "app/density_slider_win32.h"
#include "app/file_dialogs.h"
#include "app/file_dialogs_win32.h"
#include "app/keyboard.h"
#include "app/menus_win32.h"
#include "app/scroll_win32.h"
#include "app/zoom_win32.h"
#include "base/guards_win32.h"
#include "dialogs/dialogs_win32.h"
#include "image/image_texts.h"
#include "app/picture_commands_win32.h"
#include "image/store_win32.h"
#include "mono/clipboard_copy_win32.h"
#include "mono/conversion.h"
#include "mono/result_win32.h"
#include "res/resource_ids.h"
#include "view/view_texts.h"

// Creation and destruction.
static void on_nc_create(HWND window);
static bool on_create(HWND window);
static void on_destroy(HWND window);
// Input.
static void on_command(HWND window, int id);
static void on_key_down(HWND window, int virtual_key);
static void press_density_key(HWND window, int virtual_key);
static void on_drop_files(HWND window, HDROP drop);
static void on_scroll(HWND window, int bar, HWND control, int code, int position);
// Palette.
static LRESULT realize_display_palette(HWND window);

PaneConditions frame_conditions() {
  PaneConditions c;
  c.screen_depth = g_frame.screen_depth;
  c.version = g_frame.version;
  c.palette_display = g_frame.palette_display;
  c.density = current_density();
  c.too_large_text = g_frame.japanese ? kJaTooLargeNotice : load_string(IDS_TOO_LARGE_TO_SHOW);
  c.covered_source = g_frame.arrangement == IDM_CASCADE ? g_frame.source_pane : nullptr;
  c.view = g_frame.view;
  c.conversion = g_frame.conversion;
  c.random = &g_frame.random;
  c.picture = &g_frame.picture;
  return c;
}

// Returns the Option menu item of a conversion mode.
static int mode_item(int mode) {
  return mode == kModePhotoHard ? IDM_PHOTO_HARD : mode == kModePhotoSoft ? IDM_PHOTO_SOFT : IDM_LETTER;
}

static void on_nc_create(HWND window) { build_menu(window); }

// Returns false when the frame can't get its picture and result blocks: the frame
// is then not created and the program ends.
static bool on_create(HWND window) {
  {
    const WindowDc dc(window);
    g_frame.palette_display = dc.get() && GetDeviceCaps(dc.get(), SIZEPALETTE) > 20;
  }
  HMENU menu = GetMenu(window);
  if (g_frame.conversion.fast) CheckMenuItem(menu, IDM_FAST, MF_BYCOMMAND | MF_CHECKED);
  CheckMenuItem(menu, mode_item(g_frame.conversion.mode), MF_BYCOMMAND | MF_CHECKED);
  if (!create_store(g_frame.picture) || !create_result_block(g_frame.picture)) {
    MessageBoxA(nullptr, g_frame.japanese ? kJaNoMemory : load_string(IDS_NO_MEMORY).c_str(), nullptr, MB_OK | MB_ICONHAND);
    return false;
  }
  DragAcceptFiles(window, TRUE);
  return true;
}

static void on_destroy(HWND window) {
  DragAcceptFiles(window, FALSE);
  clean_up_picture(g_frame.picture);
  if (g_frame.bar_font) {
    DeleteObject(g_frame.bar_font);
    g_frame.bar_font = nullptr;
  }
  free_store(g_frame.picture);
  free_result_block(g_frame.picture);
  PostQuitMessage(0);
}

static void choose_mode(HWND window, int item) {
  const int mode = item == IDM_PHOTO_HARD ? kModePhotoHard : item == IDM_PHOTO_SOFT ? kModePhotoSoft : kModeLetter;
  if (mode == g_frame.conversion.mode) return;
  CheckMenuItem(g_frame.menu, mode_item(g_frame.conversion.mode), MF_BYCOMMAND | MF_UNCHECKED);
  g_frame.conversion.mode = mode;
  CheckMenuItem(g_frame.menu, mode_item(mode), MF_BYCOMMAND | MF_CHECKED);
  if (!g_frame.conversion.fast && g_frame.picture.loaded) convert_or_drop(window);
  InvalidateRect(g_frame.result_pane, nullptr, TRUE);
}

static void toggle_fast_mode(HWND window) {
  if (g_frame.conversion.fast) {
    CheckMenuItem(g_frame.menu, IDM_FAST, MF_BYCOMMAND | MF_UNCHECKED);
    g_frame.conversion.fast = false;
    if (g_frame.picture.loaded) convert_or_drop(window);
    InvalidateRect(g_frame.result_pane, nullptr, TRUE);
  } else {
    CheckMenuItem(g_frame.menu, IDM_FAST, MF_BYCOMMAND | MF_CHECKED);
    g_frame.conversion.fast = true;
  }
}

static void invert_result(HWND window) {
  if (g_frame.picture.loaded) {
    g_frame.conversion.invert = !g_frame.conversion.invert;
    if (!g_frame.conversion.fast) convert_or_drop(window);
    InvalidateRect(g_frame.result_pane, nullptr, TRUE);
  }
  SetFocus(window);
}

static void arrange_windows(int arrangement) {
  g_frame.arrangement = arrangement;
  if (arrangement == IDM_VIEWER) {
    CheckMenuItem(g_frame.menu, IDM_FAST, MF_BYCOMMAND | MF_CHECKED);
    g_frame.conversion.fast = true;
  }
  place_panes();
}

static void open_help(HWND window) {
  // The module path may take all 260 bytes, more than the help file's name holds.
  char module_path[kFileNameSize] = {};
  if (platform_4_or_later()) {
    const DWORD length = GetModuleFileNameA(nullptr, module_path, sizeof module_path);
    if (length >= sizeof module_path) module_path[0] = 0;
  }
  char help_file[kScratchSize];
  help_file_name(platform_4_or_later(), module_path, help_file, sizeof help_file);
  WinHelpA(window, help_file, HELP_CONTENTS, 0);
}

DialogInputs frame_dialog_inputs(HWND window) {
  DialogInputs inputs;
  inputs.japanese = g_frame.japanese;
  inputs.newer_platform = newer_platform();
  inputs.dialog3d = &g_frame.settings.dialog3d;
  inputs.frame = window;
  inputs.picture = &g_frame.picture;
  return inputs;
}

static void show_dialog(HWND window, const char* name, DLGPROC procedure) {
  DialogInputs inputs = frame_dialog_inputs(window);
  DialogBoxParamA(g_frame.instance, name, window, procedure, reinterpret_cast<LPARAM>(&inputs));
}

static void on_command(HWND window, int id) {
  switch (id) {
    case IDM_ZOOM_IN: zoom_in(window); break;
    case IDM_ZOOM_OUT: zoom_out(window); break;
    case IDM_INVERT: invert_result(window); break;
    case IDM_ABOUT: show_dialog(window, "ABOUT", ABOUTBOX); break;
    case IDM_INFO: show_dialog(window, "InfoBox", BMPINFO); break;
    case IDM_OPEN:
      if (ask_open_file(window)) open_picture(window, false);
      break;
    case IDM_SAVE_AS:
      if (ask_save_file(window)) save_result(window);
      break;
    case IDM_EXIT: DestroyWindow(window); break;
    case IDM_HELP: open_help(window); break;
    case IDM_COPY: copy_result(window); break;
    case IDM_PASTE: open_picture(window, true); break;
    case IDM_CASCADE:
    case IDM_HORIZONTAL:
    case IDM_TILE:
    case IDM_VIEWER: arrange_windows(id); break;
    case IDM_LETTER:
    case IDM_PHOTO_HARD:
    case IDM_PHOTO_SOFT: choose_mode(window, id); break;
    case IDM_FAST: toggle_fast_mode(window); break;
    default: MessageBoxA(window, kJaUnknownCommand, "QUILLVEX", MB_OK | MB_ICONASTERISK); break;
  }
}

static void on_key_down(HWND window, int virtual_key) {
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  const bool ctrl = GetKeyState(VK_CONTROL) < 0;
  const KeyAction action = map_key(virtual_key, shift, ctrl, g_frame.settings.keymode);
  switch (action.kind) {
    case kKeyCommand: SendMessageA(window, WM_COMMAND, static_cast<WPARAM>(action.value), 0); break;
    case kKeyDensity: press_density_key(window, action.value); break;
    case kKeyScrollVert: SendMessageA(window, WM_VSCROLL, static_cast<WPARAM>(action.value), 0); break;
    case kKeyScrollHorz: SendMessageA(window, WM_HSCROLL, static_cast<WPARAM>(action.value), 0); break;
    default: break;
  }
}

// The density bar takes the key itself. Some scroll bars answer the release with an
// end-of-scroll, which converts; others send none, so the frame sends it then: the
// release converts exactly once either way.
static void press_density_key(HWND window, int virtual_key) {
  HWND bar = g_frame.controls[kDensityBar];
  SendMessageA(bar, WM_KEYDOWN, static_cast<WPARAM>(virtual_key), 0);
  const unsigned end_scrolls = g_frame.density_end_scrolls;
  SendMessageA(bar, WM_KEYUP, static_cast<WPARAM>(virtual_key), 0);
  if (g_frame.density_end_scrolls == end_scrolls)
    SendMessageA(window, WM_HSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), reinterpret_cast<LPARAM>(bar));
}

static void on_drop_files(HWND window, HDROP drop) {
  if (DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0) > 0) {
    char path[kFileNameSize];
    DragQueryFileA(drop, 0, path, kFileNameSize);
    set_file_name(path);
    open_picture(window, false);
  }
  DragFinish(drop);
}

static LRESULT realize_display_palette(HWND window) {
  if (!g_frame.palette_display || !g_frame.picture.loaded || !g_frame.picture.display_palette) return 0;
  UINT realized = 0;
  {
    const WindowDc dc(window);
    if (!dc.get()) return 0;
    const HPALETTE previous = SelectPalette(dc.get(), g_frame.picture.display_palette, FALSE);
    realized = RealizePalette(dc.get());
    if (previous) SelectPalette(dc.get(), previous, FALSE);
  }
  if (realized > 0) repaint_source_pane();
  return static_cast<LRESULT>(realized);
}

// The panes' scroll bars, the density slider and the zoom spin.
static void on_scroll(HWND window, int bar, HWND control, int code, int position) {
  if (control == nullptr) {
    scroll_panes(window, bar, code, position);
  } else if (bar == SB_HORZ) {
    if (!on_density_scroll(control, code, position)) return;
    if (!g_frame.conversion.fast && g_frame.picture.loaded) convert_or_drop(window);
    InvalidateRect(g_frame.result_pane, nullptr, TRUE);
  } else {
    on_zoom_spin(window, code);
  }
}

LRESULT CALLBACK MAINWNDPROC(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCCREATE:
      on_nc_create(window);
      return DefWindowProcA(window, message, wparam, lparam);
    case WM_CREATE: return on_create(window) ? 0 : -1;
    case WM_DESTROY: on_destroy(window); return 0;
    case WM_SIZE:
      if (g_frame.windows_created) place_panes();
      return 0;
    case WM_PAINT:
      if (newer_platform() && g_frame.windows_created) recompute_bar_metrics();
      return DefWindowProcA(window, message, wparam, lparam);
    case WM_KEYDOWN: on_key_down(window, static_cast<int>(wparam)); return 0;
    case WM_COMMAND: on_command(window, LOWORD(wparam)); return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
      on_scroll(window, message == WM_HSCROLL ? SB_HORZ : SB_VERT, reinterpret_cast<HWND>(lparam), LOWORD(wparam),
                static_cast<short>(HIWORD(wparam)));
      return 0;
    case WM_DROPFILES: on_drop_files(window, reinterpret_cast<HDROP>(wparam)); return 0;
    case WM_PALETTECHANGED:
      if (reinterpret_cast<HWND>(wparam) == window || reinterpret_cast<HWND>(wparam) == g_frame.source_pane) return 0;
      return realize_display_palette(window);
    case WM_QUERYNEWPALETTE: return realize_display_palette(window);
    default: return DefWindowProcA(window, message, wparam, lparam);
  }
}
