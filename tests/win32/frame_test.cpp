// The real frame driven with real messages; outcomes read back through the platform.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/app_texts.h"
#include "app/control_bar.h"
#include "app/frame_win32.h"
#include "app/menus.h"
#include "app/scroll_win32.h"
#include "app/zoom_win32.h"
#include "view/view_state.h"
#include "frame_fixture.h"
#include "image/store_win32.h"
#include "mono/conversion.h"
#include "res/resource_ids.h"
#include "test_frame.h"

namespace {

bool checked(const FrameState& state, int id) {
  return (GetMenuState(state.menu, static_cast<UINT>(id), MF_BYCOMMAND) & MF_CHECKED) != 0;
}
bool grayed(const FrameState& state, int id) {
  return (GetMenuState(state.menu, static_cast<UINT>(id), MF_BYCOMMAND) & MF_GRAYED) != 0;
}

// Photo(Hard) draws one random number per pixel, so the generator's state tells how
// many conversions ran since a snapshot.
int conversions_since(const FrameState& state, uint32_t snapshot, int pixels) {
  for (int n = 0; n < 4; ++n) {
    if (snapshot == state.random.state) return n;
    RandomSource replay{snapshot};
    for (int i = 0; i < pixels; ++i) draw_random(replay);
    snapshot = replay.state;
  }
  return -1;
}

bool needs_repaint(HWND window) { return GetUpdateRect(window, nullptr, FALSE) != 0; }

// Paints whatever is pending so that later invalidations can be seen.
void settle(HWND window) {
  UpdateWindow(window);
  ValidateRect(window, nullptr);
}

void send_density(const FrameState& state, int code, int position = 0) {
  SendMessageA(state.frame, WM_HSCROLL, MAKEWPARAM(code, position),
               reinterpret_cast<LPARAM>(state.controls[kDensityBar]));
}

int density(const FrameState& state) { return GetScrollPos(state.controls[kDensityBar], SB_CTL); }
std::string density_label(const FrameState& state) { return RealFrame::text(state.controls[kDensityLabel]); }
std::string scale_label(const FrameState& state) { return RealFrame::text(state.controls[kScaleLabel]); }

TEST(FrameWin32, ControlBarAndPanesFollowTheMetrics) {
  RealFrame f;
  for (int c = 0; c < kBarControlCount; ++c) {
    const Rect want = control_rect(static_cast<BarControl>(c), f.state.metrics);
    const RECT got = f.child_rect(f.state.controls[c]);
    EXPECT_EQ(got.left, want.x) << c;
    EXPECT_EQ(got.top, want.y) << c;
    EXPECT_EQ(got.right - got.left, want.width) << c;
    EXPECT_EQ(got.bottom - got.top, want.height) << c;
  }
  EXPECT_EQ(density_label(f.state), "127");
  EXPECT_EQ(scale_label(f.state), "scale 1");
  EXPECT_EQ(RealFrame::text(f.state.controls[kInvertButton]), "Rev");
  EXPECT_EQ(GetDlgCtrlID(f.state.controls[kScaleLabel]), 9);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(f.state.controls[kScaleLabel], WM_GETFONT, 0, 0)), f.state.bar_font);

  // A larger stored text height changes the bar height at the next paint, once.
  f.state.text_height = 30;
  RedrawWindow(f.frame, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(f.state.metrics.bar_height, 50);
  EXPECT_EQ(f.child_rect(f.state.source_pane).top, 50);
  EXPECT_EQ(f.child_rect(f.state.controls[kInvertButton]).left, 127 + 63 + 365);
  const HFONT font = f.state.bar_font;
  RedrawWindow(f.frame, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(f.state.bar_font, font);
}

TEST(FrameWin32, OlderPlatformKeepsTheSystemFontAndFixedMetrics) {
  RealFrame f(false, 640, 480, 819);  // 3.51, as Wine's "nt351" version setting reports it
  EXPECT_EQ(f.state.controls[kDensityBarFrame], nullptr);
  EXPECT_EQ(f.state.bar_font, nullptr);
  EXPECT_EQ(f.state.metrics.bar_height, 26);
  EXPECT_EQ(f.state.metrics.unit, 7);
  EXPECT_EQ(f.child_rect(f.state.controls[kZoomSpin]).left, 63 + 31 + 325);
  f.state.text_height = 30;
  RedrawWindow(f.frame, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(f.state.metrics.bar_height, 26);  // no recomputation at paint
  EXPECT_EQ(f.child_rect(f.state.source_pane).top, 26);
}

TEST(FrameWin32, ModeAndFastModeCheckMarks) {
  RealFrame f;
  const std::string folder = temp_directory();
  ASSERT_TRUE(f.open(write_grey_bmp(folder, "grey.bmp", 40, 30, 120)));
  EXPECT_TRUE(checked(f.state, IDM_LETTER));
  EXPECT_TRUE(checked(f.state, IDM_FAST));
  f.command(IDM_FAST);  // off: converts once, in Letter (no random numbers)
  EXPECT_FALSE(checked(f.state, IDM_FAST));
  EXPECT_FALSE(f.state.conversion.fast);

  uint32_t snapshot = f.state.random.state;
  f.command(IDM_PHOTO_HARD);
  EXPECT_FALSE(checked(f.state, IDM_LETTER));
  EXPECT_TRUE(checked(f.state, IDM_PHOTO_HARD));
  EXPECT_EQ(conversions_since(f.state, snapshot, 40 * 30), 1);

  // The current mode again: no conversion, no repaint.
  settle(f.state.result_pane);
  snapshot = f.state.random.state;
  f.command(IDM_PHOTO_HARD);
  EXPECT_EQ(conversions_since(f.state, snapshot, 40 * 30), 0);
  EXPECT_FALSE(needs_repaint(f.state.result_pane));

  f.command(IDM_PHOTO_SOFT);
  EXPECT_FALSE(checked(f.state, IDM_PHOTO_HARD));
  EXPECT_TRUE(checked(f.state, IDM_PHOTO_SOFT));
  EXPECT_EQ(f.state.conversion.mode, kModePhotoSoft);
  EXPECT_TRUE(needs_repaint(f.state.result_pane));

  // Turning fast mode on converts nothing.
  snapshot = f.state.random.state;
  f.command(IDM_FAST);
  EXPECT_TRUE(checked(f.state, IDM_FAST));
  EXPECT_EQ(conversions_since(f.state, snapshot, 40 * 30), 0);
}

TEST(FrameWin32, ViewerModeAndTile) {
  RealFrame f;
  f.command(IDM_FAST);
  ASSERT_FALSE(f.state.conversion.fast);
  f.command(IDM_VIEWER);
  EXPECT_TRUE(checked(f.state, IDM_FAST));
  EXPECT_TRUE(f.state.conversion.fast);
  RECT result = f.child_rect(f.state.result_pane);
  EXPECT_EQ(result.right - result.left, 0);
  EXPECT_EQ(result.bottom - result.top, 0);
  RECT client, source = f.child_rect(f.state.source_pane);
  GetClientRect(f.frame, &client);
  EXPECT_EQ(source.right, client.right);
  EXPECT_EQ(source.bottom, client.bottom);

  f.command(IDM_TILE);
  result = f.child_rect(f.state.result_pane);
  EXPECT_EQ(result.left, client.right / 2);
  EXPECT_EQ(result.right - result.left, client.right / 2);
  EXPECT_GT(result.bottom - result.top, 0);
  EXPECT_TRUE(f.state.conversion.fast);
  EXPECT_TRUE(checked(f.state, IDM_FAST));
  EXPECT_FALSE(checked(f.state, IDM_TILE));  // arrangements show no check marks
}

TEST(FrameWin32, CascadeRepaintsOnlyTheUncoveredStrips) {
  RealFrame f;
  f.command(IDM_CASCADE);
  ValidateRect(f.state.source_pane, nullptr);
  repaint_source_pane(f.state);
  RECT client;
  GetClientRect(f.state.source_pane, &client);
  HRGN update = CreateRectRgn(0, 0, 0, 0);
  GetUpdateRgn(f.state.source_pane, update, FALSE);
  HRGN expected = CreateRectRgn(0, 0, 29, client.bottom);
  HRGN top = CreateRectRgn(0, 0, client.right, 29);
  CombineRgn(expected, expected, top, RGN_OR);
  EXPECT_TRUE(EqualRgn(update, expected));
  DeleteObject(update);
  DeleteObject(expected);
  DeleteObject(top);
}

TEST(FrameWin32, UnknownCommandShowsOneInformationBox) {
  RealFrame f;
  MessageBoxWatcher watcher;
  f.command(999);
  const std::vector<std::string> boxes = watcher.texts();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], std::string("QUILLVEX|") + kJaUnknownCommand);
}

