// The libvips reader of the command: a module beside it, loaded on first need.
#ifndef QVX_CLI_VIPS_LOADER_H
#define QVX_CLI_VIPS_LOADER_H

#include "pipeline/vips_source.h"

// Loads quillvex-cli-vips.so from the command's folder; returns its functions, or null
// when it is missing or won't load.
const VipsReaderFunctions* load_vips_module();

// What is said when the module can't be had for a picture to be prepared.
extern const char kNoVipsModule[];

#endif
