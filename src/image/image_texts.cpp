#include "image/image_texts.h"

#include <cstdio>

#include "image/bmp_reader.h"
#include "image/english_read_texts.h"
#include "res/resource_ids.h"

const char kEnErrorTitle[] = "error";
const char kJaErrorTitle[] = "\x83G\x83\x89\x81[";
const char kJaReadPrefix[] =
    "BMP\x83t\x83@\x83" "C\x83\x8B\x82\xCC\x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5"
    "\x82\xBD\x81" "B\n";
const char kJaNoMemory[] = "\x83\x81\x83\x82\x83\x8A\x82\xF0\x8Am\x95\xDB\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x81" "B";

namespace {

const char kJaCantOpen[] = "\x83t\x83@\x83" "C\x83\x8B '%s' \x82\xF0\x8AJ\x82\xAF\x82\xDC\x82\xB9\x82\xF1\x81" "B";
const char kJaNoFileHeader[] =
    "\x83t\x83@\x83" "C\x83\x8B\x83w\x83" "b\x83_\x81[\x82\xAA\x93\xC7\x82\xDF\x82\xDC\x82\xB9\x82\xF1\x81" "B";
const char kJaNotBitmap[] =
    "\x82\xB1\x82\xCC\x83t\x83@\x83" "C\x83\x8B\x82\xCD" "BMP\x83t\x83@\x83" "C\x83\x8B\x82\xC5\x82\xCD\x82\xA0\x82"
    "\xE8\x82\xDC\x82\xB9\x82\xF1\x81" "B";
const char kJaNoInfoHeader[] = "BMPINFO\x83w\x83" "b\x83_\x81[\x82\xAA\x93\xC7\x82\xDF\x82\xDC\x82\xB9\x82\xF1\x81" "B";
const char kJaUnsupported[] = "\x82\xB1\x82\xCC\x8C`\x8E\xAE\x82\xCD\x88\xB5\x82\xA6\x82\xDC\x82\xB9\x82\xF1\x81" "B";
const char kJaTooLarge[] = "\x83t\x83@\x83" "C\x83\x8B\x82\xAA\x91\xE5\x82\xAB\x82\xB7\x82\xAC\x82\xDC\x82\xB7\x81" "B";
const char kJaReadError[] =
    "\x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x83G\x83\x89\x81[\x82\xAA\x94\xAD\x90\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81" "B";

}  // namespace

const char* japanese_read_message(ReadCode code) {
  switch (code) {
    case ReadCode::kCantOpen: return kJaCantOpen;
    case ReadCode::kNoFileHeader: return kJaNoFileHeader;
    case ReadCode::kNotBitmap: return kJaNotBitmap;
    case ReadCode::kNoInfoHeader: return kJaNoInfoHeader;
    case ReadCode::kUnsupported: return kJaUnsupported;
    case ReadCode::kTooLarge: return kJaTooLarge;
    default: return kJaReadError;
  }
}

int english_read_message_id(ReadCode code) {
  switch (code) {
    case ReadCode::kCantOpen: return IDS_CANT_OPEN_FILE;
    case ReadCode::kNoFileHeader: return IDS_NO_FILE_HEADER;
    case ReadCode::kNotBitmap: return IDS_NOT_BITMAP;
    case ReadCode::kNoInfoHeader: return IDS_NO_INFO_HEADER;
    case ReadCode::kUnsupported: return IDS_UNSUPPORTED;
    case ReadCode::kTooLarge: return IDS_FILE_TOO_LARGE;
    default: return IDS_READ_ERROR;
  }
}

const char* english_read_message(ReadCode code) {
  switch (code) {
    case ReadCode::kCantOpen: return QVX_EN_CANT_OPEN_FILE;
    case ReadCode::kNoFileHeader: return QVX_EN_NO_FILE_HEADER;
    case ReadCode::kNotBitmap: return QVX_EN_NOT_BITMAP;
    case ReadCode::kNoInfoHeader: return QVX_EN_NO_INFO_HEADER;
    case ReadCode::kUnsupported: return QVX_EN_UNSUPPORTED;
    case ReadCode::kTooLarge: return QVX_EN_FILE_TOO_LARGE;
    default: return QVX_EN_READ_ERROR;
  }
}

const char* compression_word(uint32_t mask_byte_count, uint32_t compression) {
  if (mask_byte_count != 0) return "  BitField";
  switch (compression) {
    case 0: return "  Normal";
    case 1: return "  RLE8";
    case 2: return "  RLE4";
    case 4: return "  JPEG";
    case 5: return "  PNG";
    default: return "  Compress";
  }
}

void format_caption(const char* file_name, int32_t width, int32_t height, unsigned bit_count,
                    uint32_t mask_byte_count, uint32_t compression, char* out, size_t out_size) {
  std::snprintf(out, out_size, "QUILLVEX- %s %d * %d * %u%s", file_name, static_cast<int>(width),
                static_cast<int>(height), bit_count, compression_word(mask_byte_count, compression));
}

void format_read_failure(const char* prefix, const char* message, ReadCode code, const char* file_name, char* out,
                         size_t out_size) {
  const int used = std::snprintf(out, out_size, "%s", prefix);
  if (used < 0 || static_cast<size_t>(used) >= out_size) return;
  if (code == ReadCode::kCantOpen) {
    std::snprintf(out + used, out_size - used, message, file_name);
  } else {
    std::snprintf(out + used, out_size - used, "%s", message);
  }
}
