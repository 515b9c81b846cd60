// What opening a large picture through the imaging plug-in costs in memory: the
// peak of a process that opens it, against the peak of one that opens nothing.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h, which it needs
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/frame_win32.h"
#include "app/picture_commands_win32.h"
#include "image/plugin_reader_win32.h"
#include "test_frame.h"

namespace {

constexpr const char* kProbeVariable = "QVX_MEMORY_PROBE";
const std::string kBigPicture = std::string(QVX_PLUGIN_PICTURES) + "/big.png";

// Runs this program again as a probe ("empty" or "open"); returns its peak working set.
long long probe_peak(const char* mode) {
  const std::string report = temp_directory() + "peak.txt";
  const std::string value = std::string(mode) + "|" + report;
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string command = std::string("\"") + self + "\" --gtest_filter=MemoryProbe.*";
  std::vector<char> line(command.begin(), command.end());
  line.push_back(0);
  SetEnvironmentVariableA(kProbeVariable, value.c_str());
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  const bool started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                      &process) != 0;
  SetEnvironmentVariableA(kProbeVariable, nullptr);
  if (!started) return -1;
  if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  const std::vector<unsigned char> bytes = file_bytes(report);
  return bytes.empty() ? -1 : std::atoll(std::string(bytes.begin(), bytes.end()).c_str());
}

TEST(MemoryProbe, ReportsThePeakWhenAsked) {
  const char* probe = std::getenv(kProbeVariable);
  if (!probe) GTEST_SKIP() << "runs only as a probe process of the memory test";
  const std::string value = probe;
  const std::string mode = value.substr(0, value.find('|'));
  const std::string report = value.substr(value.find('|') + 1);
  long long peak = -1;
  {
    TestFrame frame;
    lstrcpynA(frame.state.plugins.directory, QVX_WIC_PLUGIN_DIR, MAX_PATH);
    bool ok = true;
    if (mode == "open") {
      set_file_name(frame.state, kBigPicture.c_str());
      ok = open_picture(frame.state, false) == 1 && frame.state.picture.description.width == 4000;
    }
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (ok && GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
      peak = static_cast<long long>(counters.PeakWorkingSetSize);
  }
  const std::string text = std::to_string(peak);
  write_file(report, std::vector<unsigned char>(text.begin(), text.end()));
}

TEST(PluginMemory, ALargePictureIsHeldOnce) {
  const long long empty = probe_peak("empty");
  const long long opened = probe_peak("open");
  ASSERT_GT(empty, 0);
  ASSERT_GT(opened, 0) << "the picture did not open";
  const long long file = static_cast<long long>(file_bytes(kBigPicture).size());
  const long long picture_32 = 4000LL * 3000 * 4;
  const long long allowed = file + 2 * picture_32 + (16LL << 20);
  std::printf("peak above an empty run: %lld bytes (%.1f MiB); allowed %lld (%.1f MiB)\n", opened - empty,
              (opened - empty) / 1048576.0, allowed, allowed / 1048576.0);
  EXPECT_LE(opened - empty, allowed);
}

}  // namespace
