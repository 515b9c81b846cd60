// Device files opened on the page: an X bitmap or a C array this program wrote becomes
// its picture of indexes again, shown in its levels' greys or its palette's colours
// and written out as quillvex-cli writes it, with no conversion.
#ifndef QVX_WEB_PAGE_DEVICE_H
#define QVX_WEB_PAGE_DEVICE_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "device/device_reader.h"
#include "page_export.h"
#include "page_failure.h"
#include "page_picture.h"
#include "page_result.h"
#include "pipeline/conversion_request.h"

// Returns true when the file is a device file by its name or, without a device
// extension, by its first bytes, as the command tells; `format` says which.
bool page_device_format(const std::string& name, const uint8_t* head, size_t head_size, DeviceFormat& format);

// Reads a device file held in memory into `device` and the picture the panes show.
// Raw bytes and a C array without this program's comment don't say how they were
// written: they are refused ("device-unsaid"), as is a file the reader refuses
// ("device-read") or one above max_pixels ("too-large").
PageFailure open_device_picture(const uint8_t* bytes, size_t size, DeviceFormat format, uint64_t max_pixels,
                                DevicePicture& device, PagePicture& picture);

// Makes the result the device picture's own indexes, every row ready.
PageFailure show_device_result(PageResult& result, const PagePicture& picture, const DevicePicture& device);

// Writes the device picture as the command writes a device file read back
// (write_device_picture) under `file_name`.
void export_device_picture(ConversionRequest request, const std::string& file_name, const DevicePicture& device,
                           PageExport& out);

#endif
