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

const char* initial_text(BarControl control, bool japanese, char* density_text) {
  switch (control) {
    case kDensityBar: return kDensityBarText;
    case kZoomSpin: return kZoomSpinText;
    case kInvertButton: return japanese ? kJaInvertText : kEnInvertText;
    case kDensityLabel: return density_text;
    case kScaleLabel: return japanese ? kJaScaleOne : kEnScaleOne;
    default: return "";
  }
}

}  // namespace

void create_controls(FrameState& state) {
  char density_text[16];
  std::snprintf(density_text, sizeof density_text, "%d", state.initial_density);
  for (const ControlKind& kind : kControls) {
    if (kind.control == kDensityBarFrame && !newer_platform(state.version)) continue;
    const Rect r = control_rect(kind.control, state.metrics);
    state.controls[kind.control] =
        CreateWindowExA(0, kind.window_class, initial_text(kind.control, state.japanese, density_text), kind.style,
                        r.x, r.y, r.width, r.height, state.frame,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kind.id)), state.instance, nullptr);
  }
  SetScrollRange(state.controls[kDensityBar], SB_CTL, kDensityMin, kDensityMax, FALSE);
  SetScrollPos(state.controls[kDensityBar], SB_CTL, state.initial_density, TRUE);
  SetScrollRange(state.controls[kZoomSpin], SB_CTL, 0, 0, TRUE);
}

void lay_out_controls(const FrameState& state) {
  for (const ControlKind& kind : kControls) {
    HWND control = state.controls[kind.control];
    if (!control) continue;
    const Rect r = control_rect(kind.control, state.metrics);
    MoveWindow(control, r.x, r.y, r.width, r.height, TRUE);
  }
}

void make_bar_font(FrameState& state) {
  if (state.bar_font) DeleteObject(state.bar_font);
  LOGFONTA description = {};
  description.lfHeight = 1 - (state.metrics.bar_height * 18 / 30);
  description.lfCharSet = SHIFTJIS_CHARSET;
  state.bar_font = CreateFontIndirectA(&description);
  if (state.bar_font) {
    const WPARAM font = reinterpret_cast<WPARAM>(state.bar_font);
    SendMessageA(state.controls[kInvertButton], WM_SETFONT, font, TRUE);
    SendMessageA(state.controls[kDensityLabel], WM_SETFONT, font, TRUE);
    SendMessageA(state.controls[kScaleLabel], WM_SETFONT, font, TRUE);
  }
  lay_out_controls(state);
}

void recompute_bar_metrics(FrameState& state) {
  const BarMetrics m = compute_bar_metrics(true, state.text_height, state.average_char_width,
                                           GetSystemMetrics(SM_CXHSCROLL));
  if (m.bar_height == state.metrics.bar_height) return;
  state.metrics = m;
  place_panes(state);
  make_bar_font(state);
}

void place_panes(FrameState& state) {
  RECT client;
  GetClientRect(state.frame, &client);
  Rect source, result;
  place_pane_rects(state.arrangement, client.right, client.bottom, state.metrics.bar_height, source, result);
  MoveWindow(state.source_pane, source.x, source.y, source.width, source.height, TRUE);
  MoveWindow(state.result_pane, result.x, result.y, result.width, result.height, TRUE);
  update_scroll_ranges(state, state.source_pane);
  if (state.view.zoom_factor == 0) {
    repaint_source_pane(state);
    InvalidateRect(state.result_pane, nullptr, TRUE);
  }
  if (platform_before_3_10(state.version) && state.arrangement != IDM_VIEWER && state.view.zoom_factor != 0) {
    InvalidateRect(state.result_pane, nullptr, TRUE);
  }
}
