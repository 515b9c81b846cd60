// The two panes: the picture and its black-and-white result.
#ifndef QVX_PANES_WIN32_H
#define QVX_PANES_WIN32_H

#include <windows.h>

LRESULT CALLBACK CHILDWNDPROC(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK MONOWNDPROC(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

#endif
