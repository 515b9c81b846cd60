// The PNG and TIFF writers in the command: the module quillvex-cli-codecs.so beside
// the command, loaded for the first PNG or TIFF output, so that the command's start
// does not load libpng, libtiff and the libraries libtiff needs.
#include "cli/codec_loader.h"

#include "cli/module_loader.h"

const char kNoCodecModule[] = "the PNG and TIFF writer module quillvex-cli-codecs.so is missing beside the command or won't load";

const CodecFunctions* load_codec_module() {
  return load_module_beside_command<CodecFunctions>("quillvex-cli-codecs.so", "qvx_codec_functions");
}
