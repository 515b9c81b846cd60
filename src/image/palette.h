// The logical palette made for a picture on a palette-based display.
#ifndef QVX_PALETTE_H
#define QVX_PALETTE_H

#include <cstdint>

#include "image/picture.h"

constexpr int kColourCubeEntries = 240;

// Returns how many palette entries the picture gets: colours used (low 16 bits), or the 240-entry cube.
int palette_entry_count(const uint8_t* store);

// Fills entries as (red, green, blue, flags 0) quadruples, palette_entry_count of them,
// from the colour table after the masks; an index beyond the colour count gives black.
void fill_palette_entries(const uint8_t* store, const PictureDescription& picture, uint8_t* entries);

#endif
