#include "pipeline/vips_source.h"

#include <vips/vips.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "pipeline/pipeline_texts.h"
#include "pipeline/vips_prepare.h"
#include "image/file_resolution.h"
#include "image/bmp_reader.h"
#include "image/decoded_rows.h"
#include "image/le_bytes.h"

// The rows of a picture the program's own reader decodes, handed to libvips as it asks.
struct RowFeed {
  RowSource source{nullptr, nullptr};
  int32_t width = 0;
  int32_t next = 0;  // the next row the reader gives
  int shrink = 1;    // the reader's rows averaged into each row given (fit_row_shrink)
  int32_t left = 0;  // the reader's rows not yet read
  std::vector<uint8_t> skipped;
  std::vector<uint32_t> sums;
  GMutex lock;
  RowFeed() { g_mutex_init(&lock); }
  ~RowFeed() { g_mutex_clear(&lock); }
};

struct VipsPicture {
  VipsImage* image = nullptr;  // 8-bit, 1 to 4 bands
  VipsRegion* region = nullptr;
  int32_t width = 0, height = 0;
  int bands = 0;
  int32_t strip_rows = 0;
  int32_t next_top = 0;
  int32_t x_resolution = 0, y_resolution = 0;
  std::vector<uint32_t> colours;
  uint8_t header[40] = {};
  PictureDescription picture;
  std::unique_ptr<RowFeed> feed;  // outlives the image that reads from it
};