TEST(FrameWin32, DensityByKeysAndScrollCodes) {
  RealFrame f;
  RealFrame::set_modifiers(true, false);
  SendMessageA(f.frame, WM_KEYDOWN, VK_LEFT, 0);
  EXPECT_EQ(density(f.state), 126);
  EXPECT_EQ(density_label(f.state), "126");
  RealFrame::set_modifiers(true, true);
  SendMessageA(f.frame, WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_EQ(density(f.state), 142);
  EXPECT_EQ(density_label(f.state), "142");
  RealFrame::set_modifiers(false, false);

  // A line step at 0 leaves the label alone, but the release still repaints the result.
  SetScrollPos(f.state.controls[kDensityBar], SB_CTL, 0, FALSE);
  SetWindowTextA(f.state.controls[kDensityLabel], "untouched");
  send_density(f.state, SB_LINELEFT);
  EXPECT_EQ(density(f.state), 0);
  EXPECT_EQ(density_label(f.state), "untouched");
  settle(f.state.result_pane);
  send_density(f.state, SB_ENDSCROLL);
  EXPECT_TRUE(needs_repaint(f.state.result_pane));

  send_density(f.state, SB_THUMBTRACK, 5);
  EXPECT_EQ(density_label(f.state), "  5");
  SetScrollPos(f.state.controls[kDensityBar], SB_CTL, 250, FALSE);
  send_density(f.state, SB_PAGERIGHT);
  EXPECT_EQ(density(f.state), 254);
  EXPECT_EQ(density_label(f.state), "254");
}

// A density bar that answers a key's release with an end-of-scroll, as some
// platforms' scroll bars do.
WNDPROC g_bar_procedure = nullptr;
LRESULT CALLBACK bar_ending_on_key_up(HWND bar, UINT message, WPARAM wparam, LPARAM lparam) {
  const LRESULT result = CallWindowProcA(g_bar_procedure, bar, message, wparam, lparam);
  if (message == WM_KEYUP)
    SendMessageA(GetParent(bar), WM_HSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), reinterpret_cast<LPARAM>(bar));
  return result;
}

