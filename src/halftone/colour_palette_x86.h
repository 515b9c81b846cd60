// The vector paths of the colour palettes (colour_palette_x86.cpp).
#ifndef QVX_COLOUR_PALETTE_X86_H
#define QVX_COLOUR_PALETTE_X86_H

#include "halftone/colour_palette.h"
#include "halftone/halftone_rows.h"
#include "image/luma_kernels_x86.h"

#if QVX_X86
// Floyd-Steinberg to a palette (8-bit t, left to right) on kPaletteBandRows rows of
// colours at once with AVX2: band.rgb holds the rows, band.above the errors carried into
// the first; gives each row's indexes in band.indexes and the errors for the row after
// the band in band.below. The clamp bounds every e, so 32-bit lanes are always exact.
void diffuse_palette_band_fs_avx2(const PaletteConverter& converter, PaletteBandScratch& band);

// The nearest entries (8-bit t) of a row's first pixels, eight at a time with AVX2;
// returns how many pixels it did (the rest are fewer than eight).
int32_t nearest_palette_row_avx2(const PaletteConverter& converter, const uint8_t* rgb, uint8_t* indexes);
#endif

#endif
