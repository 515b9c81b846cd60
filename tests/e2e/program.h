// Runs quillvex.exe as a user would, in a folder of the test's own, and watches it.
#ifndef QVX_E2E_PROGRAM_H
#define QVX_E2E_PROGRAM_H

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A fresh folder for one run, with a trailing backslash; also the run's USERPROFILE.
std::string fresh_folder();

struct ProgramRun {
  PROCESS_INFORMATION process = {};
  bool started = false;
  DWORD start_error = 0;  // the system's error code when the program did not start
};

// Starts the program with a command line (after its path) in a folder, USERPROFILE
// pointing at that folder.
ProgramRun start_program(const std::string& arguments, const std::string& folder);

// Waits for the program to end; returns its exit code, or -1 when it did not end in time
// (it is then terminated).
int wait_for_exit(ProgramRun& run, DWORD milliseconds);

// Runs the program to its end and returns the exit code.
int run_program(const std::string& arguments, const std::string& folder);

// Runs the program once per (arguments, folder) pair, `at_once` at a time, each to
// its end; returns the exit codes in the same order (-1 for a run that did not end
// within a minute, -2 for one that did not start).
std::vector<int> run_programs(const std::vector<std::pair<std::string, std::string>>& runs, size_t at_once);

// Returns the frame window of a running program, or null when none appeared in time.
HWND wait_for_frame(const ProgramRun& run, DWORD milliseconds);

// Returns how many runs to keep going at once: the environment variable's number
// (1..16), else `fallback`.
size_t runs_at_once(const char* variable, size_t fallback);

std::vector<uint8_t> read_bytes(const std::string& path);
bool write_bytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool file_exists(const std::string& path);

#endif
