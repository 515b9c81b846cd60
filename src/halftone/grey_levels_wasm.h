// The vector path of the grey levels in the page's build (grey_levels_wasm.cpp).
#ifndef QVX_GREY_LEVELS_WASM_H
#define QVX_GREY_LEVELS_WASM_H

#include "halftone/grey_levels.h"
#include "halftone/halftone_rows.h"

#ifdef __wasm_simd128__
// Floyd-Steinberg to grey levels on kDiffusionBandRows rows at once with WebAssembly's
// 128-bit vectors: the same scratch, results and limit as diffuse_levels_band_fs_avx2
// (grey_levels_x86.h).
bool diffuse_levels_band_fs_wasm(const int32_t* values_of, int levels, int32_t width, LevelsBandScratch& band);
#endif

#endif