TEST(FrameWin32, DensityKeyConvertsOnceWhetherOrNotTheBarEndsTheScroll) {
  for (bool bar_ends_scroll : {false, true}) {
    RealFrame f;
    const std::string folder = temp_directory();
    ASSERT_TRUE(f.open(write_grey_bmp(folder, "keys.bmp", 16, 8, 120)));
    HWND bar = f.state.controls[kDensityBar];
    if (bar_ends_scroll) {
      g_bar_procedure = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(bar_ending_on_key_up)));
    }
    f.command(IDM_PHOTO_HARD);
    f.command(IDM_FAST);  // off: every end of scroll converts
    uint32_t snapshot = f.state.random.state;
    RealFrame::set_modifiers(true, false);
    SendMessageA(f.frame, WM_KEYDOWN, VK_LEFT, 0);
    EXPECT_EQ(density(f.state), 126) << bar_ends_scroll;
    EXPECT_EQ(conversions_since(f.state, snapshot, 16 * 8), 1) << bar_ends_scroll;
    snapshot = f.state.random.state;
    RealFrame::set_modifiers(true, true);
    SendMessageA(f.frame, WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(density(f.state), 142) << bar_ends_scroll;
    EXPECT_EQ(conversions_since(f.state, snapshot, 16 * 8), 1) << bar_ends_scroll;

    // In fast mode the release repaints the result pane instead.
    f.command(IDM_FAST);  // on
    settle(f.state.result_pane);
    snapshot = f.state.random.state;
    RealFrame::set_modifiers(true, false);
    SendMessageA(f.frame, WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(density(f.state), 143) << bar_ends_scroll;
    EXPECT_EQ(conversions_since(f.state, snapshot, 16 * 8), 0) << bar_ends_scroll;
    EXPECT_TRUE(needs_repaint(f.state.result_pane)) << bar_ends_scroll;
    RealFrame::set_modifiers(false, false);
    if (bar_ends_scroll) SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_bar_procedure));
  }
}

