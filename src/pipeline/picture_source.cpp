#include "pipeline/picture_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "pipeline/pipeline_texts.h"
#include "mono/otsu.h"

namespace {

const char kNotAPicture[] = "not a picture in a format this build reads";

const char* missing_vips(const PictureSource& s) {
  return s.vips && s.vips->missing ? s.vips->missing : "this build can't resize, rotate or flip pictures (it has no libvips)";
}

bool is_bmp_head(const std::vector<uint8_t>& head) {
  return head.size() >= 2 && head[0] == 'B' && (head[1] == 'M' || head[1] == 'A');
}

// Gives libvips the next row of a BMP picture being prepared. Called from libvips (C):
// nothing may be thrown through it.
bool next_prepared_row(void* context, uint8_t* rgb) {
  PictureSource& s = *static_cast<PictureSource*>(context);
  ReadCode code = ReadCode::kOk;
  try {
    if (next_bmp_rgb_row(s.bmp, rgb, code)) return true;
  } catch (const std::bad_alloc&) {
    // A compressed picture is decoded whole at its first row.
    code = ReadCode::kNoMemory;
  }
  s.prepared_code = code == ReadCode::kOk ? ReadCode::kShortData : code;
  return false;
}

// A BMP picture to be prepared goes to libvips row by row from the program's own reader.
std::string prepare_bmp(PictureSource& s, const ConversionRequest& request, uint64_t max_pixels) {
  // A file too short for the rows its header claims fails before anything is allocated for them.
  if (!bmp_source_holds_pixels(s.bmp)) {
    s.bmp.failure_detail = kShortPixelData;
    return read_failure_reason(ReadCode::kShortData, s.shown);
  }
  s.functions = s.vips ? vips_functions(*s.vips) : nullptr;
  if (s.functions == nullptr) return "can't prepare: " + std::string(missing_vips(s));
  RefusedSize refused;
  switch (s.functions->open_vips_rows(s.vips->session, RowSource{&s, next_prepared_row}, s.bmp.picture.width,
                                     s.bmp.picture.height, s.bmp.store.data(), max_pixels, request.prepare, s.picture,
                                     refused)) {
    case ReadCode::kOk: s.is_bmp = false; return "";
    case ReadCode::kTooLarge: return too_many_pixels_reason(refused.width, refused.height, max_pixels);
    case ReadCode::kUnsupported: return "can't prepare: " + std::string(missing_vips(s));
    default: {
      if (s.prepared_code != ReadCode::kOk) return read_failure_reason(s.prepared_code, s.shown);
      const std::string reason = s.functions->vips_failure_reason(s.vips->session, s.path, s.shown);
      return "can't prepare: " + (reason.empty() ? std::string("libvips gave no reason") : reason);
    }
  }
}

std::string open_bmp(PictureSource& s, const ConversionRequest& request, uint64_t max_pixels) {
  s.bmp = BmpSource();
  // Rows handed to the preparation come top row first.
  s.bmp.top_first = s.top_first || prepares(request.prepare);
  // Several threads fault the mapped rows in side by side; one thread is quicker
  // copying each strip into a store its caches hold.
  s.bmp.map_rows = s.map_rows && request.threads > 1;
  const ReadCode code = open_bmp_source(s.file, max_pixels, s.bmp);
  const uint64_t pixels = static_cast<uint64_t>(std::max(s.bmp.picture.width, 0)) *
                          static_cast<uint64_t>(std::max(s.bmp.picture.height, 0));
  if (code == ReadCode::kTooLarge && pixels > max_pixels) {
    return too_many_pixels_reason(static_cast<uint64_t>(s.bmp.picture.width),
                                  static_cast<uint64_t>(s.bmp.picture.height), max_pixels);
  }
  if (code != ReadCode::kOk) return read_failure_reason(code, s.shown);
  return prepares(request.prepare) ? prepare_bmp(s, request, max_pixels) : "";
}

bool whole_picture_strip(void* context, Strip& all) {
  const PictureSource& s = *static_cast<PictureSource*>(context);
  return s.is_bmp && whole_bmp_strip(s.bmp, all);
}

bool next_picture_strip(void* context, Strip& strip, ReadCode& code) {
  PictureSource& s = *static_cast<PictureSource*>(context);
  return s.is_bmp ? next_bmp_strip(s.bmp, strip, code) : s.functions->next_vips_strip(s.picture, strip, code);
}

}  // namespace

