// The libvips reader in the command: the module quillvex-cli-vips.so beside the
// command, loaded when the first picture needs it (one that is not a BMP file, or is
// to be resized, rotated or flipped), so that a BMP conversion does not spend its
// start loading libvips' hundred libraries.
#include "cli/vips_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <string>

const char kNoVipsModule[] = "the picture reader module quillvex-cli-vips.so is missing beside the command or won't load";

const VipsReaderFunctions* load_vips_module() {
  char exe[4096];
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return nullptr;
  std::string path(exe, static_cast<size_t>(n));
  path = path.substr(0, path.find_last_of('/') + 1) + "quillvex-cli-vips.so";
  // Kept loaded until the process ends: GLib's types can't be unloaded.
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (!module) return nullptr;
  using Entry = const VipsReaderFunctions* (*)();
  const auto entry = reinterpret_cast<Entry>(dlsym(module, "qvx_vips_reader_functions"));
  return entry ? entry() : nullptr;
}