TEST(FrameWin32, DraggingTheDensityThumbConvertsOnlyAtRelease) {
  RealFrame f;
  const std::string folder = temp_directory();
  ASSERT_TRUE(f.open(write_grey_bmp(folder, "drag.bmp", 32, 24, 150)));
  f.command(IDM_PHOTO_HARD);
  f.command(IDM_FAST);  // off
  const uint32_t snapshot = f.state.random.state;
  for (int position = 130; position <= 200; position += 10) {
    send_density(f.state, SB_THUMBTRACK, position);
    EXPECT_EQ(density_label(f.state), std::to_string(position));
  }
  send_density(f.state, SB_THUMBPOSITION, 200);
  EXPECT_EQ(conversions_since(f.state, snapshot, 32 * 24), 0);
  send_density(f.state, SB_ENDSCROLL);
  EXPECT_EQ(conversions_since(f.state, snapshot, 32 * 24), 1);
  EXPECT_EQ(density(f.state), 200);
}

TEST(FrameWin32, ZoomSpinStepsOncePerPressAndRelease) {
  RealFrame f;
  HWND spin = f.state.controls[kZoomSpin];
  for (int i = 0; i < 5; ++i) SendMessageA(f.frame, WM_VSCROLL, SB_LINEUP, reinterpret_cast<LPARAM>(spin));
  EXPECT_EQ(f.state.view.zoom_level, 1);
  SendMessageA(f.frame, WM_VSCROLL, SB_ENDSCROLL, reinterpret_cast<LPARAM>(spin));
  EXPECT_EQ(f.state.view.zoom_level, 2);
  EXPECT_EQ(scale_label(f.state), "scale 2");
  SendMessageA(f.frame, WM_VSCROLL, SB_ENDSCROLL, reinterpret_cast<LPARAM>(spin));
  EXPECT_EQ(f.state.view.zoom_level, 2);
  SendMessageA(f.frame, WM_VSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(spin));
  SendMessageA(f.frame, WM_VSCROLL, SB_ENDSCROLL, reinterpret_cast<LPARAM>(spin));
  SendMessageA(f.frame, WM_VSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(spin));
  SendMessageA(f.frame, WM_VSCROLL, SB_ENDSCROLL, reinterpret_cast<LPARAM>(spin));
  EXPECT_EQ(f.state.view.zoom_level, 0);
  EXPECT_EQ(scale_label(f.state), "scale1/2");
  // Shift+Down and Ctrl+zoom out go to the fitted picture.
  RealFrame::set_modifiers(true, true);
  SendMessageA(f.frame, WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(scale_label(f.state), "scale 0");
  RealFrame::set_modifiers(true, false);
  SendMessageA(f.frame, WM_KEYDOWN, VK_UP, 0);
  EXPECT_EQ(scale_label(f.state), "scale1/8");
}

// The frame's scroll range must match the picture at the zoom in the source pane's client size.
void expect_ranges(const FrameState& state, int width, int height, int line = __builtin_LINE()) {
  SCOPED_TRACE(line);
  RECT pane;
  GetClientRect(state.source_pane, &pane);
  const int want_x = scroll_maximum(width, state.view.zoom_factor, pane.right);
  const int want_y = scroll_maximum(height, state.view.zoom_factor, pane.bottom);
  int low = -1, high = -1;
  GetScrollRange(state.frame, SB_HORZ, &low, &high);
  EXPECT_EQ(high, want_x);
  EXPECT_EQ(state.view.max_x, want_x);
  GetScrollRange(state.frame, SB_VERT, &low, &high);
  EXPECT_EQ(high, want_y);
  EXPECT_EQ(state.view.max_y, want_y);
  const LONG style = GetWindowLongA(state.frame, GWL_STYLE);
  EXPECT_EQ((style & WS_HSCROLL) != 0, want_x > 0);
  EXPECT_EQ((style & WS_VSCROLL) != 0, want_y > 0);
}

TEST(FrameWin32, ScrollRangesFollowLoadingZoomAndResizing) {
  RealFrame f;
  expect_ranges(f.state, 0, 0);
  const std::string folder = temp_directory();
  ASSERT_TRUE(f.open(write_grey_bmp(folder, "big.bmp", 900, 700, 90)));
  expect_ranges(f.state, 900, 700);
  EXPECT_GT(f.state.view.max_y, 200);

  f.command(IDM_ZOOM_IN);
  expect_ranges(f.state, 900, 700);
  SendMessageA(f.frame, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 100), 0);
  EXPECT_EQ(GetScrollPos(f.frame, SB_VERT), 100);
  EXPECT_EQ(f.state.view.scroll_y, 100);
  f.command(IDM_ZOOM_IN);  // 2 -> 3
  EXPECT_EQ(f.state.view.scroll_y, 150);
  f.command(IDM_ZOOM_IN);  // 3 -> 4
  EXPECT_EQ(f.state.view.scroll_y, 200);
  EXPECT_EQ(GetScrollPos(f.frame, SB_VERT), 200);
  expect_ranges(f.state, 900, 700);

  // At zoom 4 a line step scrolls 4 pixels; a thumb being dragged scrolls nothing.
  SendMessageA(f.frame, WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(f.state.view.scroll_y, 204);
  SendMessageA(f.frame, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 50), 0);
  EXPECT_EQ(f.state.view.scroll_y, 204);
  SendMessageA(f.frame, WM_HSCROLL, SB_RIGHT, 0);
  EXPECT_EQ(f.state.view.scroll_x, f.state.view.max_x);

  // A larger window pulls the offsets back into the smaller ranges.
  RealFrame::set_modifiers(false, true);
  f.command(IDM_ZOOM_OUT);  // Ctrl: to 1
  RealFrame::set_modifiers(false, false);
  EXPECT_EQ(f.state.view.zoom_level, 1);
  SetWindowPos(f.frame, nullptr, 0, 0, 1000, 720, SWP_NOZORDER | SWP_NOMOVE);  // fits a 1024 x 768 screen
  expect_ranges(f.state, 900, 700);
  EXPECT_LE(f.state.view.scroll_x, f.state.view.max_x);
  EXPECT_LE(f.state.view.scroll_y, f.state.view.max_y);

  // Scale 0 hides both scroll bars; back to scale 1 the offsets stay 0.
  RealFrame::set_modifiers(false, true);
  f.command(IDM_ZOOM_OUT);
  EXPECT_EQ(scale_label(f.state), "scale 0");
  expect_ranges(f.state, 900, 700);
  EXPECT_EQ(f.state.view.scroll_x, 0);
  EXPECT_EQ(f.state.view.scroll_y, 0);
  f.command(IDM_ZOOM_IN);
  RealFrame::set_modifiers(false, false);
  EXPECT_EQ(scale_label(f.state), "scale 1");
  EXPECT_EQ(f.state.view.scroll_x, 0);
  EXPECT_EQ(f.state.view.scroll_y, 0);
  expect_ranges(f.state, 900, 700);
}

