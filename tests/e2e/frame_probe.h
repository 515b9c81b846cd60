// Reads another process's frame from outside, as a user's tools would: control texts,
// window rectangles, and keys typed through the X server with xdotool.
#ifndef QVX_E2E_FRAME_PROBE_H
#define QVX_E2E_FRAME_PROBE_H

#include <windows.h>

#include <string>

// Returns a child control's text in the program's code page bytes (code_page 0: ours).
std::string control_text(HWND frame, int child_id, UINT code_page = 0);

// Returns a child's rectangle in the frame's client coordinates.
RECT child_rect(HWND frame, int child_id);

// Runs xdotool with the arguments on the X window of a Wine window; true when it succeeded.
bool xdotool_on(HWND window, const std::string& arguments);

// Starts a Windows program from a Unix shell with extra environment assignments
// (a Unix locale reaches a Wine program only this way); true when it was started.
bool start_from_unix(const std::string& assignments, const std::string& unix_exe);

// Gives the window the X input focus and types the xdotool key names, one by one.
bool type_keys(HWND window, const std::string& keys);

// Waits until a child's text equals the expected one; returns the last text seen.
std::string wait_for_text(HWND frame, int child_id, const std::string& expected, DWORD milliseconds = 5000);

// Returns a visible dialog box (#32770) of the process, waiting for it.
HWND wait_for_dialog(DWORD process_id, DWORD milliseconds);

#endif
