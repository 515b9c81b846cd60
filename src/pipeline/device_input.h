// Device files read back: an X bitmap, a C array or raw bytes this program wrote
// become a picture of indexes again, with no conversion, and go to any output with
// the levels or palette they were written with (a PNG in the palette's colours shows
// what the panel will show).
#ifndef QVX_PIPELINE_DEVICE_INPUT_H
#define QVX_PIPELINE_DEVICE_INPUT_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "device/device_reader.h"
#include "pipeline/conversion_request.h"
#include "pipeline/output_format.h"
#include "pipeline/result_output.h"

// The same for a file by its name, else (standard input) by its first bytes: the
// text of an X bitmap or of a C array. Raw bytes are known by their name only.
bool device_input_format(const std::string& name, const std::vector<uint8_t>& head, DeviceFormat& format);

// Returns "" or why the request can't read a device file back: it is not converted,
// so the options that convert or prepare a picture don't apply.
std::string check_read_back_request(const ConversionRequest& request);

// Reads a device file whole: its size from --size (the array's, not a fit) or from
// the text, how it was written from the device options and the preset. Returns "" or
// the reason.
std::string read_device_input(FILE* file, DeviceFormat format, const ConversionRequest& request, uint64_t max_pixels,
                              DevicePicture& picture);

// Writes a picture read back to `out.file` in request.format: a device format with the
// options given, else as written (layout, polarity, code map); a picture format with
// its levels or colours (two of them in the 1-bit formats). Returns "" or the reason.
std::string write_device_picture(const DevicePicture& picture, const ConversionRequest& request,
                                 const std::string& target, const std::string& input, ResultOutput& out);

#endif
