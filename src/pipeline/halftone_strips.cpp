#include "pipeline/halftone_strips.h"

#include <algorithm>
#include <cstring>

#include "halftone/halftone_rows.h"
#include "pipeline/halftone_band.h"

#include "mono/result_bitmap.h"

namespace {

// Threads from which the row wavefront beats one thread on SSE2's bands.
constexpr int kWavefrontThreads = 4;

int32_t top_of(const HalftoneStrips& h, int32_t storage_row) {
  return h.out->bottom_up ? h.height - 1 - storage_row : storage_row;
}

// Hands the batch to the output as storage rows.
void flush_batch(HalftoneStrips& h) {
  if (h.batch_rows == 0) return;
  const int32_t first = h.out->bottom_up ? h.height - h.batch_top - h.batch_rows : h.batch_top;
  const size_t skipped = h.out->bottom_up ? static_cast<size_t>(h.batch_capacity - h.batch_rows) : 0;
  if (!h.failed && !put_result_rows(*h.out, first, h.batch_rows, h.batch.data() + skipped * h.out->stride)) {
    h.failed = true;
  }
  if (h.rows_done) h.rows_done(h.rows_context, h.batch_top + h.batch_rows, h.height);
  h.batch_rows = 0;
}

// The converter's sink: row `top` goes into the batch where its storage row stands,
// so a bottom-up output's batch fills from its end.
void take_row(void* context, int32_t top, const uint8_t* bits) {
  HalftoneStrips& h = *static_cast<HalftoneStrips*>(context);
  if (h.batch_rows == 0) h.batch_top = top;
  const int32_t slot = h.out->bottom_up ? h.batch_capacity - 1 - h.batch_rows : h.batch_rows;
  std::memcpy(h.batch.data() + static_cast<size_t>(slot) * h.out->stride, bits, (static_cast<size_t>(h.width) + 7) / 8);
  if (++h.batch_rows == h.batch_capacity) flush_batch(h);
}

const uint8_t* ahead_row(const HalftoneStrips& h, int32_t top) {
  return h.ahead.data() + static_cast<size_t>(top - h.ahead_top) * static_cast<size_t>(h.width);
}

// Converts rows next_out .. end - 1 in bands side by side, hands them to the output in
// order and lets go of the luminance no window reaches any more.
void convert_ready_rows(HalftoneStrips& h, int32_t end) {
  const int32_t rows = end - h.next_out;
  if (rows <= 0) return;
  const int count = h.bands->count;
  const size_t bytes = (static_cast<size_t>(h.width) + 7) / 8;
  const int32_t most = band_start(rows, 1, count) + 1;
  // Everything a band needs is made here: the bands' threads allocate nothing.
  for (int i = 0; i < count; ++i) {
    copy_band_converter(h.model, most + 2 * h.reach, h.band_converters[static_cast<size_t>(i)]);
    std::vector<uint8_t>& bits = h.band_bits[static_cast<size_t>(i)];
    if (bits.size() < static_cast<size_t>(most) * bytes) bits.resize(static_cast<size_t>(most) * bytes);
  }
  run_bands(*h.bands, [&](int band) {
    const int32_t first = h.next_out + band_start(rows, band, count);
    const int32_t last = h.next_out + band_start(rows, band + 1, count);
    if (first >= last) return;
    BandBits kept{first, h.band_bits[static_cast<size_t>(band)].data(), bytes};
    HalftoneBand b = start_halftone_band(h.band_converters[static_cast<size_t>(band)], first, last, h.height, h.reach,
                                         keep_band_bits, &kept);
    feed_halftone_band(b, ahead_row(h, b.from), static_cast<size_t>(h.width), b.to - b.from);
  });
  for (int band = 0; band < count; ++band) {
    const int32_t first = h.next_out + band_start(rows, band, count);
    const int32_t last = h.next_out + band_start(rows, band + 1, count);
    for (int32_t r = first; r < last; ++r) {
      take_row(&h, r, h.band_bits[static_cast<size_t>(band)].data() + static_cast<size_t>(r - first) * bytes);
    }
  }
  h.next_out = end;
  const int32_t keep = std::max(h.ahead_top, h.next_out - h.reach);
  if (keep > h.ahead_top) {
    const size_t dropped = static_cast<size_t>(keep - h.ahead_top) * static_cast<size_t>(h.width);
    h.ahead.erase(h.ahead.begin(), h.ahead.begin() + static_cast<std::ptrdiff_t>(dropped));
    h.ahead_top = keep;
  }
}

// Converts every row side by side where every row can be made at any time: the
// threads take the picture's parts one after another, so that a thread the machine
// holds back takes fewer; each part makes the luminance of the rows it is fed a few
// at a time, the rows its windows reach past it too (parts of at least 32 reaches keep
// that to a sixteenth more).
template <class FillRow>
void convert_whole_in_bands(HalftoneStrips& h, const FillRow& fill_row) {
  constexpr int32_t kLumaRows = 32;
  const int count = h.bands->count;
  const size_t width = static_cast<size_t>(h.width), bytes = (width + 7) / 8;
  const int32_t part_rows = std::max(64, 32 * h.reach);
  const int32_t parts = (h.height + part_rows - 1) / part_rows;
  // Everything a part needs is made here: the threads allocate nothing (a converter
  // made again from the model reuses what it holds).
  std::vector<std::vector<uint8_t>> lumas(static_cast<size_t>(count), std::vector<uint8_t>(kLumaRows * width));
  for (int i = 0; i < count; ++i) copy_band_converter(h.model, part_rows + 2 * h.reach, h.band_converters[static_cast<size_t>(i)]);
  std::vector<uint8_t> bits(static_cast<size_t>(h.height) * bytes);
  std::atomic<int32_t> next_part{0};
  run_bands(*h.bands, [&](int thread) {
    HalftoneConverter& converter = h.band_converters[static_cast<size_t>(thread)];
    uint8_t* luma = lumas[static_cast<size_t>(thread)].data();
    bool used = false;
    for (int32_t part = next_part++; part < parts; part = next_part++) {
      const int32_t first = part * part_rows, last = std::min(h.height, first + part_rows);
      if (used) copy_band_converter(h.model, part_rows + 2 * h.reach, converter);
      used = true;
      BandBits kept{first, bits.data() + static_cast<size_t>(first) * bytes, bytes};
      HalftoneBand b = start_halftone_band(converter, first, last, h.height, h.reach, keep_band_bits, &kept);
      for (int32_t y = b.from; y < b.to; y += kLumaRows) {
        const int32_t rows = std::min(kLumaRows, b.to - y);
        for (int32_t k = 0; k < rows; ++k) fill_row(y + k, luma + static_cast<size_t>(k) * width);
        feed_halftone_band(b, luma, width, rows);
      }
    }
  });
  for (int32_t r = 0; r < h.height; ++r) take_row(&h, r, bits.data() + static_cast<size_t>(r) * bytes);
  h.next_out = h.height;
  h.ahead_top = h.height;
}

int32_t* ring_row(HalftoneStrips& h, int32_t row) {
  return h.ring.data() + static_cast<size_t>(row % h.ring_rows) * (static_cast<size_t>(h.width) + 4) + 2;
}


// Error diffusion of rows next_out .. end - 1 as a wavefront: a pixel of row y has all
// its inputs once row y - 1 is two pixels past it (the kernels reach two columns
// either side), and row y - 1 no longer adds into row y + 1 where row y does once it
// is four past. Each row then clears its own errors, which the row ring_rows below reuses.
void diffuse_ready_rows(HalftoneStrips& h, int32_t end) {
  const int32_t first = h.next_out, rows = end - first;
  if (rows <= 0) return;
  const int count = h.bands->count;
  const int32_t width = h.width;
  const size_t bytes = (static_cast<size_t>(width) + 7) / 8;
  if (h.wave_bits.size() < static_cast<size_t>(rows) * bytes) h.wave_bits.resize(static_cast<size_t>(rows) * bytes);
  for (int t = 0; t < count; ++t) h.progress[t].store(-1);
  const HalftoneConverter& c = h.model;
  const DiffusionKernel& kernel = diffusion_kernel(c.method);
  run_bands(*h.bands, [&](int band) {
    int32_t* values = h.band_values[static_cast<size_t>(band)].data();
    for (int32_t y = first + band; y < end; y += count) {
      const uint8_t* luma = ahead_row(h, y);
      int32_t* errors[kErrorRows] = {ring_row(h, y), ring_row(h, y + 1), ring_row(h, y + 2)};
      uint8_t* bits = h.wave_bits.data() + static_cast<size_t>(y - first) * bytes;
      const std::atomic<int64_t>* above = y > first ? &h.progress[(y - 1 - first + count) % count] : nullptr;
      run_wave_row(above, h.progress[band], y, width, [&](int32_t x0, int32_t x1) {
        for (int32_t x = x0; x < x1; ++x) values[x] = c.tone[luma[x]];
        int32_t* at[kErrorRows] = {errors[0] + x0, errors[1] + x0, errors[2] + x0};
        if (c.chained) {
          diffuse_row_chain(kernel, values + x0, at, x1 - x0, 1, c.params.linear, c.params.invert,
                            h.band_chains[static_cast<size_t>(band)], bits + x0 / 8, true);
        } else {
          diffuse_row_scalar(kernel, values + x0, at, x1 - x0, 1, c.white / 2, c.white, c.params.invert,
                             bits + x0 / 8);
        }
      });
      std::fill(errors[0] - 2, errors[0] + width + 2, 0);
      finish_wave_row(h.progress[band], y, width);
    }
  });
  for (int32_t r = first; r < end; ++r) take_row(&h, r, h.wave_bits.data() + static_cast<size_t>(r - first) * bytes);
  h.next_out = end;
  h.ahead_top = end;
  h.ahead.clear();
}

// Takes a strip that comes in order on several threads: its luminance in bands, then
// every row whose window is whole.
void halftone_strip_in_bands(HalftoneStrips& h, const Strip& strip, int32_t top) {
  const size_t width = static_cast<size_t>(h.width);
  const size_t at = h.ahead.size();
  h.ahead.resize(at + static_cast<size_t>(strip.rows) * width);
  const int count = h.bands->count;
  run_bands(*h.bands, [&](int band) {
    const int32_t first = band_start(strip.rows, band, count), last = band_start(strip.rows, band + 1, count);
    for (int32_t k = first; k < last; ++k) {
      const int32_t t = top + k;
      const int32_t row = h.out->bottom_up ? h.height - 1 - t - strip.first_row : t - strip.first_row;
      strip_luminance(strip, row, h.ahead.data() + at + static_cast<size_t>(k) * width);
    }
  });
  h.next_top += strip.rows;
  if (h.wavefront) return diffuse_ready_rows(h, h.next_top);
  if (h.serial_rows) {
    halftone_rows(h.converter, h.ahead.data(), width, strip.rows, take_row, &h);
    h.ahead.clear();
    h.ahead_top = h.next_out = h.next_top;
    return;
  }
  // Each band also reads the rows its windows reach above and below it: bands of at
  // least 32 reaches keep that to a sixteenth more work.
  const int32_t ready = h.next_top == h.height ? h.height : h.next_top - h.reach;
  if (ready < h.height && ready - h.next_out < std::max(64, 32 * h.reach) * h.bands->count) return;
  convert_ready_rows(h, ready);
}

}  // namespace

