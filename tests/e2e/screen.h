// Screenshots of screen areas, for comparing what two windows show.
#ifndef QVX_E2E_SCREEN_H
#define QVX_E2E_SCREEN_H

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct Screenshot {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // top-down rows, 0x00RRGGBB
};

// Returns the screen's pixels in a rectangle given in screen coordinates.
Screenshot capture_screen(const RECT& area);

// Writes a screenshot as a 32-bit BMP file, for a person to look at when a test fails.
bool save_screenshot(const Screenshot& shot, const std::string& path);

// Returns the screen rectangle of a window's menu bar: the strip above its client area.
RECT menu_bar_area(HWND window);

#endif
