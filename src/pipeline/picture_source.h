// A picture file opened as strips, as the command and the Python module open it:
// BMP with the program's own reader, the other formats through libvips, and a BMP
// to be prepared (resized, rotated, flipped) handed to libvips row by row.
#ifndef QVX_PIPELINE_PICTURE_SOURCE_H
#define QVX_PIPELINE_PICTURE_SOURCE_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "pipeline/bmp_source.h"
#include "pipeline/conversion_request.h"
#include "pipeline/convert_strips.h"
#include "pipeline/vips_source.h"
#include "image/picture.h"

// How a program reaches the libvips reader: linked in (the Python module), or a
// module loaded for the first picture that needs it (the command, whose BMP
// conversions so never load libvips' hundred libraries). Owned by the program's top.
struct VipsAccess {
  // Returns the reader's functions, or null when there are none; called once, when
  // the first picture needs libvips. Null: this build reads BMP files only.
  const VipsReaderFunctions* (*load)() = nullptr;
  // Said when a BMP picture is to be prepared and libvips can't be had; null: the build has none.
  const char* missing = nullptr;
  bool loaded = false;
  const VipsReaderFunctions* functions = nullptr;
  VipsSession session;
};

// Returns the reader's functions, loading them at the first call; null when there are none.
const VipsReaderFunctions* vips_functions(VipsAccess& access);

// Ends the program's use of libvips (when it was started).
void end_vips_access(VipsAccess& access);

// Says whether a file starting with these bytes is a picture this program reads.
bool reads_picture_head(VipsAccess* vips, const std::vector<uint8_t>& head);

// Says whether the picture goes through libvips: not a BMP file, or prepared.
bool picture_needs_vips(const std::vector<uint8_t>& head, const Preparation& prepare);

struct PictureSource {
  // Set before opening. `head` (the file's first bytes) must outlive the source.
  FILE* file = nullptr;
  std::string path;  // what libvips opens
  const std::vector<uint8_t>* head = nullptr;
  std::string shown;       // the name in messages
  bool top_first = false;  // strips from the top row down where the file allows (halftoning)
  // On several threads, uncompressed BMP rows read where they lie in the mapped file;
  // only for a program that turns the fault of a file cut meanwhile into a message.
  bool map_rows = false;
  VipsAccess* vips = nullptr;  // null: BMP files only
  // The reader.
  bool is_bmp = false;
  BmpSource bmp;
  const VipsReaderFunctions* functions = nullptr;
  VipsPicture* picture = nullptr;
  ReadCode prepared_code = ReadCode::kOk;  // why the BMP reader failed under libvips' preparation
  uint8_t header[kStoreHeaderSize] = {};
  PictureSource() = default;
  PictureSource(const PictureSource&) = delete;
  PictureSource& operator=(const PictureSource&) = delete;
  ~PictureSource();
};

// Starts the reader at the file's first row (again, after a pass); returns an empty
// string or the reason it can't, as the command words it.
std::string open_picture_source(PictureSource& source, const ConversionRequest& request, uint64_t max_pixels);

// Closes the reader; the file stays open.
void close_picture_source(PictureSource& source);

// Returns the opened picture's strips, size and header.
StripReader picture_strip_reader(PictureSource& source);

// Returns the reason the reader stopped with `code`: the BMP reader's message, or libvips' own reason.
std::string picture_read_failure(PictureSource& source, ReadCode code);

// Returns the cause of the BMP reader's last failure where it knows it ("file shorter
// than its header says"), for messages that may say more than the command's; else null.
const char* picture_failure_detail(const PictureSource& source);

// Reads the picture once for Otsu's threshold of its luminance and starts the reader
// again at the first row; returns an empty string or the reason.
std::string measure_picture_density(PictureSource& source, const ConversionRequest& request, uint64_t max_pixels,
                                    int& density);

// The most a copy of a non-regular input may hold: an uncompressed picture of the
// largest size allowed.
uint64_t input_copy_cap(uint64_t max_pixels);

#endif
