// The vector ordered-dither rows (per-function instruction sets; see luma_kernels_x86.h).
#ifndef QVX_ORDERED_DITHER_X86_H
#define QVX_ORDERED_DITHER_X86_H

#include "halftone/halftone_rows.h"
#include "image/luma_kernels_x86.h"

#if QVX_X86
const OrderedKernels& sse2_ordered_kernels();
const OrderedKernels& avx2_ordered_kernels();
#endif

#endif
