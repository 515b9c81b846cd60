#include "program.h"

#include <cstdio>

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

HWND wait_for_frame(const ProgramRun& run, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < milliseconds) {
    if (HWND frame = find_visible_window(run.process.dwProcessId, "quillvexWClass")) return frame;
    Sleep(20);
  }
  return nullptr;
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
