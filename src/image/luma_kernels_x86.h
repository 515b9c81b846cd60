// The vector luminance kernels, built with per-function instruction sets so that
// one program serves every x86 CPU; the tails of rows go to the scalar kernels.
#ifndef QVX_LUMA_KERNELS_X86_H
#define QVX_LUMA_KERNELS_X86_H

#include "image/luma_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#define QVX_X86 1
#else
#define QVX_X86 0
#endif

const LumaKernels& scalar_luma_kernels();
#if QVX_X86
const LumaKernels& sse2_luma_kernels();
const LumaKernels& avx2_luma_kernels();
#endif

#endif
