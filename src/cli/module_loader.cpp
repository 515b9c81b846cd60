#include "cli/module_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <string>

void* module_entry_beside_command(const char* file, const char* entry) {
  char exe[4096];
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return nullptr;
  std::string path(exe, static_cast<size_t>(n));
  path = path.substr(0, path.find_last_of('/') + 1) + file;
  // Never unloaded: GLib's types can't be, and every worker shares the module.
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  return module ? dlsym(module, entry) : nullptr;
}
