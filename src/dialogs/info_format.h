// The texts the Info dialog shows for a picture's store, and the About dialog's
// display line, apart from the platform calls that show them.
#ifndef QVX_INFO_FORMAT_H
#define QVX_INFO_FORMAT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Control ids of the Info dialog: value fields 1..11 (row k has id k + 1), the
// colour cells 13..20 (left column) and 21..28 (right column).
constexpr int kInfoFirstValue = 1;
constexpr int kInfoValueCount = 11;
constexpr int kInfoFirstCell = 13;
constexpr int kInfoCellCount = 16;
constexpr int kInfoMaskCountCell = 17;
constexpr int kInfoFirstMaskLabel = 21;

// One colour cell's new text; `fixed_font` marks a value shown in the fixed-pitch font.
struct InfoCell {
  int id;
  std::string text;
  bool fixed_font;
};

struct InfoTexts {
  bool filled = false;  // false: the store was too short to hold a header
  std::string values[kInfoValueCount];
  std::vector<InfoCell> cells;
};

// Returns the value fields and colour cells for a store of `size` bytes. Entries
// that would lie past the end of the store are left out.
InfoTexts format_info(const uint8_t* store, size_t size, uint32_t source_header_size, uint32_t mask_byte_count);

// Returns the display line for a device of `depth` bits per pixel (planes times
// bits) whose palette has `palette_size` entries.
std::string format_display_line(bool japanese, int depth, int palette_size);

#endif
