// The scratch rows the error-diffusion kernels work in, owned by the converter and
// handed to the kernels (halftone_rows.h), which need nothing else of it.
#ifndef QVX_HALFTONE_SCRATCH_H
#define QVX_HALFTONE_SCRATCH_H

#include <cstdint>
#include <vector>

// Scratch of the vector Floyd-Steinberg (halftone_rows.h).
struct DiffusionBandScratch {
  std::vector<int16_t> values, below;
  std::vector<uint8_t> whites;
  int error_limit = 255;  // the largest |e| the band may meet (lowered by a test)
  // The same in linear light, in 32 bits.
  std::vector<int32_t> wide_values, wide_below;
  int32_t wide_error_limit = 1 << 20;  // kWideErrorLimit (halftone_rows.h), lowered by a test
};

// Scratch of the one-row-at-a-time error diffusion (error_diffusion_chain.cpp): a row's
// s plus carried errors with two zeros either side, its e with four, its white flags.
struct ChainScratch {
  std::vector<int32_t> base, errors;
  std::vector<uint8_t> whites;
};

#endif