const VipsReaderFunctions* vips_functions(VipsAccess& access) {
  if (!access.loaded) {
    access.loaded = true;
    access.functions = access.load ? access.load() : nullptr;
  }
  return access.functions;
}

void end_vips_access(VipsAccess& access) {
  if (access.functions && access.session.started == 1) access.functions->end_vips(access.session);
}

bool reads_picture_head(VipsAccess* vips, const std::vector<uint8_t>& head) {
  if (is_bmp_head(head)) return true;
  const VipsReaderFunctions* functions = vips ? vips_functions(*vips) : nullptr;
  return functions && functions->vips_reads_head(vips->session, head);
}

bool picture_needs_vips(const std::vector<uint8_t>& head, const Preparation& prepare) {
  return !is_bmp_head(head) || prepares(prepare);
}

PictureSource::~PictureSource() { close_picture_source(*this); }

void close_picture_source(PictureSource& s) {
  if (s.picture) s.functions->close_vips_source(s.picture);
  s.picture = nullptr;
}

std::string open_picture_source(PictureSource& s, const ConversionRequest& request, uint64_t max_pixels) {
  close_picture_source(s);
  s.prepared_code = ReadCode::kOk;
  if (s.file == nullptr || std::fseek(s.file, 0, SEEK_SET) != 0) return std::string("can't read: ") + std::strerror(errno);
  s.is_bmp = is_bmp_head(*s.head);
  if (s.is_bmp) return open_bmp(s, request, max_pixels);
  s.functions = s.vips ? vips_functions(*s.vips) : nullptr;
  if (s.functions == nullptr) return kNotAPicture;
  RefusedSize refused;
  switch (s.functions->open_vips_source(s.vips->session, s.path, *s.head, max_pixels, request.prepare, s.picture,
                                        refused)) {
    case ReadCode::kOk: return "";
    case ReadCode::kTooLarge: return too_many_pixels_reason(refused.width, refused.height, max_pixels);
    case ReadCode::kUnsupported: return kNotAPicture;
    default: return picture_read_failure(s, ReadCode::kShortData);
  }
}

const char* picture_failure_detail(const PictureSource& s) { return s.bmp.failure_detail; }

StripReader picture_strip_reader(PictureSource& s) {
  if (s.is_bmp) {
    std::memcpy(s.header, s.bmp.store.data(), kStoreHeaderSize);
    return StripReader{&s, next_picture_strip, s.bmp.picture.width, s.bmp.picture.height, s.header, whole_picture_strip};
  }
  s.functions->vips_source_header(s.picture, s.header);
  return StripReader{&s, next_picture_strip, s.functions->vips_source_width(s.picture),
                     s.functions->vips_source_height(s.picture), s.header};
}

std::string picture_read_failure(PictureSource& s, ReadCode code) {
  if (code == ReadCode::kNoMemory) return kNotEnoughMemory;
  if (s.prepared_code != ReadCode::kOk) return read_failure_reason(s.prepared_code, s.shown);
  if (!s.is_bmp && s.functions) {
    const std::string reason = s.functions->vips_failure_reason(s.vips->session, s.path, s.shown);
    if (!reason.empty()) return "can't decode: " + reason;
  }
  return read_failure_reason(code, s.shown);
}

std::string measure_picture_density(PictureSource& s, const ConversionRequest& request, uint64_t max_pixels,
                                    int& density) {
  const StripReader reader = picture_strip_reader(s);
  uint64_t histogram[256] = {};
  std::vector<uint8_t> luma(static_cast<size_t>(std::max(reader.width, 0)));
  Strip strip;
  ReadCode code = ReadCode::kOk;
  while (reader.next(reader.context, strip, code)) {
    for (int32_t r = 0; r < strip.rows; ++r) {
      strip_luminance(strip, r, luma.data());
      for (uint8_t v : luma) ++histogram[v];
    }
  }
  if (code != ReadCode::kOk) return picture_read_failure(s, code);
  density = otsu_threshold(histogram);
  return open_picture_source(s, request, max_pixels);
}

uint64_t input_copy_cap(uint64_t max_pixels) {
  const uint64_t most = (UINT64_MAX - (64u << 20)) / 4;
  return 4 * std::min(max_pixels, most) + (64u << 20);
}
