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
static void on_nc_create(HWND window, FrameState& state);
static bool on_create(FrameState& state);
static void on_destroy(FrameState& state);
// Input.
static void on_command(FrameState& state, int id);
static void on_key_down(FrameState& state, int virtual_key);
static void press_density_key(FrameState& state, int virtual_key);
static void on_drop_files(FrameState& state, HDROP drop);
static void on_scroll(FrameState& state, int bar, HWND control, int code, int position);
// Palette.
static LRESULT realize_display_palette(const FrameState& state);

PaneConditions frame_conditions(FrameState& state) {
  PaneConditions c;
  c.screen_depth = state.screen_depth;
  c.version = state.version;
  c.palette_display = state.palette_display;
  c.density = current_density(state);
  c.too_large_text = state.japanese ? kJaTooLargeNotice : load_string(state, IDS_TOO_LARGE_TO_SHOW);
  c.covered_source = state.arrangement == IDM_CASCADE ? state.source_pane : nullptr;
  c.view = state.view;
  c.conversion = state.conversion;
  c.random = &state.random;
  c.picture = &state.picture;
  return c;
}

// Returns the Option menu item of a conversion mode.
static int mode_item(int mode) {
  return mode == kModePhotoHard ? IDM_PHOTO_HARD : mode == kModePhotoSoft ? IDM_PHOTO_SOFT : IDM_LETTER;
}

PaneConditions pane_conditions(HWND pane) {
  FrameState* state = frame_state(GetParent(pane));
  return state ? frame_conditions(*state) : PaneConditions();
}

// The frame keeps the state it was created with before its first message is handled.
static void on_nc_create(HWND window, FrameState& state) {
  state.frame = window;
  build_menu(state);
}

// Returns false when the frame can't get its picture and result blocks: the frame
// is then not created and the program ends.
static bool on_create(FrameState& state) {
  HWND window = state.frame;
  {
    const WindowDc dc(window);
    state.palette_display = dc.get() && GetDeviceCaps(dc.get(), SIZEPALETTE) > 20;
  }
  HMENU menu = GetMenu(window);
  if (state.conversion.fast) CheckMenuItem(menu, IDM_FAST, MF_BYCOMMAND | MF_CHECKED);
  CheckMenuItem(menu, mode_item(state.conversion.mode), MF_BYCOMMAND | MF_CHECKED);
  if (!create_store(state.picture) || !create_result_block(state.picture)) {
    MessageBoxA(nullptr, state.japanese ? kJaNoMemory : load_string(state, IDS_NO_MEMORY).c_str(), nullptr, MB_OK | MB_ICONHAND);
    return false;
  }
  DragAcceptFiles(window, TRUE);
  return true;
}

static void on_destroy(FrameState& state) {
  DragAcceptFiles(state.frame, FALSE);
  clean_up_picture(state.picture);
  if (state.bar_font) {
    DeleteObject(state.bar_font);
    state.bar_font = nullptr;
  }
  free_store(state.picture);
  free_result_block(state.picture);
  PostQuitMessage(0);
}

static void choose_mode(FrameState& state, int item) {
  const int mode = item == IDM_PHOTO_HARD ? kModePhotoHard : item == IDM_PHOTO_SOFT ? kModePhotoSoft : kModeLetter;
  if (mode == state.conversion.mode) return;
  CheckMenuItem(state.menu, mode_item(state.conversion.mode), MF_BYCOMMAND | MF_UNCHECKED);
  state.conversion.mode = mode;
  CheckMenuItem(state.menu, mode_item(mode), MF_BYCOMMAND | MF_CHECKED);
  if (!state.conversion.fast && state.picture.loaded) convert_or_drop(state);
  InvalidateRect(state.result_pane, nullptr, TRUE);
}

static void toggle_fast_mode(FrameState& state) {
  if (state.conversion.fast) {
    CheckMenuItem(state.menu, IDM_FAST, MF_BYCOMMAND | MF_UNCHECKED);
    state.conversion.fast = false;
    if (state.picture.loaded) convert_or_drop(state);
    InvalidateRect(state.result_pane, nullptr, TRUE);
  } else {
    CheckMenuItem(state.menu, IDM_FAST, MF_BYCOMMAND | MF_CHECKED);
    state.conversion.fast = true;
  }
}

