// Every sample file of the conformance suite and damaged files made from them,
// converted in batch by quillvex.exe: each run must end within 10 s with a result or
// one reader message (answered here), never a crash, and leave either no output or a
// complete 1-bit BMP of the picture's size.
//
// By default a sample of the whole sweep runs; QVX_SWEEP_FULL=1 runs all of it
// (tests/e2e/bad-file-sweep), QVX_SWEEP_ONLY=TEXT only the files whose names hold
// TEXT; QVX_SWEEP_JOBS=N runs N at a time (4: most of a run is waiting for a window
// or a message, so more runs than cores pay); QVX_SWEEP_LOG names a file for one line
// per run.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "../common/window_search.h"
#include "damaged_bmp.h"
#include "image/bmp_reader.h"
#include "image/le_bytes.h"
#include "mono/result_bitmap.h"
#include "program.h"

namespace {

constexpr uint64_t kSeed = 20261207;
constexpr size_t kDamagedFiles = 2200;
constexpr size_t kSampleFiles = 200;
constexpr DWORD kRunLimit = 10000;      // ms from start to end of one run
constexpr DWORD kAnswerSettle = 400;    // ms after answering a message before the window is closed


std::vector<SampleFile> suite_files() {
  std::vector<SampleFile> files;
  for (const char* dir : {"g", "q", "b", "x"}) {
    const std::string folder = std::string(QVX_TESTDATA) + "\\bmpsuite\\" + dir + "\\";
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*.bmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) continue;
    std::vector<std::string> names;
    do names.push_back(found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());  // the same order on every machine, for the same damage
    for (const std::string& name : names) files.push_back({std::string(dir) + "-" + name, read_bytes(folder + name)});
  }
  return files;
}

enum Verdict { kResult, kMessage, kCrash, kTimeout, kSeveralMessages, kBadOutput, kSilent, kVerdicts };
const char* const kVerdictNames[] = {"result", "message", "crash", "timeout", "several messages", "bad output",
                                     "no result and no message"};

struct Run {
  const SampleFile* file = nullptr;
  std::string folder;
  ProgramRun program;
  DWORD started = 0;
  std::vector<HWND> answered;
  std::string messages;
  DWORD answered_at = 0;
  bool closed = false;
};

// Why an output file is not a complete 1-bit BMP of the picture the reader sees, or "".
std::string output_fault(const std::vector<uint8_t>& out, const std::vector<uint8_t>& input) {
  if (out.size() < 62) return "output of " + std::to_string(out.size()) + " bytes";
  if (out[0] != 'B' || out[1] != 'M') return "output without signature";
  if (get_u32(&out[2]) != out.size()) return "output file size field " + std::to_string(get_u32(&out[2]));
  if (get_u32(&out[10]) != 62 || get_u32(&out[14]) != 40 || get_u16(&out[28]) != 1 || get_u32(&out[30]) != 0)
    return "output is not an uncompressed 1-bit BMP";
  // A top-down picture gives a top-down result: a negative height.
  const int32_t width = get_i32(&out[18]), signed_height = get_i32(&out[22]);
  if (width < 0 || signed_height == INT32_MIN) return "output of width or height out of range";
  const int32_t height = signed_height < 0 ? -signed_height : signed_height;
  const uint64_t rows = uint64_t{result_stride(static_cast<uint32_t>(width))} * static_cast<uint32_t>(height);
  if (62 + rows != out.size() || get_u32(&out[34]) != rows) return "output rows do not fill the file";
  std::vector<uint8_t> store;
  PictureDescription picture;
  if (read_bmp_from_memory(input.data(), input.size(), store, picture) == ReadCode::kOk &&
      (picture.width != width || picture.height != height))
    return "output of " + std::to_string(width) + " x " + std::to_string(height) + " for a picture of " +
           std::to_string(picture.width) + " x " + std::to_string(picture.height);
  return "";
}