HGLOBAL make_drop(const std::vector<std::string>& files) {
  size_t size = sizeof(DROPFILES) + 1;
  for (const std::string& file : files) size += file.size() + 1;
  HGLOBAL block = GlobalAlloc(GHND, size);
  auto* header = static_cast<DROPFILES*>(GlobalLock(block));
  header->pFiles = sizeof(DROPFILES);
  char* names = reinterpret_cast<char*>(header + 1);
  for (const std::string& file : files) {
    std::memcpy(names, file.c_str(), file.size() + 1);
    names += file.size() + 1;
  }
  GlobalUnlock(block);
  return block;
}

TEST(FrameWin32, DroppedFilesOpenOnlyTheFirst) {
  RealFrame f;
  const std::string folder = temp_directory();
  const std::vector<std::string> files = {write_grey_bmp(folder, "first.bmp", 30, 20, 10),
                                          write_grey_bmp(folder, "second.bmp", 50, 40, 10),
                                          write_grey_bmp(folder, "third.bmp", 70, 60, 10)};
  SendMessageA(f.frame, WM_DROPFILES, reinterpret_cast<WPARAM>(make_drop(files)), 0);
  EXPECT_TRUE(f.state.picture.loaded);
  EXPECT_EQ(f.state.picture.description.width, 30);
  EXPECT_EQ(f.state.picture.description.height, 20);
  EXPECT_NE(RealFrame::text(f.frame).find("first.bmp"), std::string::npos) << RealFrame::text(f.frame);
  EXPECT_FALSE(grayed(f.state, IDM_SAVE_AS));
}

