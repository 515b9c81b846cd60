// The way back from device bytes to a picture's indexes, with no conversion: an X
// bitmap, a C array (a header this program wrote says in its comment how to read
// it) or raw bytes, given their size and how they were written. Every size and
// item is checked against the bytes there are before anything is read.
#ifndef QVX_DEVICE_READER_H
#define QVX_DEVICE_READER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "device/device_format.h"

struct DeviceReadRequest {
  DeviceFormat format = DeviceFormat::kBin;  // xbm, c or bin
  uint32_t width = 0, height = 0;           // 0: from the text's size defines (bin needs both)
  // How the bytes were written: layout, polarity, meaning, code map, planes'
  // polarities. Used for bin and for a C array without this program's comment.
  DeviceSettings settings;
};

struct DevicePicture {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> indexes;  // a byte a pixel, the top row first
  DeviceSettings settings;       // what the bytes were read as; settings.meaning: what the indexes stand for
};

enum class DeviceReadError {
  kNone,
  kFormatNotRead,     // escpos and zpl are not read back
  kNoSize,            // no width and height given or defined
  kEmptyPicture,      // a side of 0
  kTooLarge,          // more pixels than this process can hold
  kSizeContradicts,   // the size given differs from the one the text defines or its comment names
  kBadSettings,       // settings no output could have been written with (check_device_indexes)
  kTruncated,         // fewer bytes or items than the size takes
  kSizeMismatch,      // more bytes or items than the size takes
  kMalformedText,     // no array, an item that is not a byte, no closing brace, a broken define
  kMalformedComment,  // a comment of this program's with a clause unknown, missing or contradicting
  kNoValue,           // a value that is no index's (a code not in the map, a level beyond the last)
};

struct DeviceReadResult {
  DeviceReadError error = DeviceReadError::kNone;
  uint64_t expected = 0, found = 0;  // Truncated, SizeMismatch: bytes or items
  size_t line = 0;                   // MalformedText: the line, from 1
  uint64_t pixel = 0;                // NoValue: the pixel, counted from the top left
  DevicePicture picture;
};

// Reads `size` bytes of `request.format`.
DeviceReadResult read_device_bytes(const uint8_t* data, size_t size, const DeviceReadRequest& request);

// Returns a one-line message for a failed read (no trailing full stop).
std::string device_read_error_text(const DeviceReadResult& result);

#endif
