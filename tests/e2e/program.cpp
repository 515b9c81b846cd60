#include "program.h"

#include <cstdio>
#include <cstdlib>

#include "../common/temp_folder.h"
#include "../common/window_search.h"

std::string fresh_folder() { return new_temp_folder("qvx-e2e"); }

ProgramRun start_program(const std::string& arguments, const std::string& folder) {
  ProgramRun run;
  std::string command = std::string("\"") + QVX_EXE + "\" " + arguments;
  std::vector<char> line(command.begin(), command.end());
  line.push_back(0);
  // The child's environment: ours with USERPROFILE pointing at the run's folder.
  std::string profile = folder.substr(0, folder.size() - 1);
  SetEnvironmentVariableA("USERPROFILE", profile.c_str());
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  // Under Wine on a loaded machine a start now and then fails for a moment; a few
  // tries keep that from reading as a fault of the program.
  for (int attempt = 0; attempt < 3 && !run.started; ++attempt) {
    if (attempt > 0) Sleep(250);
    std::vector<char> copy = line;  // CreateProcessA may write into the command line
    run.started = CreateProcessA(nullptr, copy.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                                 &run.process) != 0;
    if (!run.started) run.start_error = GetLastError();
  }
  return run;
}

int wait_for_exit(ProgramRun& run, DWORD milliseconds) {
  if (!run.started) return -2;
  int code = -1;
  if (WaitForSingleObject(run.process.hProcess, milliseconds) == WAIT_OBJECT_0) {
    DWORD exit_code = 0;
    GetExitCodeProcess(run.process.hProcess, &exit_code);
    code = static_cast<int>(exit_code);
  } else {
    TerminateProcess(run.process.hProcess, 99);
    WaitForSingleObject(run.process.hProcess, 5000);
  }
  CloseHandle(run.process.hProcess);
  CloseHandle(run.process.hThread);
  run.started = false;
  return code;
}

int run_program(const std::string& arguments, const std::string& folder) {
  ProgramRun run = start_program(arguments, folder);
  return wait_for_exit(run, 60000);
}

std::vector<int> run_programs(const std::vector<std::pair<std::string, std::string>>& runs, size_t at_once) {
  std::vector<int> codes(runs.size(), -1);
  std::vector<ProgramRun> going;
  std::vector<size_t> going_index;
  std::vector<DWORD> going_since;
  size_t next = 0;
  while (next < runs.size() || !going.empty()) {
    while (next < runs.size() && going.size() < at_once) {
      going.push_back(start_program(runs[next].first, runs[next].second));
      going_index.push_back(next++);
      going_since.push_back(GetTickCount());
    }
    for (size_t i = 0; i < going.size();) {
      const bool ended = !going[i].started || WaitForSingleObject(going[i].process.hProcess, 0) == WAIT_OBJECT_0;
      if (!ended && GetTickCount() - going_since[i] < 60000) {
        ++i;
        continue;
      }
      codes[going_index[i]] = wait_for_exit(going[i], 0);
      going.erase(going.begin() + static_cast<ptrdiff_t>(i));
      going_index.erase(going_index.begin() + static_cast<ptrdiff_t>(i));
      going_since.erase(going_since.begin() + static_cast<ptrdiff_t>(i));
    }
    Sleep(5);
  }
  return codes;
}

HWND wait_for_frame(const ProgramRun& run, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < milliseconds) {
    if (HWND frame = find_visible_window(run.process.dwProcessId, "quillvexWClass")) return frame;
    Sleep(20);
  }
  return nullptr;
}

size_t runs_at_once(const char* variable, size_t fallback) {
  const char* text = std::getenv(variable);
  const int n = text ? std::atoi(text) : 0;
  return n > 0 && n <= 16 ? static_cast<size_t>(n) : fallback;
}

std::vector<uint8_t> read_bytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return bytes;
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(file);
  return bytes;
}

bool write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

bool file_exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