static void invert_result(FrameState& state) {
  if (state.picture.loaded) {
    state.conversion.invert = !state.conversion.invert;
    if (!state.conversion.fast) convert_or_drop(state);
    InvalidateRect(state.result_pane, nullptr, TRUE);
  }
  SetFocus(state.frame);
}

static void arrange_windows(FrameState& state, int arrangement) {
  state.arrangement = arrangement;
  if (arrangement == IDM_VIEWER) {
    CheckMenuItem(state.menu, IDM_FAST, MF_BYCOMMAND | MF_CHECKED);
    state.conversion.fast = true;
  }
  place_panes(state);
}

static void open_help(const FrameState& state) {
  // The module path may take all 260 bytes, more than the help file's name holds.
  char module_path[kFileNameSize] = {};
  if (platform_4_or_later(state.version)) {
    const DWORD length = GetModuleFileNameA(nullptr, module_path, sizeof module_path);
    if (length >= sizeof module_path) module_path[0] = 0;
  }
  char help_file[kScratchSize];
  help_file_name(platform_4_or_later(state.version), module_path, help_file, sizeof help_file);
  WinHelpA(state.frame, help_file, HELP_CONTENTS, 0);
}

DialogInputs frame_dialog_inputs(FrameState& state) {
  DialogInputs inputs;
  inputs.japanese = state.japanese;
  inputs.newer_platform = newer_platform(state.version);
  inputs.dialog3d = &state.settings.dialog3d;
  inputs.frame = state.frame;
  inputs.picture = &state.picture;
  return inputs;
}

static void show_dialog(FrameState& state, const char* name, DLGPROC procedure) {
  DialogInputs inputs = frame_dialog_inputs(state);
  DialogBoxParamA(state.instance, name, state.frame, procedure, reinterpret_cast<LPARAM>(&inputs));
}

static void on_command(FrameState& state, int id) {
  switch (id) {
    case IDM_ZOOM_IN: zoom_in(state); break;
    case IDM_ZOOM_OUT: zoom_out(state); break;
    case IDM_INVERT: invert_result(state); break;
    case IDM_ABOUT: show_dialog(state, "ABOUT", ABOUTBOX); break;
    case IDM_INFO: show_dialog(state, "InfoBox", BMPINFO); break;
    case IDM_OPEN:
      if (ask_open_file(state)) open_picture(state, false);
      break;
    case IDM_SAVE_AS:
      if (ask_save_file(state)) save_result(state);
      break;
    case IDM_EXIT: DestroyWindow(state.frame); break;
    case IDM_HELP: open_help(state); break;
    case IDM_COPY: copy_result(state); break;
    case IDM_PASTE: open_picture(state, true); break;
    case IDM_CASCADE:
    case IDM_HORIZONTAL:
    case IDM_TILE:
    case IDM_VIEWER: arrange_windows(state, id); break;
    case IDM_LETTER:
    case IDM_PHOTO_HARD:
    case IDM_PHOTO_SOFT: choose_mode(state, id); break;
    case IDM_FAST: toggle_fast_mode(state); break;
    default: MessageBoxA(state.frame, kJaUnknownCommand, "QUILLVEX", MB_OK | MB_ICONASTERISK); break;
  }
}

static void on_key_down(FrameState& state, int virtual_key) {
  HWND window = state.frame;
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  const bool ctrl = GetKeyState(VK_CONTROL) < 0;
  const KeyAction action = map_key(virtual_key, shift, ctrl, state.settings.keymode);
  switch (action.kind) {
    case kKeyCommand: SendMessageA(window, WM_COMMAND, static_cast<WPARAM>(action.value), 0); break;
    case kKeyDensity: press_density_key(state, action.value); break;
    case kKeyScrollVert: SendMessageA(window, WM_VSCROLL, static_cast<WPARAM>(action.value), 0); break;
    case kKeyScrollHorz: SendMessageA(window, WM_HSCROLL, static_cast<WPARAM>(action.value), 0); break;
    default: break;
  }
}

