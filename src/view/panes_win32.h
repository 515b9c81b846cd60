// The two panes: the picture and its black-and-white result.
#ifndef QVX_PANES_WIN32_H
#define QVX_PANES_WIN32_H

#include <windows.h>

#include <string>

#include "image/store_win32.h"
#include "mono/conversion.h"
#include "mono/random_source.h"
#include "view/view_state.h"

LRESULT CALLBACK CHILDWNDPROC(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK MONOWNDPROC(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// What decides how a pane draws, besides the picture and the view state: all the
// panes take from the frame.
struct PaneConditions {
  int screen_depth = 32;
  unsigned short version = 1537;  // major * 256 + minor
  bool palette_display = false;
  int density = 127;                       // the threshold base of the live rendering
  std::string too_large_text;              // shown when a zoomed picture can't be drawn
  HWND covered_source = nullptr;           // in the cascade: the source pane the result pane covers
  ViewState view;                          // zoom and scrolling
  ConversionSettings conversion;           // the live rendering's mode and invert; fast
  RandomSource* random = nullptr;          // the frame's random source; the result pane and dithered redraws draw from it
  PictureState* picture = nullptr;         // the frame's picture and its result
};

// A pane asks its owner for its conditions at each paint through the function set
// for it (kept with the window), which is given the pane; until one is set it paints
// nothing.
using PaneConditionsSource = PaneConditions (*)(HWND pane);
void set_pane_conditions_source(HWND pane, PaneConditionsSource source);

// Draws the source pane's content for one paint rectangle on any device context.
void paint_source_content(HDC dc, const RECT& paint, const RECT& client, const PaneConditions& conditions);

// Draws the result pane's content for one paint rectangle on any device context.
void paint_result_content(HDC dc, const RECT& paint, const RECT& client, const PaneConditions& conditions);

#endif