namespace {

// Replaces `current` by the result of an operation, or gives null when it failed.
template <class Operation>
VipsImage* then(VipsImage* current, Operation operation) {
  VipsImage* next = nullptr;
  const bool ok = operation(current, &next) == 0;
  g_object_unref(current);
  return ok ? next : nullptr;
}

// CMYK to RGB as the browser's JPEG decoder makes it, so that the page and the command
// agree: R = C * K / 255 (G from M, B from Y, the division truncating) on the samples
// as the file stores them, which it takes for Adobe's inverted CMYK. libvips inverts
// every CMYK JPEG's samples on reading, marker or not, so the stored sample is 255 -
// libvips' one; a TIFF's CMYK (ink, not inverted) gets the same rule. A fifth band is
// kept as alpha.
int cmyk_rows(VipsRegion* out, void* seq, void*, void*, gboolean*) {
  auto* in = static_cast<VipsRegion*>(seq);
  const VipsRect r = out->valid;
  if (vips_region_prepare(in, &r) != 0) return -1;
  const int in_bands = in->im->Bands, out_bands = out->im->Bands;
  for (int y = r.top; y < r.top + r.height; ++y) {
    const auto* p = reinterpret_cast<const uint8_t*>(VIPS_REGION_ADDR(in, r.left, y));
    auto* q = reinterpret_cast<uint8_t*>(VIPS_REGION_ADDR(out, r.left, y));
    for (int x = 0; x < r.width; ++x, p += in_bands, q += out_bands) {
      const unsigned k = 255u - p[3];
      for (int i = 0; i < 3; ++i) q[i] = static_cast<uint8_t>((255u - p[i]) * k / 255);
      if (out_bands == 4) q[3] = p[4];
    }
  }
  return 0;
}

// Makes an 8-bit RGB (or RGBA) image of an 8-bit CMYK one.
int cmyk_to_rgb(VipsImage* in, VipsImage** out) {
  VipsImage* rgb = vips_image_new();
  // The input lives as long as the output reads it.
  g_object_ref(in);
  vips_object_local(rgb, in);
  // The pipeline takes the input's fields: the output's own are set after.
  if (vips_image_pipelinev(rgb, VIPS_DEMAND_STYLE_THINSTRIP, in, nullptr) != 0) {
    g_object_unref(rgb);
    return -1;
  }
  vips_image_init_fields(rgb, in->Xsize, in->Ysize, in->Bands > 4 ? 4 : 3, VIPS_FORMAT_UCHAR, VIPS_CODING_NONE,
                         VIPS_INTERPRETATION_sRGB, in->Xres, in->Yres);
  if (vips_image_generate(rgb, vips_start_one, cmyk_rows, vips_stop_one, in, nullptr) != 0) {
    g_object_unref(rgb);
    return -1;
  }
  *out = rgb;
  return 0;
}

// Brings any picture to 8-bit grey or sRGB with at most one alpha band. 16-bit
// samples keep their high byte, alpha included, as the platform's imaging
// component converts them for the plug-in. CMYK follows cmyk_rows.
VipsImage* to_eight_bits(VipsImage* in) {
  VipsImage* current = in;
  g_object_ref(current);
  if (vips_image_get_format(current) == VIPS_FORMAT_USHORT) {
    current = then(current, [](VipsImage* a, VipsImage** b) { return vips_rshift_const1(a, b, 8, nullptr); });
    if (current) current = then(current, [](VipsImage* a, VipsImage** b) { return vips_cast_uchar(a, b, nullptr); });
    if (!current) return nullptr;
  }
  const VipsInterpretation kind = vips_image_guess_interpretation(current);
  if (kind == VIPS_INTERPRETATION_CMYK && vips_image_get_bands(current) >= 4) {
    if (vips_image_get_format(current) != VIPS_FORMAT_UCHAR) {
      current = then(current, [](VipsImage* a, VipsImage** b) { return vips_cast_uchar(a, b, nullptr); });
      if (!current) return nullptr;
    }
    return then(current, [](VipsImage* a, VipsImage** b) { return cmyk_to_rgb(a, b); });
  }
  if (kind == VIPS_INTERPRETATION_LAB || kind == VIPS_INTERPRETATION_XYZ ||
      kind == VIPS_INTERPRETATION_LABS || kind == VIPS_INTERPRETATION_scRGB) {
    current = then(current, [](VipsImage* a, VipsImage** b) {
      return vips_colourspace(a, b, VIPS_INTERPRETATION_sRGB, nullptr);
    });
    if (!current) return nullptr;
  }
  if (vips_image_get_format(current) != VIPS_FORMAT_UCHAR) {
    current = then(current, [](VipsImage* a, VipsImage** b) { return vips_cast_uchar(a, b, nullptr); });
    if (!current) return nullptr;
  }
  if (vips_image_get_bands(current) > 4) {
    current = then(current, [](VipsImage* a, VipsImage** b) { return vips_extract_band(a, b, 0, "n", 4, nullptr); });
  }
  return current;
}

// libvips is started once for the process, and its warnings go to one handler; each
// thread converting has its own session, and a warning goes to the session that
// thread last used.
struct VipsProcess {
  std::mutex lock;
  int state = -1;  // -1 not yet tried, 0 failed, 1 running
  unsigned log_handler = 0;
  int sessions = 0;  // sessions keeping the handler
};
VipsProcess g_vips;
thread_local VipsSession* t_session = nullptr;

void keep_message(const gchar*, GLogLevelFlags, const gchar* message, gpointer) {
  if (message && t_session) t_session->last_warning = message;
}

// Makes the session this thread's; true when libvips runs.
bool use_session(VipsSession& session) {
  t_session = &session;
  return session.started == 1;
}

}  // namespace

bool start_vips(VipsSession& session, const char* program) {
  if (session.started >= 0) return use_session(session);
  std::lock_guard<std::mutex> hold(g_vips.lock);
  if (g_vips.state < 0) {
    g_vips.state = VIPS_INIT(program) == 0 ? 1 : 0;
    if (g_vips.state == 1) {
      // No operation cache: every picture is read once.
      vips_cache_set_max(0);
      vips_block_untrusted_set(TRUE);
    }
  }
  session.started = g_vips.state;
  if (session.started == 1) {
    // A damaged file is reported once, by the program, not tile by tile by the library.
    if (g_vips.sessions++ == 0) {
      g_vips.log_handler = g_log_set_handler(
          "VIPS", static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE), keep_message, nullptr);
    }
    session.log_handler = g_vips.log_handler;
  }
  return use_session(session);
}

void end_vips(VipsSession& session) {
  if (t_session == &session) t_session = nullptr;
  if (session.log_handler == 0) return;
  session.log_handler = 0;
  std::lock_guard<std::mutex> hold(g_vips.lock);
  if (--g_vips.sessions == 0) g_log_remove_handler("VIPS", g_vips.log_handler);
}

