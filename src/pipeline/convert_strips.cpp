#include "pipeline/convert_strips.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

#include "pipeline/band_threads.h"
#include "pipeline/pipeline_texts.h"
#include "pipeline/halftone_strips.h"
#include "pipeline/index_strips.h"
#include "mono/conversion.h"
#include "mono/random_jump.h"
#include "mono/result_bitmap.h"

namespace {


struct RowProgress {
  RowsDone done;
  void* context;
  int32_t rows_before, height;
};

void on_row(void* context, int32_t row, int32_t) {
  auto* p = static_cast<RowProgress*>(context);
  p->done(p->context, p->rows_before + row + 1, p->height);
}

// Grey levels and palettes: rows of indexes into their own outputs.
std::string convert_index_strips(const StripReader& reader, int density, const ConversionRequest& request,
                                 ResultOutput& out, const std::string& target, ReadCode& read_code, RowsDone rows_done,
                                 void* rows_context) {
  const auto output_failure = [&]() { return write_failure(target, out.error.empty() ? std::strerror(errno) : out.error); };
  IndexStrips indexes;
  bool output_failed = false;
  const std::string error = start_index_strips(indexes, request, density, out, reader.header, reader.width,
                                               reader.height, output_failed);
  if (!error.empty()) return error;
  if (output_failed) return output_failure();
  Strip strip;
  int32_t done_rows = 0;
  while (reader.next(reader.context, strip, read_code)) {
    if (!index_strip(indexes, strip)) return output_failure();
    done_rows += strip.rows;
    if (rows_done) rows_done(rows_context, done_rows, reader.height);
  }
  if (read_code != ReadCode::kOk) return "";
  return finish_index_strips(indexes) ? "" : output_failure();
}

// Rows whose luminance a band makes before it converts them: they stay in the caches.
constexpr int32_t kLumaChunkRows = 32;

// The modes on several threads: the threads take the strip's chunks one after another,
// each chunk's random source moved on to where its first pixel stands in storage order.
bool convert_strip_in_bands(BandThreads& bands, std::vector<std::vector<uint8_t>>& lumas, const Strip& strip,
                            int density, const ConversionRequest& request, uint32_t stride, uint8_t* result) {
  const int32_t width = strip.picture.width;
  const size_t w = static_cast<size_t>(width);
  for (std::vector<uint8_t>& luma : lumas) {
    if (luma.size() < kLumaChunkRows * w) luma.resize(kLumaChunkRows * w);
  }
  const int32_t chunks = (strip.rows + kLumaChunkRows - 1) / kLumaChunkRows;
  std::atomic<int32_t> next_chunk{0};
  std::atomic<bool> ok{true};
  run_bands(bands, [&](int thread) {
    uint8_t* luma = lumas[static_cast<size_t>(thread)].data();
    for (int32_t chunk = next_chunk++; chunk < chunks; chunk = next_chunk++) {
      const int32_t at = chunk * kLumaChunkRows, rows = std::min(kLumaChunkRows, strip.rows - at);
      RandomSource random =
          random_after(RandomSource(), static_cast<uint64_t>(strip.first_row + at) * static_cast<uint64_t>(width));
      for (int32_t r = 0; r < rows; ++r) strip_luminance(strip, at + r, luma + r * w);
      if (!convert_luminance_rows(luma, w, width, rows, result + static_cast<size_t>(at) * stride, stride, density,
                                  request.mode, request.invert, random)) {
        ok = false;
        return;
      }
    }
  });
  return ok;
}

}  // namespace

std::string write_failure(const std::string& target, const std::string& reason) {
  return "can't write " + quoted_name(target) + ": " + reason;
}

