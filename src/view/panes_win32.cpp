#include "view/panes_win32.h"

// The panes only paint their background until their drawing is in place.
LRESULT CALLBACK CHILDWNDPROC(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(window, message, wparam, lparam);
}

LRESULT CALLBACK MONOWNDPROC(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(window, message, wparam, lparam);
}
