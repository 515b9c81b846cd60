// Feeds arbitrary bytes to the device reader: the first four choose the format, the
// layout, what the indexes mean, the polarities and the size given (0: none), the
// rest is the file. A picture read must have an index below the count at every
// pixel, and written again with the settings it was read with and read once more,
// give the same indexes: the reader and the writer agree on every layout.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "device/device_reader.h"
#include "device/device_writer.h"

namespace {

const char* const kPalettes[] = {"", "bwr", "spectra6-measured"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  DeviceReadRequest request;
  const DeviceFormat formats[] = {DeviceFormat::kXbm, DeviceFormat::kC, DeviceFormat::kBin, DeviceFormat::kZpl};
  request.format = formats[data[0] & 3];
  request.settings.layout = static_cast<DeviceLayout>((data[0] >> 2) % 7);
  request.settings.on = data[0] & 0x20 ? DeviceOn::kBlack : DeviceOn::kWhite;
  if (data[0] & 0x40) request.settings.plane_on[0] = DeviceOn::kBlack;
  if (data[0] & 0x80) request.settings.plane_on[1] = DeviceOn::kWhite;
  request.settings.meaning.count = 2 + (data[1] & 15);
  request.settings.meaning.palette = kPalettes[(data[1] >> 4) % 3];
  if (data[1] & 0x40) request.settings.codes = {0, 1, 2, 3, 5, 6};
  request.width = data[2];
  request.height = data[3];
  const DeviceReadResult read = read_device_bytes(data + 4, size - 4, request);
  if (read.error != DeviceReadError::kNone) {
    if (!read.picture.indexes.empty() || device_read_error_text(read).empty()) std::abort();
    return 0;
  }
  const DevicePicture& p = read.picture;
  if (p.indexes.size() != static_cast<size_t>(p.width) * p.height) std::abort();
  for (uint8_t index : p.indexes) {
    if (index >= p.settings.meaning.count) std::abort();
  }
  DeviceSettings again = p.settings;
  again.format = DeviceFormat::kBin;
  std::vector<uint8_t> bytes;
  if (encode_device_indexes(again, p.indexes.data(), p.width, p.width, p.height, bytes) != DeviceError::kNone) {
    std::abort();
  }
  const DeviceReadResult back =
      read_device_bytes(bytes.data(), bytes.size(), {DeviceFormat::kBin, p.width, p.height, again});
  if (back.error != DeviceReadError::kNone || back.picture.indexes != p.indexes) std::abort();
  return 0;
}