HalftoneError start_halftone_strips(HalftoneStrips& h, HalftoneMethod method, const HalftoneParams& params,
                                    ResultOutput& out, int32_t width, int32_t height, int threads) {
  const HalftoneError error = start_halftone(method, params, width, h.converter);
  if (error != HalftoneError::kNone) return error;
  h.out = &out;
  h.width = std::max(width, 0);
  h.height = std::max(height, 0);
  // Batches of about 64 KiB: a BMP written from the top seeks once a batch.
  const int64_t batch_rows = (int64_t{64} << 10) / std::max<int64_t>(out.stride, 1);
  h.batch_capacity = static_cast<int32_t>(std::max<int64_t>(1, std::min<int64_t>(batch_rows, h.height)));
  // The bytes past each row's bits stay zero: rows are copied in without them.
  h.batch.assign(static_cast<size_t>(h.batch_capacity) * out.stride, 0);
  const HalftoneFamily family = halftone_method_info(method).family;
  // Serpentine rows form one chain through the picture: no two rows run side by side.
  // With AVX2 the vector bands run side by side, each a stretch behind the one above.
  // Elsewhere the wavefront takes rows one at a time, each thread a few times slower
  // than SSE2's bands of eight rows: with those, fewer threads than kWavefrontThreads
  // gain nothing, and they only take the luminance off the one that diffuses.
  const bool diffusion = family == HalftoneFamily::kErrorDiffusion;
  const bool vector_bands = band_wave_takes(h.converter);
  const bool wavefront = diffusion && !params.serpentine && !vector_bands &&
                         (h.converter.banded == 0 || threads >= kWavefrontThreads);
  if (threads > 1 && h.width > 0) {
    h.bands.reset(new BandThreads);
    start_band_threads(*h.bands, threads);
    if (h.bands->count == 1) {
      h.bands.reset();
    } else {
      h.model = h.converter;
      h.band_converters.resize(static_cast<size_t>(h.bands->count));
      h.band_bits.resize(static_cast<size_t>(h.bands->count));
      h.reach = family == HalftoneFamily::kLocalThreshold ? params.radius : 0;
      h.wavefront = wavefront;
      h.serial_rows = diffusion && !wavefront && !vector_bands;
      if (vector_bands) {
        h.wave.reset(new BandWave);
        start_band_wave(*h.wave, h.converter, h.height, params.linear, *h.bands, WaveSink{&h, take_row});
      }
      if (wavefront) {
        const int count = h.bands->count;
        // Rows in flight add into the two below each; the row ring_rows above is cleared by then.
        h.ring_rows = count + 3;
        h.ring.assign(static_cast<size_t>(h.ring_rows) * (static_cast<size_t>(h.width) + 4), 0);
        h.band_values.assign(static_cast<size_t>(count), std::vector<int32_t>(static_cast<size_t>(h.width)));
        h.band_chains.resize(static_cast<size_t>(count));
        for (ChainScratch& chain : h.band_chains) size_chain_scratch(chain, kWaveChunk);
        h.progress.reset(new std::atomic<int64_t>[static_cast<size_t>(count)]);
      }
    }
  }
  return HalftoneError::kNone;
}

