// The frame's state, which the frame window keeps and hands to its modules, and the
// few operations on it alone. It depends on no other module of app/, so the modules
// can use it without reaching back into the frame's window procedure.
#ifndef QVX_FRAME_STATE_WIN32_H
#define QVX_FRAME_STATE_WIN32_H

#include <windows.h>

#include <string>
#include <vector>

#include "app/control_bar.h"
#include "app/settings.h"
#include "image/bmp_file_win32.h"
#include "image/plugin_reader_win32.h"
#include "image/platform_version.h"
#include "mono/conversion.h"
#include "mono/random_source.h"
#include "view/view_state.h"
#include "res/resource_ids.h"

constexpr int kFileNameSize = 260;
constexpr int kFileTitleSize = 256;
constexpr int kScratchSize = 256;

struct FrameState {
  HWND frame = nullptr;
  HWND source_pane = nullptr;
  HWND result_pane = nullptr;
  HWND controls[kBarControlCount] = {};
  HMENU menu = nullptr;
  HINSTANCE instance = nullptr;
  HFONT bar_font = nullptr;
  unsigned short version = 0;  // major * 256 + minor
  bool japanese = false;
  int screen_depth = 0;
  int text_height = 0;
  int average_char_width = 0;
  BarMetrics metrics;
  Settings settings;
  char settings_path[kFileNameSize] = {};
  int arrangement = IDM_TILE;
  int initial_density = kDensityDefault;
  bool windows_created = false;
  bool palette_display = false;
  std::vector<std::string> words;
  char file_name[kFileNameSize] = {};
  bool file_name_too_long = false;  // a command-line name that doesn't fit: neither opened nor written
  std::string long_file_name;       // that name as given, for the messages that name it
  char file_title[kFileTitleSize] = {};
  unsigned density_end_scrolls = 0;  // end-of-scroll notifications of the density bar so far
  ViewState view;                 // zoom and scrolling, shared by both panes
  ConversionSettings conversion;  // mode, invert and fast
  RandomSource random;            // the one random source, started at 1 in every process
  PluginSearch plugins;           // where the image-reader plug-ins are looked for
  ReadAhead read_ahead;           // a file named at start-up, read while the windows are made
  PictureState picture;           // the current picture's store and its result bitmap
};

// The frame window keeps its state (owned by whoever creates the frame) in its user
// data from WM_NCCREATE on; the panes and the clipboard's refresh find it there.
void keep_frame_state(HWND frame, FrameState* state);

// Returns the state a frame window keeps, or null before it keeps one.
FrameState* frame_state(HWND frame);

// Returns the English string-table text of id (at most 255 bytes).
std::string load_string(const FrameState& state, int id);

// Copies text into the current file name; false when it doesn't fit: the name is then
// flagged, so that it is neither read nor written, and kept whole for the messages.
bool set_file_name(FrameState& state, const char* text);

#endif
