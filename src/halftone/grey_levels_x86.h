// The vector paths of the grey levels (grey_levels_x86.cpp).
#ifndef QVX_GREY_LEVELS_X86_H
#define QVX_GREY_LEVELS_X86_H

#include "halftone/grey_levels.h"
#include "halftone/halftone_rows.h"
#include "image/luma_kernels_x86.h"

#if QVX_X86
// Floyd-Steinberg to grey levels (8-bit s, left to right) on kDiffusionBandRows rows at
// once with AVX2: band.values holds each row's s, the first row's carried errors added;
// gives each row's indexes in band.indexes and the last row's e in band.last_errors.
// False when an e grew past band.error_limit (the 16-bit arithmetic is exact within
// it): the scalar path then does the rows. Widths up to kMaxBandWidth.
bool diffuse_levels_band_fs_avx2(const int32_t* values_of, int levels, int32_t width, LevelsBandScratch& band);
#endif

#endif
