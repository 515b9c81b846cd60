#include "dialogs/info_format.h"

#include <cstdio>

#include "dialogs/dialog_texts.h"
#include "image/le_bytes.h"
#include "image/picture.h"

namespace {

constexpr size_t kTextSize = 256;  // the size of the frame's scratch buffer the texts are shown from

// Pixels per metre times the metres in an inch: pixels per inch.
double pixels_per_inch(int32_t resolution) { return resolution * 254.0 / 10000.0; }

unsigned dots_per_inch(int32_t resolution) {
  return static_cast<unsigned>(static_cast<int32_t>(pixels_per_inch(resolution) + 0.5));
}

std::string number(const char* format, unsigned long value) {
  char text[kTextSize];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// The width, with its size in inches when the resolution is known.
std::string width_field(uint32_t width, int32_t resolution) {
  char text[kTextSize];
  if (resolution == 0) {
    std::snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(width));
  } else {
    std::snprintf(text, sizeof text, "%lu (%4.2fin)", static_cast<unsigned long>(width),
                  static_cast<int32_t>(width) / pixels_per_inch(resolution));
  }
  return text;
}

// The height is signed: a top-down picture shows a negative height and length.
std::string height_field(int32_t height, int32_t resolution) {
  char text[kTextSize];
  if (resolution == 0) {
    std::snprintf(text, sizeof text, "%ld", static_cast<long>(height));
  } else {
    std::snprintf(text, sizeof text, "%ld (%4.2fin)", static_cast<long>(height), height / pixels_per_inch(resolution));
  }
  return text;
}

std::string resolution_field(uint32_t raw) {
  char text[kTextSize];
  std::snprintf(text, sizeof text, "%lu (%udpi)", static_cast<unsigned long>(raw),
                dots_per_inch(static_cast<int32_t>(raw)));
  return text;
}

int set_bits(uint32_t mask) {
  int count = 0;
  for (; mask != 0; mask &= mask - 1) ++count;
  return count;
}

}  // namespace

InfoTexts format_info(const uint8_t* store, size_t size, uint32_t source_header_size, uint32_t mask_byte_count) {
  InfoTexts texts;
  if (store == nullptr || size < kStoreHeaderSize) return texts;
  texts.filled = true;

  const uint32_t width = get_u32(store + kWidthField);
  const int32_t height = get_i32(store + kHeightField);
  const uint32_t x_resolution = get_u32(store + kXResolutionField);
  const uint32_t y_resolution = get_u32(store + kYResolutionField);
  const uint32_t colours_used = get_u32(store + kColoursUsedField);

  texts.values[0] = number("%lu", source_header_size);
  texts.values[1] = width_field(width, static_cast<int32_t>(x_resolution));
  texts.values[2] = height_field(height, static_cast<int32_t>(y_resolution));
  texts.values[3] = number("%lu", get_u16(store + kPlanesField));
  texts.values[4] = number("%lu", get_u16(store + kBitCountField));
  texts.values[5] = number("%lu", get_u32(store + kCompressionField));
  texts.values[6] = number("%lu", get_u32(store + kImageSizeField));
  texts.values[7] = resolution_field(x_resolution);
  texts.values[8] = resolution_field(y_resolution);
  texts.values[9] = number("%lu", colours_used);
  texts.values[10] = number("%lu", get_u32(store + kColoursImportantField));

  uint32_t shown = colours_used < kInfoCellCount ? colours_used : kInfoCellCount;
  if (mask_byte_count != 0) {
    // The three masks take the place of the colour table, labelled beside them.
    shown = 3;
    texts.cells.push_back({kInfoFirstMaskLabel, kRedLabel, false});
    texts.cells.push_back({kInfoFirstMaskLabel + 1, kGreenLabel, false});
    texts.cells.push_back({kInfoFirstMaskLabel + 2, kBlueLabel, false});
    if (size >= kStoreHeaderSize + kMaskBytes) {
      char counts[kTextSize];
      std::snprintf(counts, sizeof counts, "%d-%d-%d", set_bits(get_u32(store + kStoreHeaderSize)),
                    set_bits(get_u32(store + kStoreHeaderSize + 4)), set_bits(get_u32(store + kStoreHeaderSize + 8)));
      texts.cells.push_back({kInfoMaskCountCell, counts, false});
    }
  }
  for (uint32_t i = 0; i < shown; ++i) {
    const size_t offset = kStoreHeaderSize + 4 * static_cast<size_t>(i);
    if (offset + 4 > size) break;
    char entry[kTextSize];
    std::snprintf(entry, sizeof entry, "%08lx", static_cast<unsigned long>(get_u32(store + offset)));
    texts.cells.push_back({kInfoFirstCell + static_cast<int>(i), entry, true});
  }
  return texts;
}

std::string format_display_line(bool japanese, int depth, int palette_size) {
  // A 32-bit display spends its fourth byte on nothing: it shows as many colours as 24 bits.
  if (depth >= 32) depth = 24;
  uint32_t colours = 1;  // doubled in unsigned arithmetic so that 31 bits wraps instead of overflowing
  for (int i = 0; i < depth; ++i) colours *= 2;
  char text[kTextSize];
  std::snprintf(text, sizeof text, japanese ? kJaDisplayFormat : kEnDisplayFormat,
                static_cast<long>(static_cast<int32_t>(colours)));
  std::string line = text;
  if (depth == 8) {
    if (palette_size != 0) {
      line += japanese ? kJaWithPalette : kEnWithPalette;
    } else {
      line += japanese ? kJaWithoutPalette : kEnWithoutPalette;
    }
  }
  return line;
}