bool halftone_strip(HalftoneStrips& h, const Strip& strip) {
  if (h.width == 0 || strip.rows <= 0) return !h.failed;
  const size_t width = static_cast<size_t>(h.width);
  const int32_t top = std::min(top_of(h, strip.first_row), top_of(h, strip.first_row + strip.rows - 1));
  // Strip row of a row from the top.
  const auto index = [&](int32_t t) { return h.out->bottom_up ? h.height - 1 - t - strip.first_row : t - strip.first_row; };
  if (h.held.empty() && top == h.next_top && h.wave) {
    feed_band_wave(*h.wave, top, strip.rows, [&](int32_t k, uint8_t* row) { strip_luminance(strip, index(top + k), row); });
    h.next_top += strip.rows;
    return !h.failed;
  }
  if (h.held.empty() && top == h.next_top && h.bands) {
    halftone_strip_in_bands(h, strip, top);
    return !h.failed;
  }
  if (h.held.empty() && top == h.next_top) {
    h.luma.resize(static_cast<size_t>(strip.rows) * width);
    for (int32_t k = 0; k < strip.rows; ++k) strip_luminance(strip, index(top + k), h.luma.data() + k * width);
    halftone_rows(h.converter, h.luma.data(), width, strip.rows, take_row, &h);
    h.next_top += strip.rows;
    return !h.failed;
  }
  // Rows that can only be had bottom first (compressed BMP): their luminance waits, a byte a pixel.
  if (h.held.empty()) h.held.assign(static_cast<size_t>(h.height) * width, 0);
  for (int32_t k = 0; k < strip.rows; ++k) {
    strip_luminance(strip, index(top + k), h.held.data() + static_cast<size_t>(top + k) * width);
  }
  return true;
}

