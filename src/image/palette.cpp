#include "image/palette.h"

#include "image/le_bytes.h"

int palette_entry_count(const uint8_t* store) {
  const uint32_t used = get_u32(store + kColoursUsedField);
  return used != 0 ? static_cast<int>(used & 0xFFFF) : kColourCubeEntries;
}

void fill_palette_entries(const uint8_t* store, const PictureDescription& picture, uint8_t* entries) {
  const int count = palette_entry_count(store);
  if (get_u32(store + kColoursUsedField) != 0) {
    for (int i = 0; i < count; ++i) {
      const uint32_t colour =
          static_cast<uint32_t>(i) < picture.colour_count ? get_u32(store + kStoreHeaderSize + picture.mask_byte_count + 4 * i) : 0;
      entries[4 * i + 0] = static_cast<uint8_t>(colour >> 16);
      entries[4 * i + 1] = static_cast<uint8_t>(colour >> 8);
      entries[4 * i + 2] = static_cast<uint8_t>(colour);
      entries[4 * i + 3] = 0;
    }
    return;
  }
  // A colour cube, white first and black last: index r + 6g + 48b.
  for (int b = 0; b < 5; ++b)
    for (int g = 0; g < 8; ++g)
      for (int r = 0; r < 6; ++r) {
        uint8_t* e = entries + 4 * (r + 6 * g + 48 * b);
        e[0] = static_cast<uint8_t>(255 - 255 * r / 5);
        e[1] = static_cast<uint8_t>(255 - 255 * g / 7);
        e[2] = static_cast<uint8_t>(255 - 255 * b / 4);
        e[3] = 0;
      }
}
