// The real frame as the program builds it (frame procedure, menu resource, panes,
// control bar), created inside the test process so menus, drops and state can be read.
#ifndef QVX_FRAME_FIXTURE_H
#define QVX_FRAME_FIXTURE_H

#include <windows.h>

#include <string>

#include "app/frame_state_win32.h"

struct RealFrame {
  // Creates the frame about width x height as start-up does on a platform version and
  // lays it out (202).
  explicit RealFrame(bool japanese = false, int width = 640, int height = 480, unsigned short version = 1537);
  ~RealFrame();
  RealFrame(const RealFrame&) = delete;
  RealFrame& operator=(const RealFrame&) = delete;

  // Opens a picture file through the frame's open path; true when it loaded.
  bool open(const std::string& path);
  // Sends a command as the menu would.
  void command(int id);
  // Returns a window's text.
  static std::string text(HWND window);
  // Returns a child's rectangle in the frame's client coordinates.
  RECT child_rect(HWND child) const;
  // Presses or releases Shift and Ctrl in this thread's key state.
  static void set_modifiers(bool shift, bool ctrl);

  FrameState state;  // the frame keeps a pointer to it, as the program's frame does
  HWND frame = nullptr;
};

// Writes a 24-bit BMP of one grey level and returns its path.
std::string write_grey_bmp(const std::string& folder, const std::string& name, int width, int height, int grey);

#endif