// Files in the run's folder other than the input, the output and, after a run that
// ended normally (through its window), the settings file.
std::string leftovers(const std::string& folder, bool settings_allowed) {
  std::string names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == ".." || name == "in.bmp" || name == "out.bmp") continue;
    if (settings_allowed && name == "QUILLVEX.INI") continue;
    names += " " + name;
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

std::string box_text(HWND box) {
  char title[128] = {}, text[512] = {};
  GetWindowTextA(box, title, sizeof title);
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the static text of a message box
  std::string joined = std::string(title) + ": " + text;
  for (char& c : joined)
    if (c == '\n' || c == '\r') c = ' ';
  return joined;
}

void start(Run& run, const SampleFile& file) {
  run = Run();
  run.file = &file;
  run.folder = fresh_folder();
  write_bytes(run.folder + "in.bmp", file.bytes);
  run.program = start_program("in.bmp /O out.bmp", run.folder);
  run.started = GetTickCount();
}

// Answers a new message box of the run, and closes the window that stays after a
// reader message. Returns true while the run goes on.
bool step(Run& run) {
  if (!run.program.started) return false;
  if (WaitForSingleObject(run.program.process.hProcess, 0) == WAIT_OBJECT_0) return false;
  const DWORD now = GetTickCount();
  if (now - run.started > kRunLimit) return false;
  const DWORD process = run.program.process.dwProcessId;
  if (HWND box = find_visible_window(process, "#32770")) {
    if (std::find(run.answered.begin(), run.answered.end(), box) == run.answered.end()) {
      run.answered.push_back(box);
      run.messages += (run.messages.empty() ? "" : " | ") + box_text(box);
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      run.answered_at = now;
    }
  } else if (!run.answered.empty() && !run.closed && now - run.answered_at > kAnswerSettle) {
    // After a reader message the program waits with an empty window.
    if (HWND frame = find_visible_window(process, "quillvexWClass")) {
      PostMessageA(frame, WM_CLOSE, 0, 0);
      run.closed = true;
    }
  }
  return true;
}

struct Finished {
  Verdict verdict;
  std::string detail;
  DWORD milliseconds;
  bool started = true;
};

Finished finish(Run& run) {
  Finished f{kResult, "", 0};
  const bool started = run.program.started;
  const bool ended = started && WaitForSingleObject(run.program.process.hProcess, 0) == WAIT_OBJECT_0;
  const int code = wait_for_exit(run.program, 0);  // ends a run that is still going
  const std::vector<uint8_t> out = read_bytes(run.folder + "out.bmp");
  const bool has_output = file_exists(run.folder + "out.bmp");
  const std::string fault = has_output ? output_fault(out, run.file->bytes) : "";
  const std::string extra = leftovers(run.folder, run.closed);
  char code_text[32];
  std::snprintf(code_text, sizeof code_text, "exit %#x", static_cast<unsigned>(code));
  if (!started) {
    f = {kCrash, "the program did not start (error " + std::to_string(run.program.start_error) + ")", 0, false};
  } else if (!ended) {
    f = {kTimeout, run.messages, 0};
  } else if (code != 0) {
    f = {kCrash, std::string(code_text) + " " + run.messages, 0};
  } else if (run.answered.size() > 1) {
    f = {kSeveralMessages, run.messages, 0};
  } else if (!fault.empty() || !extra.empty()) {
    f = {kBadOutput, fault + (extra.empty() ? "" : " left:" + extra), 0};
  } else if (run.answered.size() == 1) {
    f = {kMessage, run.messages + (has_output ? " (with output)" : ""), 0};
  } else if (!has_output) {
    f = {kSilent, "", 0};
  }
  f.milliseconds = GetTickCount() - run.started;
  if (f.verdict == kResult || f.verdict == kMessage) {
    for (const char* name : {"in.bmp", "out.bmp", "QUILLVEX.INI"}) DeleteFileA((run.folder + name).c_str());
    RemoveDirectoryA(run.folder.c_str());
  } else {
    f.detail += " [kept in " + run.folder + "]";
  }
  return f;
}