// Reads a menu item's text by position or command.
std::string menu_text(HMENU menu, UINT item, UINT flags) {
  char buffer[256] = {};
  GetMenuStringA(menu, item, buffer, sizeof buffer, flags);
  return buffer;
}

// The English menu as the resource compiler built it. "Accelarator", "Horizont" and
// the two tabs of Copy are the menu's own texts; an empty text is a separator.
struct EnglishItem {
  const char* text;
  int id;
  bool grayed;
};
const struct {
  const char* title;
  std::vector<EnglishItem> items;
} kEnglishMenu[kMenuPopupCount] = {
    {"&File",
     {{"&Open...\tCtrl+O", 101, false},
      {"Save &As...\tCtrl+S", 102, true},
      {"&Paste\tCtrl+V", 108, false},
      {"&Copy\t\tCtrl+C", 107, true},
      {"", 0, false},
      {"&Info...", 103, true},
      {"", 0, false},
      {"e&xit\tAlt+F4", 104, false}}},
    {"&Option",
     {{"&Letter", 301, false},
      {"photo(&Hard)", 302, false},
      {"photo(&Soft)", 303, false},
      {"", 0, false},
      {"&Accelarator", 304, false}}},
    {"&Window",
     {{"&Cascade\tShift+F5", 200, false},
      {"&Horizont\tShift+F4", 201, false},
      {"&Tile", 202, false},
      {"&Viewer mode\tCtrl+F4", 203, false}}},
    {"&Help", {{"&Help...\tF1", 105, false}, {"&About...", 100, false}}},
};

TEST(FrameWin32, EnglishMenuFromTheResource) {
  RealFrame f;
  ASSERT_EQ(GetMenuItemCount(f.state.menu), kMenuPopupCount);
  for (int p = 0; p < kMenuPopupCount; ++p) {
    EXPECT_EQ(menu_text(f.state.menu, static_cast<UINT>(p), MF_BYPOSITION), kEnglishMenu[p].title);
    HMENU popup = GetSubMenu(f.state.menu, p);
    ASSERT_EQ(GetMenuItemCount(popup), static_cast<int>(kEnglishMenu[p].items.size()));
    for (size_t i = 0; i < kEnglishMenu[p].items.size(); ++i) {
      const EnglishItem& item = kEnglishMenu[p].items[i];
      const UINT state = GetMenuState(popup, static_cast<UINT>(i), MF_BYPOSITION);
      if (!*item.text) {
        EXPECT_TRUE(state & MF_SEPARATOR) << p << "/" << i;
        continue;
      }
      EXPECT_EQ(menu_text(popup, static_cast<UINT>(i), MF_BYPOSITION), item.text);
      EXPECT_EQ(static_cast<int>(GetMenuItemID(popup, static_cast<int>(i))), item.id);
      EXPECT_EQ((state & MF_GRAYED) != 0, item.grayed) << item.text;
    }
  }
}