bool halftone_whole_picture(HalftoneStrips& h, const Strip& all, void (*rows_done)(void*, int32_t, int32_t),
                            void* rows_context) {
  const bool banded = h.bands && !h.wavefront && !h.serial_rows;
  if ((!h.wave && !banded) || h.next_top != 0 || !h.held.empty() || all.rows != h.height || h.width == 0) return false;
  h.rows_done = rows_done;
  h.rows_context = rows_context;
  const auto fill_row = [&](int32_t top, uint8_t* row) {
    strip_luminance(all, h.out->bottom_up ? h.height - 1 - top : top, row);
  };
  if (h.wave) {
    const std::function<void(int32_t, uint8_t*)> fill = fill_row;
    run_band_wave(*h.wave, fill);
  } else {
    convert_whole_in_bands(h, fill_row);
  }
  h.next_top = h.height;
  return true;
}

bool finish_halftone_strips(HalftoneStrips& h) {
  if (h.wave) {
    if (!h.held.empty()) {
      // The rows came bottom first: those not taken yet are all held now.
      const size_t width = static_cast<size_t>(h.width);
      feed_band_wave(*h.wave, h.next_top, h.height - h.next_top, [&](int32_t k, uint8_t* row) {
        std::memcpy(row, h.held.data() + static_cast<size_t>(h.next_top + k) * width, width);
      });
      h.next_top = h.height;
      std::vector<uint8_t>().swap(h.held);
    }
    finish_band_wave(*h.wave);
    flush_batch(h);
    return !h.failed;
  }
  if (h.bands) {
    if (!h.held.empty()) {
      // The rows came bottom first: every one is held now, those already taken too.
      const size_t width = static_cast<size_t>(h.width);
      if (!h.ahead.empty()) std::memcpy(h.held.data() + static_cast<size_t>(h.ahead_top) * width, h.ahead.data(), h.ahead.size());
      h.ahead.swap(h.held);
      h.ahead_top = 0;
      std::vector<uint8_t>().swap(h.held);
    }
    if (h.wavefront) {
      diffuse_ready_rows(h, h.height);
    } else if (h.serial_rows) {
      halftone_rows(h.converter, ahead_row(h, h.next_out), static_cast<size_t>(h.width), h.height - h.next_out,
                    take_row, &h);
      h.next_out = h.height;
      finish_halftone(h.converter, take_row, &h);
    } else {
      convert_ready_rows(h, h.height);
    }
    flush_batch(h);
    return !h.failed;
  }
  if (!h.held.empty()) {
    const size_t width = static_cast<size_t>(h.width);
    halftone_rows(h.converter, h.held.data() + static_cast<size_t>(h.next_top) * width, width, h.height - h.next_top,
                  take_row, &h);
    std::vector<uint8_t>().swap(h.held);
  }
  finish_halftone(h.converter, take_row, &h);
  flush_batch(h);
  return !h.failed;
}