namespace {

// Only the readers fit for untrusted files: the ImageMagick bridge, among others,
// takes almost anything (a run of zero bytes included) and decodes it whole. The
// search for a reader does not skip them by itself.
const char* trusted(const char* loader) {
  if (loader == nullptr) return nullptr;
  const GType type = g_type_from_name(loader);
  if (type == 0) return nullptr;
  auto* c = static_cast<VipsOperationClass*>(g_type_class_ref(type));
  const bool untrusted = (c->flags & (VIPS_OPERATION_UNTRUSTED | VIPS_OPERATION_BLOCKED)) != 0;
  g_type_class_unref(c);
  return untrusted ? nullptr : loader;
}

}  // namespace

bool vips_reads_head(VipsSession& session, const std::vector<uint8_t>& head) {
  if (head.empty() || !start_vips(session, "quillvex-cli")) return false;
  const bool known = trusted(vips_foreign_find_load_buffer(head.data(), head.size())) != nullptr;
  vips_error_clear();
  return known;
}

std::string vips_failure_reason(VipsSession& session, const std::string& path, const std::string& shown) {
  std::string text = first_line(vips_error_buffer());
  if (text.empty()) text = first_line(session.last_warning);
  vips_error_clear();
  session.last_warning.clear();
  if (!text.empty() && !session.reader.empty()) text = session.reader + ": " + text;
  for (size_t at = text.find(path); !path.empty() && at != std::string::npos; at = text.find(path, at + shown.size())) {
    text.replace(at, path.size(), shown);
  }
  return text;
}

namespace {

// Prepares the picture when asked and checks its size; returns a reader code.
ReadCode prepared(VipsImage*& image, const Preparation& prepare, uint64_t max_pixels, RefusedSize& refused,
                  int row_shrink = 1, PlannedSize planned = {}) {
  if (prepares(prepare)) {
    VipsImage* ready = prepare_vips_image(image, prepare, row_shrink, planned);
    g_object_unref(image);
    image = ready;
    if (image == nullptr) return ReadCode::kShortData;
  }
  const uint64_t width = static_cast<uint64_t>(vips_image_get_width(image));
  const uint64_t height = static_cast<uint64_t>(vips_image_get_height(image));
  if (width * height <= max_pixels) return ReadCode::kOk;
  refused = RefusedSize{width, height};
  return ReadCode::kTooLarge;
}

// The source of an 8-bit picture (its reference is taken over).
VipsPicture* new_picture(VipsImage* image, int32_t x_resolution, int32_t y_resolution) {
  auto* s = new VipsPicture;
  s->image = image;
  s->width = vips_image_get_width(image);
  s->height = vips_image_get_height(image);
  s->bands = vips_image_get_bands(image);
  s->region = vips_region_new(image);
  s->strip_rows = rows_per_strip(4ull * static_cast<uint64_t>(s->width), s->height);
  s->strip_rows = std::max<int32_t>(1, std::min<int32_t>(s->strip_rows, kMostRowsAsked));
  s->colours.resize(static_cast<size_t>(s->width) * static_cast<size_t>(s->strip_rows));
  s->x_resolution = x_resolution;
  s->y_resolution = y_resolution;
  decoded_header(s->width, s->height, x_resolution, y_resolution, s->header);
  s->picture.width = s->width;
  s->picture.offset_to_pixels = 40;
  s->picture.read_back = 1;  // rows come as 0xRRGGBB colours
  return s;
}

// The EXIF orientation (1 to 8), or 1 when the picture has none.
int orientation_of(VipsImage* image) {
  int orientation = 1;
  if (vips_image_get_typeof(image, VIPS_META_ORIENTATION) == 0 ||
      vips_image_get_int(image, VIPS_META_ORIENTATION, &orientation) != 0 || orientation < 1 || orientation > 8) {
    return 1;
  }
  return orientation;
}

VipsImage* load(const std::string& path, VipsAccess access) {
  return vips_image_new_from_file(path.c_str(), "access", access, "fail_on", VIPS_FAIL_ON_ERROR, nullptr);
}

// A JPEG decoded at 1/factor of its size, as a fit that shrinks it that much reads it.
VipsImage* load_jpeg_shrunk(const std::string& path, VipsAccess access, int factor) {
  return vips_image_new_from_file(path.c_str(), "access", access, "fail_on", VIPS_FAIL_ON_ERROR, "shrink", factor,
                                  nullptr);
}

// A GIF's frames lie on its logical screen, the size the browser gives the picture;
// libvips takes the frame's size when the screen is implausibly large. A screen of
// more pixels than the limit is refused as the page refuses it.
bool screen_too_large(const std::string& reader, const std::vector<uint8_t>& head, uint64_t max_pixels,
                      RefusedSize& refused) {
  if (reader != "gifload" || head.size() < 10) return false;
  const uint64_t width = head[6] | static_cast<uint64_t>(head[7]) << 8;
  const uint64_t height = head[8] | static_cast<uint64_t>(head[9]) << 8;
  if (width * height <= max_pixels) return false;
  refused = RefusedSize{width, height};
  return true;
}

}  // namespace

