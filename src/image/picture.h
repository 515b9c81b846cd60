// The current picture: the packed device-independent bitmap in the store block
// (40-byte header, optional masks, colour table, rows) and its description.
#ifndef QVX_PICTURE_H
#define QVX_PICTURE_H

#include <cstddef>
#include <cstdint>

// Byte offsets of the store header fields (the BITMAPINFOHEADER layout).
enum StoreField : uint32_t {
  kHeaderSizeField = 0,
  kWidthField = 4,
  kHeightField = 8,
  kPlanesField = 12,
  kBitCountField = 14,
  kCompressionField = 16,
  kImageSizeField = 20,
  kXResolutionField = 24,
  kYResolutionField = 28,
  kColoursUsedField = 32,
  kColoursImportantField = 36,
};

// A BMP file is the 14-byte file header followed by the bytes a store holds.
constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kStoreHeaderSize = 40;
constexpr uint32_t kMaskBytes = 12;
constexpr uint32_t kInitialStoreSize = 1064;  // header and 256 colour entries

enum Compression : uint32_t {
  kCompressionNone = 0,
  kCompressionRle8 = 1,
  kCompressionRle4 = 2,
  kCompressionBitFields = 3,
  kCompressionJpeg = 4,
  kCompressionPng = 5,
};

// Pixels the platform decoded are handed out in spans of at most this many columns,
// each within one multiple of it, so that reading them back needs bounded memory.
constexpr int32_t kDecodedSpan = 1 << 20;

// What the program knows about the picture in the store besides the store itself.
struct PictureDescription {
  int32_t width = 0;   // the header's width
  int32_t height = 0;  // absolute value of the header's height
  uint32_t offset_to_pixels = 0;
  uint32_t mask_byte_count = 0;
  uint32_t colour_count = 0;
  uint32_t source_header_size = 0;
  uint32_t read_back = 0;  // nonzero: pixels come from the platform's decoding
};

// The fields of a 40-byte information header that the readers lay out from.
struct InfoFields {
  uint32_t header_size = 0;
  int32_t width = 0;
  int32_t height = 0;
  uint16_t bit_count = 0;
  uint32_t compression = 0;
  uint32_t image_size = 0;
  uint32_t colours_used = 0;
};

// Reads the fields of the information header at the start of bytes [0, size);
// false when the 40 bytes are not all there.
bool read_info_fields(const uint8_t* bytes, size_t size, InfoFields& fields);

// Returns the read-back flag for a store header: the compression code, bit-fields
// counting as none, and 0xFFFF for an uncompressed picture without a bit count.
uint32_t read_back_flag(const uint8_t* store);

// Returns the colour-table length: colours used when not 0, else 2^bits below 16 bits, else 0.
uint32_t colour_count_of(uint32_t colours_used, uint16_t bit_count);

#endif
