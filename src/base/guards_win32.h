// Small RAII guards for platform resources, so that every early return releases them.
#ifndef QVX_GUARDS_WIN32_H
#define QVX_GUARDS_WIN32_H

#include <windows.h>

#include <cstdint>

// Shows the wait cursor for the guard's lifetime and restores the previous one.
class WaitCursor {
 public:
  WaitCursor() : previous_(SetCursor(LoadCursorA(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { SetCursor(previous_); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous_;
};

// A window's device context, released at the end of the scope.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// BeginPaint and EndPaint around one paint of a window.
class PaintDc {
 public:
  explicit PaintDc(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
  ~PaintDc() { EndPaint(window_, &paint_); }
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;
  HDC get() const { return dc_; }
  const RECT& rect() const { return paint_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT paint_;
  HDC dc_;
};

// A new movable global block, locked while the guard lives and freed with it.
class LockedBlock {
 public:
  explicit LockedBlock(SIZE_T size) : block_(GlobalAlloc(GMEM_MOVEABLE, size)), bytes_(nullptr) {
    if (block_) bytes_ = static_cast<uint8_t*>(GlobalLock(block_));
  }
  ~LockedBlock() {
    if (bytes_) GlobalUnlock(block_);
    if (block_) GlobalFree(block_);
  }
  LockedBlock(const LockedBlock&) = delete;
  LockedBlock& operator=(const LockedBlock&) = delete;
  uint8_t* get() const { return bytes_; }

 private:
  HGLOBAL block_;
  uint8_t* bytes_;
};

// A solid brush made and selected into a device context while the guard lives, then
// deselected and deleted.
class SelectedBrush {
 public:
  SelectedBrush(HDC dc, COLORREF colour) : dc_(dc), brush_(CreateSolidBrush(colour)), previous_(nullptr) {
    if (brush_) previous_ = SelectObject(dc, brush_);
  }
  ~SelectedBrush() {
    if (previous_) SelectObject(dc_, previous_);
    if (brush_) DeleteObject(brush_);
  }
  SelectedBrush(const SelectedBrush&) = delete;
  SelectedBrush& operator=(const SelectedBrush&) = delete;

 private:
  HDC dc_;
  HBRUSH brush_;
  HGDIOBJ previous_;
};

// A lock on a movable global block.
class GlobalLockGuard {
 public:
  explicit GlobalLockGuard(HGLOBAL block) : block_(block), bytes_(static_cast<uint8_t*>(GlobalLock(block))) {}
  ~GlobalLockGuard() {
    if (bytes_) GlobalUnlock(block_);
  }
  GlobalLockGuard(const GlobalLockGuard&) = delete;
  GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
  uint8_t* get() const { return bytes_; }

 private:
  HGLOBAL block_;
  uint8_t* bytes_;
};

// A palette selected into a device context and realised, as a foreground or a
// background palette, and deselected at the end of the scope.
class SelectedPalette {
 public:
  SelectedPalette(HDC dc, HPALETTE palette, bool background)
      : dc_(dc), background_(background), previous_(palette ? SelectPalette(dc, palette, background) : nullptr) {
    if (previous_) RealizePalette(dc);
  }
  ~SelectedPalette() {
    if (previous_) SelectPalette(dc_, previous_, background_);
  }
  SelectedPalette(const SelectedPalette&) = delete;
  SelectedPalette& operator=(const SelectedPalette&) = delete;

 private:
  HDC dc_;
  BOOL background_;
  HPALETTE previous_;
};

// A file opened with the simple file calls, closed at the end of the scope.
class SimpleFile {
 public:
  explicit SimpleFile(HFILE file) : file_(file) {}
  ~SimpleFile() {
    if (file_ != HFILE_ERROR) _lclose(file_);
  }
  SimpleFile(const SimpleFile&) = delete;
  SimpleFile& operator=(const SimpleFile&) = delete;
  HFILE get() const { return file_; }
  bool ok() const { return file_ != HFILE_ERROR; }
  void close() {
    if (file_ != HFILE_ERROR) _lclose(file_);
    file_ = HFILE_ERROR;
  }

 private:
  HFILE file_;
};

#endif