ReadCode open_vips_source(VipsSession& session, const std::string& path, const std::vector<uint8_t>& head,
                          uint64_t max_pixels, const Preparation& prepare, VipsPicture*& out, RefusedSize& refused) {
  out = nullptr;
  if (!start_vips(session, "quillvex-cli")) return ReadCode::kUnsupported;
  vips_error_clear();
  session.last_warning.clear();
  const char* loader = trusted(vips_foreign_find_load(path.c_str()));
  if (loader == nullptr) {
    vips_error_clear();
    return ReadCode::kUnsupported;
  }
  const char* nickname = vips_nickname_find(g_type_from_name(loader));
  session.reader = nickname ? nickname : loader;
  if (screen_too_large(session.reader, head, max_pixels, refused)) return ReadCode::kTooLarge;
  // A rotation reads the rows out of order: the reader then decodes the picture whole.
  VipsAccess access = prepare_reads_out_of_order(prepare) ? VIPS_ACCESS_RANDOM : VIPS_ACCESS_SEQUENTIAL;
  VipsImage* raw = load(path, access);
  if (raw == nullptr) return ReadCode::kShortData;
  // Turned upright before anything else, as a browser shows it. A turn or an
  // upside-down mirror reads the rows out of order too; a plain picture (orientation
  // 1 or none) stays sequential.
  const int orientation = prepare.autorotate ? orientation_of(raw) : 1;
  if (orientation > 2 && access == VIPS_ACCESS_SEQUENTIAL) {
    access = VIPS_ACCESS_RANDOM;
    g_object_unref(raw);
    raw = load(path, access);
    if (raw == nullptr) return ReadCode::kShortData;
  }
  const uint64_t width = static_cast<uint64_t>(vips_image_get_width(raw));
  const uint64_t height = static_cast<uint64_t>(vips_image_get_height(raw));
  if (width * height > max_pixels) {
    g_object_unref(raw);
    refused = RefusedSize{width, height};
    return ReadCode::kTooLarge;
  }
  // The fit is planned for the picture's own size, turned upright.
  const bool turned = orientation >= 5;  // EXIF 5 to 8 swap the sides
  const PlannedSize upright{static_cast<int>(turned ? height : width), static_cast<int>(turned ? width : height)};
  const int load_shrink =
      session.reader == "jpegload" ? fit_load_shrink(upright.width, upright.height, prepare) : 1;
  if (load_shrink > 1) {
    // Decoding smaller skips most of the work the fit would throw away.
    g_object_unref(raw);
    raw = load_jpeg_shrunk(path, access, load_shrink);
    if (raw == nullptr) return ReadCode::kShortData;
  }
  if (orientation > 1) {
    raw = then(raw, [](VipsImage* a, VipsImage** b) { return vips_autorot(a, b, nullptr); });
    if (raw == nullptr) return ReadCode::kShortData;
  }
  VipsImage* image = to_eight_bits(raw);
  g_object_unref(raw);
  if (image == nullptr) return ReadCode::kShortData;
  const ReadCode code = prepared(image, prepare, max_pixels, refused, 1, load_shrink > 1 ? upright : PlannedSize{});
  if (code != ReadCode::kOk) {
    if (image) g_object_unref(image);
    return code;
  }
  int32_t x_resolution = 0, y_resolution = 0;
  const FileResolution recorded = file_resolution(head.data(), head.size());
  if (recorded.exact) {
    x_resolution = recorded.x;
    y_resolution = recorded.y;
  } else if (recorded.recorded) {
    // pixels per millimetre to pixels per metre, truncated like the plug-in's inch figures
    x_resolution = pixels_per_metre(vips_image_get_xres(image) * 25.4);
    y_resolution = pixels_per_metre(vips_image_get_yres(image) * 25.4);
  }
  out = new_picture(image, x_resolution, y_resolution);
  return ReadCode::kOk;
}

