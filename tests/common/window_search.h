// Finding a top-level window of a process by its class, for tests in and out of process.
#ifndef QVX_TESTS_WINDOW_SEARCH_H
#define QVX_TESTS_WINDOW_SEARCH_H

#include <windows.h>

namespace window_search_detail {

struct Search {
  DWORD process;
  const char* class_name;
  HWND found;
};

inline BOOL CALLBACK match_window(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  if (process == search->process && lstrcmpA(name, search->class_name) == 0 && IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace window_search_detail

// Returns a visible top-level window of the process with the class name, or null.
inline HWND find_visible_window(DWORD process, const char* class_name) {
  window_search_detail::Search search{process, class_name, nullptr};
  EnumWindows(window_search_detail::match_window, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

#endif