// Runs every file, a few at a time; returns one verdict per file.
std::vector<Finished> sweep(const std::vector<const SampleFile*>& files) {
  std::vector<Finished> verdicts(files.size());
  std::vector<Run> slots(runs_at_once("QVX_SWEEP_JOBS", 4));
  std::vector<size_t> slot_file(slots.size(), SIZE_MAX);
  size_t next = 0, done = 0;
  while (done < files.size()) {
    for (size_t s = 0; s < slots.size(); ++s) {
      if (slot_file[s] == SIZE_MAX) {
        if (next == files.size()) continue;
        slot_file[s] = next;
        start(slots[s], *files[next++]);
      }
      if (!step(slots[s])) {
        verdicts[slot_file[s]] = finish(slots[s]);
        slot_file[s] = SIZE_MAX;
        ++done;
      }
    }
    Sleep(10);
  }
  return verdicts;
}

TEST(BadFileSweep, EveryRunEndsInAResultOrOneMessage) {
  const std::vector<SampleFile> suite = suite_files();
  ASSERT_GT(suite.size(), 80u) << "the conformance suite is missing";
  const std::vector<SampleFile> damaged = damaged_files(suite, kSeed, kDamagedFiles);
  std::vector<const SampleFile*> all;
  for (const SampleFile& f : suite) all.push_back(&f);
  for (const SampleFile& f : damaged) all.push_back(&f);
  const char* full = std::getenv("QVX_SWEEP_FULL");
  const char* only = std::getenv("QVX_SWEEP_ONLY");  // a part of the names of the files to run
  std::vector<const SampleFile*> files;
  if (only != nullptr && *only != '\0') {
    for (const SampleFile* f : all)
      if (f->name.find(only) != std::string::npos) files.push_back(f);
  } else if (full != nullptr && *full == '1') {
    files = all;
  } else {
    // An even spread over the whole sweep: every kind of damage, every sample.
    for (size_t i = 0; i < kSampleFiles; ++i) files.push_back(all[i * all.size() / kSampleFiles]);
  }

  std::vector<Finished> verdicts = sweep(files);
  // A timeout, or a program that did not start, may be the machine's load: it counts
  // only when a run on its own repeats it.
  for (size_t i = 0; i < files.size(); ++i) {
    if (verdicts[i].verdict != kTimeout && verdicts[i].started) continue;
    verdicts[i] = sweep({files[i]})[0];
  }

  size_t counts[kVerdicts] = {};
  std::map<std::string, size_t> messages;
  FILE* log = nullptr;
  if (const char* path = std::getenv("QVX_SWEEP_LOG")) log = std::fopen(path, "w");
  for (size_t i = 0; i < files.size(); ++i) {
    const Finished& f = verdicts[i];
    ++counts[f.verdict];
    if (f.verdict == kMessage) ++messages[f.detail];
    if (log)
      std::fprintf(log, "%s\t%lu ms\t%s\t%s\n", kVerdictNames[f.verdict], static_cast<unsigned long>(f.milliseconds),
                   files[i]->name.c_str(), f.detail.c_str());
    EXPECT_TRUE(f.verdict == kResult || f.verdict == kMessage)
        << files[i]->name << ": " << kVerdictNames[f.verdict] << " " << f.detail;
  }
  if (log) std::fclose(log);
  const size_t from_suite = static_cast<size_t>(std::count_if(
      files.begin(), files.end(), [](const SampleFile* f) { return f->name.find('~') == std::string::npos; }));
  std::printf("bad-file sweep: %zu files (%zu from the suite, %zu damaged)\n", files.size(), from_suite,
              files.size() - from_suite);
  for (int v = 0; v < kVerdicts; ++v) std::printf("  %-26s %zu\n", kVerdictNames[v], counts[v]);
  for (const auto& m : messages) std::printf("    %5zu x %s\n", m.second, m.first.c_str());
}

}  // namespace
