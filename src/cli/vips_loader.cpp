// The libvips reader in the command: the module quillvex-cli-vips.so beside the
// command, loaded when the first picture needs it (one that is not a BMP file, or is
// to be resized, rotated or flipped), so that a BMP conversion does not spend its
// start loading libvips' hundred libraries.
#include "cli/vips_loader.h"

#include "cli/module_loader.h"

const char kNoVipsModule[] = "the picture reader module quillvex-cli-vips.so is missing beside the command or won't load";

const VipsReaderFunctions* load_vips_module() {
  return load_module_beside_command<VipsReaderFunctions>("quillvex-cli-vips.so", "qvx_vips_reader_functions");
}