namespace {

// Reads the reader's next `shrink` rows into `row`, averaged as libvips' box shrink
// averages them: the sum of each sample, rounded half up. The last box, short of
// rows, counts its last row again for each one missing.
bool next_feed_row(RowFeed& feed, uint8_t* row) {
  if (feed.shrink == 1) return feed.source.next_row(feed.source.context, row);
  const size_t samples = static_cast<size_t>(feed.width) * 3;
  std::fill(feed.sums.begin(), feed.sums.end(), 0u);
  for (int i = 0; i < feed.shrink; ++i) {
    if (feed.left > 0) {
      if (!feed.source.next_row(feed.source.context, feed.skipped.data())) return false;
      --feed.left;
    } else if (i == 0) {
      return false;
    }
    const uint8_t* p = feed.skipped.data();
    uint32_t* sum = feed.sums.data();
    for (size_t x = 0; x < samples; ++x) sum[x] += p[x];
  }
  const uint32_t n = static_cast<uint32_t>(feed.shrink), half = n / 2;
  for (size_t x = 0; x < samples; ++x) row[x] = static_cast<uint8_t>((feed.sums[x] + half) / n);
  return true;
}

// Fills the rows a region asks for from the reader. Rows come once each, in order:
// vips_sequential in front of this image keeps the requests so.
int feed_rows(VipsRegion* out, void*, void* a, void*, gboolean*) {
  auto* feed = static_cast<RowFeed*>(a);
  const VipsRect r = out->valid;
  g_mutex_lock(&feed->lock);
  int result = 0;
  if (r.left != 0 || r.width != feed->width || r.top < feed->next) {
    vips_error("prepare", "rows asked for out of order");
    result = -1;
  }
  for (; result == 0 && feed->next < r.top; ++feed->next) {
    if (!next_feed_row(*feed, feed->skipped.data())) result = -1;
  }
  for (int y = r.top; result == 0 && y < r.top + r.height; ++y, ++feed->next) {
    if (!next_feed_row(*feed, reinterpret_cast<uint8_t*>(VIPS_REGION_ADDR(out, 0, y)))) result = -1;
  }
  if (result != 0 && vips_error_buffer()[0] == '\0') vips_error("prepare", "the file is damaged");
  g_mutex_unlock(&feed->lock);
  return result;
}

}  // namespace

