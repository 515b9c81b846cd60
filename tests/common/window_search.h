// Finding a top-level window of a process by its class, for tests in and out of process.
#ifndef QVX_TESTS_WINDOW_SEARCH_H
#define QVX_TESTS_WINDOW_SEARCH_H

#include <windows.h>

#include <algorithm>
#include <vector>

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

struct Listing {
  const char* class_name;
  std::vector<DWORD> processes;
};

inline BOOL CALLBACK list_window(HWND window, LPARAM context) {
  auto* listing = reinterpret_cast<Listing*>(context);
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  if (lstrcmpA(name, listing->class_name) != 0) return TRUE;
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  listing->processes.push_back(process);
  return TRUE;
}

}  // namespace window_search_detail

// Returns a visible top-level window of the process with the class name, or null.
inline HWND find_visible_window(DWORD process, const char* class_name) {
  window_search_detail::Search search{process, class_name, nullptr};
  EnumWindows(window_search_detail::match_window, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Returns the processes that own a top-level window of the class, visible or not.
inline std::vector<DWORD> processes_with_window(const char* class_name) {
  window_search_detail::Listing listing{class_name, {}};
  EnumWindows(window_search_detail::list_window, reinterpret_cast<LPARAM>(&listing));
  return listing.processes;
}

// Returns the process of a visible top-level window of the class owned by none of
// the processes in `before`, or 0: the program started after `before` was taken.
inline DWORD newer_process_with_window(const char* class_name, const std::vector<DWORD>& before) {
  for (DWORD process : processes_with_window(class_name))
    if (std::find(before.begin(), before.end(), process) == before.end() && find_visible_window(process, class_name))
      return process;
  return 0;
}

#endif
