// The vector threshold kernels (per-function instruction sets; see luma_kernels_x86.h),
// and WebAssembly's for the page.
#ifndef QVX_THRESHOLD_KERNELS_X86_H
#define QVX_THRESHOLD_KERNELS_X86_H

#include "image/luma_kernels_x86.h"
#include "mono/conversion_mode.h"
#include "mono/threshold_kernels.h"

const ThresholdKernels& scalar_threshold_kernels();
void draw_thresholds_scalar(RandomSource& random, int mode, int base, int32_t count, int16_t* out);
#if QVX_X86
const ThresholdKernels& sse2_threshold_kernels();
const ThresholdKernels& avx2_threshold_kernels();
#endif
#ifdef __wasm_simd128__
const ThresholdKernels& wasm_threshold_kernels();
#endif

#endif
