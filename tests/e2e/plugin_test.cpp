// The shipped imaging plug-in, end to end: pictures in other formats open in the
// program and convert exactly like the same pictures saved as 24-bit BMP files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../common/window_search.h"
#include "frame_probe.h"
#include "program.h"

namespace {

std::string picture(const std::string& name) { return std::string(QVX_PLUGIN_PICTURES) + "/" + name; }

// A folder with a copy of the program and the shipped plug-in beside it.
std::string program_folder() {
  const std::string folder = fresh_folder();
  EXPECT_TRUE(CopyFileA(QVX_EXE, (folder + "quillvex.exe").c_str(), FALSE));
  EXPECT_TRUE(CopyFileA(QVX_WIC_PLUGIN, (folder + "QVXWIC.SPI").c_str(), FALSE));
  return folder;
}

ProgramRun start_copy(const std::string& folder, const std::string& arguments,
                      const std::string& program = "quillvex.exe") {
  ProgramRun run;
  std::string command = "\"" + folder + program + "\" " + arguments;
  std::vector<char> line(command.begin(), command.end());
  line.push_back(0);
  SetEnvironmentVariableA("USERPROFILE", folder.substr(0, folder.size() - 1).c_str());
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  run.started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                               &run.process) != 0;
  return run;
}

// Converts a picture with the copy in `folder`; returns the written file.
// The input is copied into the folder under a short name of the same extension.
std::vector<uint8_t> batch_convert(const std::string& folder, const std::string& input, const char* density,
                                   const char* options) {
  const std::string name = "in" + input.substr(input.rfind('.'));
  EXPECT_TRUE(CopyFileA(input.c_str(), (folder + name).c_str(), FALSE)) << input;
  DeleteFileA((folder + "out.bmp").c_str());
  const std::string arguments = std::string(density) + " " + name + " /O out.bmp" + options;
  ProgramRun run = start_copy(folder, arguments);
  if (WaitForSingleObject(run.process.hProcess, 30000) != WAIT_OBJECT_0) {
    char text[512] = {};
    if (HWND box = find_visible_window(run.process.dwProcessId, "#32770"))
      SendMessageA(GetDlgItem(box, 0xFFFF), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    ADD_FAILURE() << arguments << " in " << folder << " shows: " << text;
  }
  EXPECT_EQ(wait_for_exit(run, 1000), 0) << input;
  DeleteFileA((folder + name).c_str());
  return read_bytes(folder + "out.bmp");
}

TEST(ImagingPlugin, EveryFormatConvertsLikeItsBitmapTwin) {
  const std::string folder = program_folder();
  const char* const names[] = {"palette.png", "rgb.png", "alpha.png", "photo.jpg", "picture.gif", "picture.tif"};
  const struct {
    const char* density;
    const char* options;
  } runs[] = {{"/128", ""}, {"/90", " /H"}, {"/170", " /S /R"}};
  for (const char* name : names) {
    for (const auto& run : runs) {
      const std::vector<uint8_t> expected =
          batch_convert(folder, picture(std::string(name) + ".bmp"), run.density, run.options);
      ASSERT_GT(expected.size(), 62u) << name;
      EXPECT_EQ(batch_convert(folder, picture(name), run.density, run.options), expected) << name << run.options;
    }
  }
}

// Starts the program on a damaged file; returns the reader's message, after
// answering it and closing the program, which must end normally.
std::string message_for(const std::string& folder, const std::string& file,
                        const std::string& program = "quillvex.exe") {
  ProgramRun run = start_copy(folder, file, program);
  HWND frame = wait_for_frame(run, 20000);
  EXPECT_NE(frame, nullptr) << file;
  HWND box = wait_for_dialog(run.process.dwProcessId, 10000);
  char text[512] = {};
  if (box) {
    SendMessageA(GetDlgItem(box, 0xFFFF), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  }
  Sleep(200);
  if (frame) PostMessageA(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(wait_for_exit(run, 20000), 0) << file;
  return text;
}

TEST(ImagingPlugin, DamagedFilesGiveAReaderMessage) {
  const std::string folder = program_folder();
  std::vector<uint8_t> png = read_bytes(picture("rgb.png"));
  png.resize(png.size() / 2);
  write_bytes(folder + "cut.png", png);
  std::vector<uint8_t> noise(5000);
  uint32_t seed = 12345;
  for (uint8_t& b : noise) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
  write_bytes(folder + "noise.jpg", noise);
  noise[0] = 0xFF, noise[1] = 0xD8, noise[2] = 0xFF;  // looks like a JPEG to the first bytes
  write_bytes(folder + "noise2.jpg", noise);
  for (const char* name : {"cut.png", "noise.jpg", "noise2.jpg"}) {
    EXPECT_EQ(message_for(folder, name), "bitmap read failed.\nThis file format is not supported.") << name;
  }
}

// Wine reports platform 3.51 to a program whose per-program Version setting is nt351.
TEST(ImagingPlugin, TheOldJpegPluginNameIsSkippedOnPlatform351) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\qvx351.exe", 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("nt351"), 6);
  RegCloseKey(key);
  const struct {
    const char* plugin_name;
    const char* message;
  } cases[] = {
      {"IFJPEGV6.SPI", "bitmap read failed.\nThis file format is not supported."},
      {"ifjpegv6.spi", ""},  // opened: no message
  };
  for (const auto& c : cases) {
    const std::string folder = fresh_folder();
    ASSERT_TRUE(CopyFileA(QVX_EXE, (folder + "qvx351.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(QVX_WIC_PLUGIN, (folder + c.plugin_name).c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(picture("photo.jpg").c_str(), (folder + "photo.jpg").c_str(), FALSE));
    ProgramRun run = start_copy(folder, "photo.jpg", "qvx351.exe");
    HWND frame = wait_for_frame(run, 20000);
    ASSERT_NE(frame, nullptr);
    std::string seen;
    for (int i = 0; i < 100 && seen.empty(); ++i) {
      char caption[300] = {};
      GetWindowTextA(frame, caption, sizeof caption);
      if (std::string(caption).rfind("QUILLVEX- ", 0) == 0) break;
      if (HWND box = find_visible_window(run.process.dwProcessId, "#32770")) {
        char text[512] = {};
        SendMessageA(GetDlgItem(box, 0xFFFF), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
        seen = text;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
      }
      Sleep(50);
    }
    EXPECT_EQ(seen, c.message) << c.plugin_name;
    Sleep(200);
    PostMessageA(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(wait_for_exit(run, 20000), 0) << c.plugin_name;
  }
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\qvx351.exe");
}

}  // namespace