// The density bar takes the key itself. Some scroll bars answer the release with an
// end-of-scroll, which converts; others send none, so the frame sends it then: the
// release converts exactly once either way.
static void press_density_key(FrameState& state, int virtual_key) {
  HWND bar = state.controls[kDensityBar];
  SendMessageA(bar, WM_KEYDOWN, static_cast<WPARAM>(virtual_key), 0);
  const unsigned end_scrolls = state.density_end_scrolls;
  SendMessageA(bar, WM_KEYUP, static_cast<WPARAM>(virtual_key), 0);
  if (state.density_end_scrolls == end_scrolls)
    SendMessageA(state.frame, WM_HSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), reinterpret_cast<LPARAM>(bar));
}

static void on_drop_files(FrameState& state, HDROP drop) {
  if (DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0) > 0) {
    char path[kFileNameSize];
    DragQueryFileA(drop, 0, path, kFileNameSize);
    set_file_name(state, path);
    open_picture(state, false);
  }
  DragFinish(drop);
}

static LRESULT realize_display_palette(const FrameState& state) {
  if (!state.palette_display || !state.picture.loaded || !state.picture.display_palette) return 0;
  UINT realized = 0;
  {
    const WindowDc dc(state.frame);
    if (!dc.get()) return 0;
    const HPALETTE previous = SelectPalette(dc.get(), state.picture.display_palette, FALSE);
    realized = RealizePalette(dc.get());
    if (previous) SelectPalette(dc.get(), previous, FALSE);
  }
  if (realized > 0) repaint_source_pane(state);
  return static_cast<LRESULT>(realized);
}

// The panes' scroll bars, the density slider and the zoom spin.
static void on_scroll(FrameState& state, int bar, HWND control, int code, int position) {
  if (control == nullptr) {
    scroll_panes(state, bar, code, position);
  } else if (bar == SB_HORZ) {
    if (!on_density_scroll(state, control, code, position)) return;
    if (!state.conversion.fast && state.picture.loaded) convert_or_drop(state);
    InvalidateRect(state.result_pane, nullptr, TRUE);
  } else {
    on_zoom_spin(state, code);
  }
}

LRESULT CALLBACK MAINWNDPROC(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE)
    keep_frame_state(window, static_cast<FrameState*>(reinterpret_cast<CREATESTRUCTA*>(lparam)->lpCreateParams));
  // Messages before WM_NCCREATE, and a frame made without a state, get the default handling.
  FrameState* kept = frame_state(window);
  if (!kept) return DefWindowProcA(window, message, wparam, lparam);
  FrameState& state = *kept;
  switch (message) {
    case WM_NCCREATE:
      on_nc_create(window, state);
      return DefWindowProcA(window, message, wparam, lparam);
    case WM_CREATE: return on_create(state) ? 0 : -1;
    case WM_DESTROY: on_destroy(state); return 0;
    case WM_SIZE:
      if (state.windows_created) place_panes(state);
      return 0;
    case WM_PAINT:
      if (newer_platform(state.version) && state.windows_created) recompute_bar_metrics(state);
      return DefWindowProcA(window, message, wparam, lparam);
    case WM_KEYDOWN: on_key_down(state, static_cast<int>(wparam)); return 0;
    case WM_COMMAND: on_command(state, LOWORD(wparam)); return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
      on_scroll(state, message == WM_HSCROLL ? SB_HORZ : SB_VERT, reinterpret_cast<HWND>(lparam), LOWORD(wparam),
                static_cast<short>(HIWORD(wparam)));
      return 0;
    case WM_DROPFILES: on_drop_files(state, reinterpret_cast<HDROP>(wparam)); return 0;
    case WM_PALETTECHANGED:
      if (reinterpret_cast<HWND>(wparam) == window || reinterpret_cast<HWND>(wparam) == state.source_pane) return 0;
      return realize_display_palette(state);
    case WM_QUERYNEWPALETTE: return realize_display_palette(state);
    default: return DefWindowProcA(window, message, wparam, lparam);
  }
}