TEST(FrameWin32, JapaneseMenuAndLabels) {
  RealFrame f(true);
  for (int p = 0; p < kMenuPopupCount; ++p) {
    EXPECT_EQ(menu_text(f.state.menu, static_cast<UINT>(p), MF_BYPOSITION), kJapaneseMenuTitles[p]);
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(f.state.menu, p)), static_cast<int>(kEnglishMenu[p].items.size()));
  }
  for (const MenuItemData& item : kJapaneseMenuItems) {
    EXPECT_EQ(menu_text(f.state.menu, static_cast<UINT>(item.id), MF_BYCOMMAND), item.text) << item.id;
    EXPECT_EQ(grayed(f.state, item.id), item.grayed) << item.id;
  }
  EXPECT_EQ(menu_text(f.state.menu, IDM_INFO, MF_BYCOMMAND), "&Info...");
  EXPECT_TRUE(grayed(f.state, IDM_INFO));
  // The check marks are set after the replacement.
  EXPECT_TRUE(checked(f.state, IDM_LETTER));
  EXPECT_TRUE(checked(f.state, IDM_FAST));
  EXPECT_EQ(scale_label(f.state), kJaScaleOne);
  EXPECT_EQ(RealFrame::text(f.state.controls[kInvertButton]), kJaInvertText);
  f.command(IDM_ZOOM_OUT);
  EXPECT_EQ(scale_label(f.state), "\xBD\xB9\xB0\xD9" "1/2");

  const std::string folder = temp_directory();
  ASSERT_TRUE(f.open(write_grey_bmp(folder, "ja.bmp", 8, 8, 10)));
  EXPECT_FALSE(grayed(f.state, IDM_SAVE_AS));
  EXPECT_FALSE(grayed(f.state, IDM_COPY));
  EXPECT_FALSE(grayed(f.state, IDM_INFO));
}

}  // namespace

TEST(FrameWin32, StringTableTexts) {
  FrameState state;
  state.instance = GetModuleHandleA(nullptr);
  const struct {
    int id;
    const char* text;
  } cases[] = {
      {0, "can't display, bitmap too large"},   {1, "File is too large."},
      {16, "bitmap read failed.\n"},            {17, "Read error."},
      {32, "Can't open file %s."},              {33, "Can't allocate memory."},
      {48, "Can't read bitmap file header."},   {64, "This file is not a bitmap file."},
      {80, "Can't read bitmap info header."},   {96, "This file format is not supported."},
  };
  for (const auto& c : cases) EXPECT_EQ(std::string(load_string(state, c.id)), c.text) << c.id;
}

TEST(FrameWin32, AcceleratorTable) {
  HACCEL table = LoadAcceleratorsA(GetModuleHandleA(nullptr), "accel");
  ASSERT_NE(table, nullptr);
  ACCEL entries[16] = {};
  const int count = CopyAcceleratorTableA(table, entries, 16);
  const ACCEL expected[] = {
      {FVIRTKEY, VK_F1, IDM_HELP},          {FVIRTKEY | FSHIFT, VK_F5, IDM_CASCADE},
      {FVIRTKEY | FSHIFT, VK_F4, IDM_HORIZONTAL}, {FVIRTKEY | FCONTROL, VK_F4, IDM_VIEWER},
      {0, 0x0F, IDM_OPEN},                  {0, 0x13, IDM_SAVE_AS},
      {0, 0x03, IDM_COPY},                  {0, 0x16, IDM_PASTE},
  };
  ASSERT_EQ(count, 8);
  for (int i = 0; i < count; ++i) {
    EXPECT_EQ(entries[i].fVirt & ~0x80, expected[i].fVirt) << i;  // 0x80 marks the table's last entry
    EXPECT_EQ(entries[i].key, expected[i].key) << i;
    EXPECT_EQ(entries[i].cmd, expected[i].cmd) << i;
  }
  DestroyAcceleratorTable(table);
}
