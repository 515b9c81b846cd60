// The two panes: the picture and its black-and-white result.
#ifndef QVX_PANES_WIN32_H
#define QVX_PANES_WIN32_H

#include <windows.h>

LRESULT CALLBACK CHILDWNDPROC(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK MONOWNDPROC(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// What decides how a pane draws, besides the picture and the view state.
struct PaneConditions {
  int screen_depth = 32;
  unsigned short version = 1537;  // major * 256 + minor
  bool palette_display = false;
};

// Returns the conditions of the running frame.
PaneConditions frame_conditions();

// Draws the source pane's content for one paint rectangle on any device context.
void paint_source_content(HDC dc, const RECT& paint, const RECT& client, const PaneConditions& conditions);

// Draws the result pane's content for one paint rectangle on any device context.
void paint_result_content(HDC dc, const RECT& paint, const RECT& client, const PaneConditions& conditions);

#endif
