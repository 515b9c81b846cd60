#include "app/control_bar_win32.h"

#include <cstdio>

#include "app/app_texts.h"
#include "app/frame_state_win32.h"
#include "app/scroll_win32.h"
#include "mono/conversion.h"
#include "view/view_state.h"
#include "res/resource_ids.h"

namespace {

struct ControlKind {
  BarControl control;
  const char* window_class;
  DWORD style;
  int id;
};

const ControlKind kControls[] = {
    {kDensityBar, "scrollbar", WS_CHILD | WS_VISIBLE | SBS_HORZ, ID_DENSITY_BAR},
    {kDensityBarFrame, "static", WS_CHILD | WS_VISIBLE | SS_BLACKFRAME, -1},
    {kZoomSpin, "scrollbar", WS_CHILD | WS_VISIBLE | SBS_VERT, ID_ZOOM_SPIN},
    {kInvertButton, "Button", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, ID_INVERT_BUTTON},
    {kDensityLabel, "static", WS_CHILD | WS_VISIBLE | SS_LEFT, ID_DENSITY_LABEL},
    {kScaleFrame, "static", WS_CHILD | WS_VISIBLE | SS_BLACKFRAME, ID_SCALE_FRAME},
    {kScaleLabel, "static", WS_CHILD | WS_VISIBLE | SS_LEFT, ID_SCALE_LABEL},
};

const char* initial_text(BarControl control, char* density_text) {
  switch (control) {
    case kDensityBar: return kDensityBarText;
    case kZoomSpin: return kZoomSpinText;
    case kInvertButton: return g_frame.japanese ? kJaInvertText : kEnInvertText;
    case kDensityLabel: return density_text;
    case kScaleLabel: return g_frame.japanese ? kJaScaleOne : kEnScaleOne;
    default: return "";
  }
}

}  // namespace

void create_controls(HWND frame) {
  char density_text[16];
  std::snprintf(density_text, sizeof density_text, "%d", g_frame.initial_density);
  for (const ControlKind& kind : kControls) {
    if (kind.control == kDensityBarFrame && !newer_platform()) continue;
    const Rect r = control_rect(kind.control, g_frame.metrics);
    g_frame.controls[kind.control] =
        CreateWindowExA(0, kind.window_class, initial_text(kind.control, density_text), kind.style, r.x, r.y,
                        r.width, r.height, frame, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kind.id)),
                        g_frame.instance, nullptr);
  }
  SetScrollRange(g_frame.controls[kDensityBar], SB_CTL, kDensityMin, kDensityMax, FALSE);
  SetScrollPos(g_frame.controls[kDensityBar], SB_CTL, g_frame.initial_density, TRUE);
  SetScrollRange(g_frame.controls[kZoomSpin], SB_CTL, 0, 0, TRUE);
}

void lay_out_controls() {
  for (const ControlKind& kind : kControls) {
    HWND control = g_frame.controls[kind.control];
    if (!control) continue;
    const Rect r = control_rect(kind.control, g_frame.metrics);
    MoveWindow(control, r.x, r.y, r.width, r.height, TRUE);
  }
}

void make_bar_font() {
  if (g_frame.bar_font) DeleteObject(g_frame.bar_font);
  LOGFONTA description = {};
  description.lfHeight = 1 - (g_frame.metrics.bar_height * 18 / 30);
  description.lfCharSet = SHIFTJIS_CHARSET;
  g_frame.bar_font = CreateFontIndirectA(&description);
  if (g_frame.bar_font) {
    const WPARAM font = reinterpret_cast<WPARAM>(g_frame.bar_font);
    SendMessageA(g_frame.controls[kInvertButton], WM_SETFONT, font, TRUE);
    SendMessageA(g_frame.controls[kDensityLabel], WM_SETFONT, font, TRUE);
    SendMessageA(g_frame.controls[kScaleLabel], WM_SETFONT, font, TRUE);
  }
  lay_out_controls();
}

void recompute_bar_metrics() {
  const BarMetrics m = compute_bar_metrics(true, g_frame.text_height, g_frame.average_char_width,
                                           GetSystemMetrics(SM_CXHSCROLL));
  if (m.bar_height == g_frame.metrics.bar_height) return;
  g_frame.metrics = m;
  place_panes();
  make_bar_font();
}

void place_panes() {
  RECT client;
  GetClientRect(g_frame.frame, &client);
  Rect source, result;
  place_pane_rects(g_frame.arrangement, client.right, client.bottom, g_frame.metrics.bar_height, source, result);
  MoveWindow(g_frame.source_pane, source.x, source.y, source.width, source.height, TRUE);
  MoveWindow(g_frame.result_pane, result.x, result.y, result.width, result.height, TRUE);
  update_scroll_ranges(g_frame.source_pane);
  if (g_frame.view.zoom_factor == 0) {
    repaint_source_pane();
    InvalidateRect(g_frame.result_pane, nullptr, TRUE);
  }
  if (platform_before_3_10() && g_frame.arrangement != IDM_VIEWER && g_frame.view.zoom_factor != 0) {
    InvalidateRect(g_frame.result_pane, nullptr, TRUE);
  }
}
