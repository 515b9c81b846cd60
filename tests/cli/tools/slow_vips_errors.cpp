// Loaded before libvips in a test run of the command: every libvips error waits a
// while once it is recorded, so that another worker's picture surely starts (and
// clears libvips' error text) before the failing worker reads it.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdarg>

extern "C" __attribute__((visibility("default"))) void vips_verror(const char* domain, const char* format,
                                                                    va_list arguments) {
  using Verror = void (*)(const char*, const char*, va_list);
  static const Verror real = reinterpret_cast<Verror>(dlsym(RTLD_NEXT, "vips_verror"));
  real(domain, format, arguments);
  usleep(300000);
}