std::string convert_strips(const StripReader& reader, int density, const ConversionRequest& request, ResultOutput& out,
                           const std::string& target, ReadCode& read_code, RowsDone rows_done, void* rows_context) {
  const int32_t width = reader.width, height = reader.height;
  const auto output_failure = [&]() { return write_failure(target, out.error.empty() ? std::strerror(errno) : out.error); };
  read_code = ReadCode::kOk;
  errno = 0;
  if (converts_to_indexes(request))
    return convert_index_strips(reader, density, request, out, target, read_code, rows_done, rows_context);
  if (!begin_output(out, request.format, out.file, reader.header, width, height)) return output_failure();
  const uint32_t stride = result_stride(static_cast<uint32_t>(std::max(width, 0)));
  std::vector<uint8_t> result;
  HalftoneStrips halftone;
  if (request.method) {
    HalftoneParams params = request.halftone;
    params.density = density;
    params.invert = request.invert;
    const HalftoneError error = start_halftone_strips(halftone, *request.method, params, out, width, height,
                                                     request.threads);
    if (error != HalftoneError::kNone) return halftone_error_text(error);
  }
  BandThreads bands;
  std::vector<std::vector<uint8_t>> lumas;
  if (!request.method && request.threads > 1 && width > 0) {
    start_band_threads(bands, request.threads);
    lumas.resize(static_cast<size_t>(bands.count));
  }
  Strip strip;
  int32_t done_rows = 0;
  // A picture whose every row lies in memory goes to the threads in one round, its
  // result held whole (a bit a pixel) where that stays small.
  constexpr uint64_t kMostResultHeldWhole = uint64_t{32} << 20;
  const bool shared = bands.count > 1 || halftone.bands != nullptr;
  const bool small = static_cast<uint64_t>(std::max(height, 0)) * stride <= kMostResultHeldWhole;
  if (shared && small && reader.whole && reader.whole(reader.context, strip)) {
    if (request.method && halftone_whole_picture(halftone, strip, rows_done, rows_context)) {
      if (!finish_halftone_strips(halftone)) return output_failure();
      return finish_output(out) ? "" : output_failure();
    }
    if (!request.method) {
      result.assign(kResultPixelOffset + static_cast<size_t>(height) * stride, 0);
      if (!convert_strip_in_bands(bands, lumas, strip, density, request, stride, result.data() + kResultPixelOffset)) {
        read_code = ReadCode::kNoMemory;
        return "";
      }
      if (!put_result_rows(out, 0, height, result.data() + kResultPixelOffset)) return output_failure();
      if (rows_done) rows_done(rows_context, height, height);
      return finish_output(out) ? "" : output_failure();
    }
  }
  while (reader.next(reader.context, strip, read_code)) {
    if (request.method) {
      if (!halftone_strip(halftone, strip)) return output_failure();
      done_rows += strip.rows;
      if (rows_done) rows_done(rows_context, done_rows, height);
      continue;
    }
    result.assign(kResultPixelOffset + static_cast<size_t>(strip.rows) * stride, 0);
    // Every pixel gets the draw it would get in a new process converting the whole
    // picture in storage order, whatever order the strips come in.
    RandomSource random = random_after(RandomSource(), static_cast<uint64_t>(strip.first_row) * static_cast<uint64_t>(width));
    RowProgress progress{rows_done, rows_context, done_rows, height};
    if (bands.count > 1) {
      if (!convert_strip_in_bands(bands, lumas, strip, density, request, stride, result.data() + kResultPixelOffset)) {
        read_code = ReadCode::kNoMemory;
        return "";
      }
      if (rows_done) rows_done(rows_context, done_rows + strip.rows, height);
    } else if (!convert_picture(strip.source, result.data(), density, request.mode, request.invert, random,
                                rows_done ? on_row : nullptr, &progress)) {
      read_code = ReadCode::kNoMemory;
      return "";
    }
    done_rows += strip.rows;
    if (!put_result_rows(out, strip.first_row, strip.rows, result.data() + kResultPixelOffset)) return output_failure();
  }
  if (read_code != ReadCode::kOk) return "";
  if (request.method && !finish_halftone_strips(halftone)) return output_failure();
  return finish_output(out) ? "" : output_failure();
}
