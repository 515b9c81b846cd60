// Pictures in the formats libvips reads (PNG, JPEG, GIF, TIFF, WebP, ...), read top
// to bottom in strips and laid over white as the shipped imaging plug-in lays them.
#ifndef QVX_PIPELINE_VIPS_SOURCE_H
#define QVX_PIPELINE_VIPS_SOURCE_H

#include <cstdint>
#include <string>
#include <vector>

#include "pipeline/conversion_request.h"
#include "pipeline/strip.h"
#include "image/read_code.h"

struct VipsPicture;

// The size of a picture refused for having more pixels than the limit allows.
struct RefusedSize {
  uint64_t width = 0, height = 0;
};

// Rows decoded by the program's own reader, each asked for once, the top row first.
struct RowSource {
  void* context;
  // Fills one row of 3 bytes a pixel, red first; false when the file proves short.
  bool (*next_row)(void* context, uint8_t* rgb);
};

// libvips as the program uses it: started once, its warnings kept (some readers give
// their reason only as a warning), and the reader of the file being read, named in the
// reason. libvips itself is process-wide: the program's top owns one session, passes
// it to every call below and ends it when libvips is done with.
struct VipsSession {
  int started = -1;  // -1 not yet tried, 0 failed, 1 running
  unsigned log_handler = 0;
  std::string last_warning;
  std::string reader;
};

// Starts libvips (at the session's first call); false when it can't start.
bool start_vips(VipsSession& session, const char* program);

// Stops taking libvips' warnings into the session, which may then go.
void end_vips(VipsSession& session);

// Says whether libvips has a reader for a file that starts with these bytes.
bool vips_reads_head(VipsSession& session, const std::vector<uint8_t>& head);

// Opens a file for sequential reading; returns a reader code: ReadCode::kUnsupported when
// libvips does not take the file, ReadCode::kTooLarge for more than max_pixels pixels
// (known from the header, before any decoding; `refused` then says its size),
// ReadCode::kShortData when the reader fails (its reason from vips_failure_reason).
// `head` is the file's first bytes, for its resolution. The picture is turned
// upright as its EXIF orientation says (unless prepare.autorotate is off), then
// prepared as `prepare` asks; the limit applies to the prepared picture too.
ReadCode open_vips_source(VipsSession& session, const std::string& path, const std::vector<uint8_t>& head,
                          uint64_t max_pixels, const Preparation& prepare, VipsPicture*& source, RefusedSize& refused);

// Prepares a picture whose rows the program's own reader decodes: they are pulled
// as the resampler needs them, so a fit holds a few rows, not the picture (a
// rotation or an upside-down flip has the picture copied whole first). A large
// reduction averages the rows as they come where libvips would start with that
// box shrink (fit_row_shrink), so libvips reads a picture a few times shorter. The rows'
// context must outlive the source. `header40` gives the resolution. Returns a
// reader code as open_vips_source does.
ReadCode open_vips_rows(VipsSession& session, const RowSource& rows, int32_t width, int32_t height,
                        const uint8_t* header40, uint64_t max_pixels, const Preparation& prepare, VipsPicture*& source,
                        RefusedSize& refused);

// Returns libvips' reason for the last failure, one line, with `path` shown as
// `shown`; empty when it gave none.
std::string vips_failure_reason(VipsSession& session, const std::string& path, const std::string& shown);

void close_vips_source(VipsPicture* source);

int32_t vips_source_width(const VipsPicture* source);
int32_t vips_source_height(const VipsPicture* source);

// Fills a 40-byte header as the plug-in makes it: 24 bits, bottom-up, the file's resolution.
void vips_source_header(const VipsPicture* source, uint8_t* header);

// Fills the next strip: the next rows from the top, given as storage rows of the
// bottom-up picture (so its first_row falls from strip to strip). Returns false at
// the end; code becomes ReadCode::kShortData when the file can't be decoded to its end.
bool next_vips_strip(VipsPicture* source, Strip& strip, ReadCode& code);

// The reader's functions as the module quillvex-cli-vips.so hands them over. The
// command loads the module (and so libvips with the hundred libraries it needs)
// only when a picture needs it (not a BMP file, or prepared): vips_loader.cpp
// defines the functions above in the command by calling these.
struct VipsReaderFunctions {
  bool (*start_vips)(VipsSession&, const char*);
  void (*end_vips)(VipsSession&);
  bool (*vips_reads_head)(VipsSession&, const std::vector<uint8_t>&);
  ReadCode (*open_vips_source)(VipsSession&, const std::string&, const std::vector<uint8_t>&, uint64_t,
                               const Preparation&, VipsPicture*&, RefusedSize&);
  ReadCode (*open_vips_rows)(VipsSession&, const RowSource&, int32_t, int32_t, const uint8_t*, uint64_t,
                             const Preparation&, VipsPicture*&, RefusedSize&);
  std::string (*vips_failure_reason)(VipsSession&, const std::string&, const std::string&);
  void (*close_vips_source)(VipsPicture*);
  int32_t (*vips_source_width)(const VipsPicture*);
  int32_t (*vips_source_height)(const VipsPicture*);
  void (*vips_source_header)(const VipsPicture*, uint8_t*);
  bool (*next_vips_strip)(VipsPicture*, Strip&, ReadCode&);
};

extern "C" const VipsReaderFunctions* qvx_vips_reader_functions();

#endif
