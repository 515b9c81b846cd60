// The PNG and TIFF writers in the command: the module quillvex-cli-codecs.so beside
// the command, loaded for the first PNG or TIFF output, so that the command's start
// does not load libpng, libtiff and the libraries libtiff needs.
#include "cli/codec_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <string>

const char kNoCodecModule[] = "the PNG and TIFF writer module quillvex-cli-codecs.so is missing beside the command or won't load";

const CodecFunctions* load_codec_module() {
  char exe[4096];
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return nullptr;
  std::string path(exe, static_cast<size_t>(n));
  path = path.substr(0, path.find_last_of('/') + 1) + "quillvex-cli-codecs.so";
  // Kept loaded until the process ends: every worker's outputs share it.
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (!module) return nullptr;
  using Entry = const CodecFunctions* (*)();
  const auto entry = reinterpret_cast<Entry>(dlsym(module, "qvx_codec_functions"));
  return entry ? entry() : nullptr;
}
