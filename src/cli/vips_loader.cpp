// The libvips reader in the command: the module quillvex-cli-vips.so beside the
// command, loaded when the first picture needs it (one that is not a BMP file, or is
// to be resized, rotated or flipped), so that a BMP conversion does not spend its
// start loading libvips' hundred libraries.
#include <dlfcn.h>
#include <unistd.h>

#include <string>

#include "pipeline/vips_source.h"
#include "image/bmp_reader.h"

namespace {

// The module's functions, or nullptr when it can't be loaded.
const VipsReaderFunctions* reader() {
  static const VipsReaderFunctions* functions = [] {
    char exe[4096];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return static_cast<const VipsReaderFunctions*>(nullptr);
    std::string path(exe, static_cast<size_t>(n));
    path = path.substr(0, path.find_last_of('/') + 1) + "quillvex-cli-vips.so";
    // Kept loaded until the process ends: GLib's types can't be unloaded.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!module) return static_cast<const VipsReaderFunctions*>(nullptr);
    using Entry = const VipsReaderFunctions* (*)();
    const auto entry = reinterpret_cast<Entry>(dlsym(module, "qvx_vips_reader_functions"));
    return entry ? entry() : nullptr;
  }();
  return functions;
}

}  // namespace

bool start_vips(const char* program) { return reader() && reader()->start_vips(program); }

bool vips_reads_head(const std::vector<uint8_t>& head) { return reader() && reader()->vips_reads_head(head); }

ReadCode open_vips_source(const std::string& path, const std::vector<uint8_t>& head, uint64_t max_pixels,
                          const Preparation& prepare, VipsPicture*& source, RefusedSize& refused) {
  source = nullptr;
  return reader() ? reader()->open_vips_source(path, head, max_pixels, prepare, source, refused)
                  : ReadCode::kUnsupported;
}

ReadCode open_vips_rows(const RowSource& rows, int32_t width, int32_t height, const uint8_t* header40,
                        uint64_t max_pixels, const Preparation& prepare, VipsPicture*& source, RefusedSize& refused) {
  source = nullptr;
  return reader() ? reader()->open_vips_rows(rows, width, height, header40, max_pixels, prepare, source, refused)
                  : ReadCode::kUnsupported;
}

std::string vips_failure_reason(const std::string& path, const std::string& shown) {
  return reader() ? reader()->vips_failure_reason(path, shown) : "";
}

void close_vips_source(VipsPicture* source) {
  if (source) reader()->close_vips_source(source);
}

int32_t vips_source_width(const VipsPicture* source) { return reader()->vips_source_width(source); }
int32_t vips_source_height(const VipsPicture* source) { return reader()->vips_source_height(source); }
void vips_source_header(const VipsPicture* source, uint8_t* header) { reader()->vips_source_header(source, header); }
bool next_vips_strip(VipsPicture* source, Strip& strip, ReadCode& code) { return reader()->next_vips_strip(source, strip, code); }
