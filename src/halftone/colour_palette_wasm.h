// The vector path of the colour palettes in the page's build (colour_palette_wasm.cpp).
#ifndef QVX_COLOUR_PALETTE_WASM_H
#define QVX_COLOUR_PALETTE_WASM_H

#include "halftone/colour_palette.h"
#include "halftone/halftone_rows.h"

#ifdef __wasm_simd128__
// Floyd-Steinberg to a palette (8-bit t, left to right) on kPaletteBandRows rows of
// colours at once with WebAssembly's 128-bit vectors; the same scratch and results as
// diffuse_palette_band_fs_avx2 (colour_palette_x86.h).
void diffuse_palette_band_fs_wasm(const PaletteConverter& converter, PaletteBandScratch& band);
#endif

#endif