ReadCode open_vips_rows(VipsSession& session, const RowSource& rows, int32_t width, int32_t height,
                        const uint8_t* header40, uint64_t max_pixels, const Preparation& prepare, VipsPicture*& out,
                        RefusedSize& refused) {
  out = nullptr;
  if (!start_vips(session, "quillvex-cli")) return ReadCode::kUnsupported;
  vips_error_clear();
  session.last_warning.clear();
  session.reader = "prepare";
  auto feed = std::make_unique<RowFeed>();
  feed->source = rows;
  feed->width = width;
  feed->shrink = fit_row_shrink(width, height, prepare);
  feed->left = height;
  // The scratch rows are allocated here, where a failure can be reported.
  try {
    feed->skipped.resize(static_cast<size_t>(width) * 3);
    if (feed->shrink > 1) feed->sums.resize(static_cast<size_t>(width) * 3);
  } catch (const std::bad_alloc&) {
    vips_error("prepare", "%s", kNotEnoughMemory);
    return ReadCode::kShortData;
  }
  VipsImage* generated = vips_image_new();
  const int boxes = (height + feed->shrink - 1) / feed->shrink;
  vips_image_init_fields(generated, width, boxes, 3, VIPS_FORMAT_UCHAR, VIPS_CODING_NONE, VIPS_INTERPRETATION_sRGB,
                         1.0, 1.0);
  VipsImage* image = nullptr;
  if (vips_image_pipelinev(generated, VIPS_DEMAND_STYLE_THINSTRIP, nullptr) != 0 ||
      vips_image_generate(generated, nullptr, feed_rows, nullptr, feed.get(), nullptr) != 0 ||
      vips_sequential(generated, &image, "tile_height", 64, nullptr) != 0) {
    g_object_unref(generated);
    return ReadCode::kShortData;
  }
  g_object_unref(generated);
  // Marked as a file libvips reads in order is: its resamplers then keep a few rows
  // of what they make in strips of their own, and so step their kernels from the
  // same rows as for such a file, which can round a kernel's place otherwise.
  vips_image_set_int(image, VIPS_META_SEQUENTIAL, 1);
  if (prepare_reads_out_of_order(prepare)) {
    // A turn or an upside-down flip asks for rows out of order: the picture is read whole first.
    image = then(image, [](VipsImage* a, VipsImage** b) {
      *b = vips_image_copy_memory(a);
      return *b ? 0 : -1;
    });
    if (image == nullptr) return ReadCode::kShortData;
  }
  const ReadCode code = prepared(image, prepare, max_pixels, refused, feed->shrink, PlannedSize{width, height});
  if (code != ReadCode::kOk) {
    if (image) g_object_unref(image);
    return code;
  }
  out = new_picture(image, get_i32(header40 + kXResolutionField), get_i32(header40 + kYResolutionField));
  out->feed = std::move(feed);
  return ReadCode::kOk;
}

void close_vips_source(VipsPicture* s) {
  if (s == nullptr) return;
  if (s->region) g_object_unref(s->region);
  if (s->image) g_object_unref(s->image);
  delete s;
}

int32_t vips_source_width(const VipsPicture* s) { return s->width; }
int32_t vips_source_height(const VipsPicture* s) { return s->height; }
void vips_source_header(const VipsPicture* s, uint8_t* header) { std::memcpy(header, s->header, 40); }

bool next_vips_strip(VipsPicture* s, Strip& strip, ReadCode& code) {
  code = ReadCode::kOk;
  if (s->next_top >= s->height) return false;
  const int32_t rows = std::min(s->strip_rows, s->height - s->next_top);
  VipsRect rect{0, s->next_top, s->width, rows};
  if (vips_region_prepare(s->region, &rect) != 0) {
    code = ReadCode::kShortData;
    return false;
  }
  // Strip row i is storage row first_row + i: the lowest row of the band comes first.
  const size_t width = static_cast<size_t>(s->width);
  for (int32_t i = 0; i < rows; ++i) {
    const int32_t top = s->next_top + rows - 1 - i;
    const auto* p = reinterpret_cast<const uint8_t*>(VIPS_REGION_ADDR(s->region, 0, top));
    colours_of_samples(p, s->width, s->bands, s->colours.data() + static_cast<size_t>(i) * width);
  }
  strip.picture = s->picture;
  strip.picture.height = rows;
  strip.first_row = s->height - s->next_top - rows;
  strip.rows = rows;
  strip.source = ConversionSource{s->header, &strip.picture, s->colours.data()};
  s->next_top += rows;
  return true;
}

extern "C" __attribute__((visibility("default"))) const VipsReaderFunctions* qvx_vips_reader_functions() {
  static const VipsReaderFunctions functions = {start_vips,          end_vips,           vips_reads_head,
                                                open_vips_source,    open_vips_rows,     vips_failure_reason,
                                                close_vips_source,   vips_source_width,  vips_source_height,
                                                vips_source_header,  next_vips_strip};
  return &functions;
}
