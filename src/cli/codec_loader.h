// The PNG and TIFF writers of the command: a module beside it, loaded on first need.
#ifndef QVX_CLI_CODEC_LOADER_H
#define QVX_CLI_CODEC_LOADER_H

#include "pipeline/codec_module.h"

// Loads quillvex-cli-codecs.so from the command's folder; returns its functions, or
// null when it is missing or won't load.
const CodecFunctions* load_codec_module();

// What a PNG or TIFF output says when the module can't be had.
extern const char kNoCodecModule[];

#endif
