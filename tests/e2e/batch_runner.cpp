// qvx_batch_runner JOBS RESULTS: runs many batch conversions of quillvex.exe from one
// Wine process, three at a time (QVX_RUNS_AT_ONCE sets another number), so that a
// comparison of hundreds of runs pays for one Wine start instead of one per run.
//
// JOBS has one run a line: the run's folder (a Windows path ending in a backslash),
// a tab, and the program's arguments. RESULTS gets one line a run, in the same order:
// "exit N", "message TEXT" (the program refused the picture with a message box, which
// is answered and the window closed), "timeout" or "not started". A run that timed
// out or did not start ends the whole list there (exit status 3, the run named on
// standard error): a program that hangs would otherwise be waited out run by run.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "../common/window_search.h"
#include "program.h"

namespace {

constexpr DWORD kRunLimit = 30000;  // ms from start to end of one run

struct Job {
  std::string folder;
  std::string arguments;
};

struct Slot {
  size_t job = SIZE_MAX;
  ProgramRun program;
  DWORD started = 0;
  std::string message;
  bool closed = false;
};

std::vector<Job> read_jobs(const char* path) {
  std::vector<Job> jobs;
  FILE* file = std::fopen(path, "rb");
  if (!file) return jobs;
  char line[4096];
  while (std::fgets(line, sizeof line, file)) {
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const size_t tab = text.find('\t');
    if (tab != std::string::npos) jobs.push_back({text.substr(0, tab), text.substr(tab + 1)});
  }
  std::fclose(file);
  return jobs;
}

std::string one_line(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  return text;
}

// Answers the run's message box and closes the empty window it leaves; returns the
// verdict once the run is over, or "" while it goes on.
std::string step(Slot& slot) {
  if (!slot.program.started) return "not started";
  if (WaitForSingleObject(slot.program.process.hProcess, 0) == WAIT_OBJECT_0) {
    const int code = wait_for_exit(slot.program, 0);
    return slot.message.empty() ? "exit " + std::to_string(code) : "message " + slot.message;
  }
  if (GetTickCount() - slot.started > kRunLimit) {
    wait_for_exit(slot.program, 0);  // ends the program
    return "timeout";
  }
  const DWORD process = slot.program.process.dwProcessId;
  if (HWND box = find_visible_window(process, "#32770")) {
    if (slot.message.empty()) {
      char text[512] = {};
      GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
      slot.message = one_line(text[0] ? text : "(no text)");
      PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
  } else if (!slot.message.empty() && !slot.closed) {
    // After a reader message the program waits with an empty window.
    if (HWND frame = find_visible_window(process, "quillvexWClass")) {
      PostMessageA(frame, WM_CLOSE, 0, 0);
      slot.closed = true;
    }
  }
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: qvx_batch_runner JOBS RESULTS\n");
    return 2;
  }
  const std::vector<Job> jobs = read_jobs(argv[1]);
  std::vector<std::string> verdicts(jobs.size());
  std::vector<Slot> slots(runs_at_once("QVX_RUNS_AT_ONCE", 3));
  size_t next = 0, done = 0;
  while (done < jobs.size()) {
    for (Slot& slot : slots) {
      if (slot.job == SIZE_MAX) {
        if (next == jobs.size()) continue;
        slot = Slot();
        slot.job = next++;
        slot.program = start_program(jobs[slot.job].arguments, jobs[slot.job].folder);
        slot.started = GetTickCount();
      }
      const std::string verdict = step(slot);
      if (verdict.empty()) continue;
      verdicts[slot.job] = verdict;
      if (verdict == "timeout" || verdict == "not started") {
        std::fprintf(stderr, "qvx_batch_runner: %s: %s in %s\n", verdict.c_str(), jobs[slot.job].arguments.c_str(),
                     jobs[slot.job].folder.c_str());
        for (Slot& other : slots)
          if (other.job != SIZE_MAX && other.program.started) wait_for_exit(other.program, 0);
        return 3;
      }
      slot.job = SIZE_MAX;
      ++done;
    }
    Sleep(5);
  }
  FILE* out = std::fopen(argv[2], "wb");
  if (!out) return 1;
  for (const std::string& verdict : verdicts) std::fprintf(out, "%s\n", verdict.c_str());
  return std::fclose(out) == 0 ? 0 : 1;
}
