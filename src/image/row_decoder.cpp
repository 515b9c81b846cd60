#include "image/row_decoder.h"

#include <cstring>

#include "image/le_bytes.h"
#include "image/pixel.h"

namespace {

// The shifts that put the top bit of a mask on bit `target`; a shift of 32 or more
// either way leaves nothing of the field.
void set_field(FieldShifts& f, int k, uint32_t mask, int target, uint32_t cut) {
  const int amount = target - top_bit(mask);
  f.mask[k] = (amount >= 32 || amount <= -32) ? 0 : mask;
  f.left[k] = amount > 0 ? static_cast<uint32_t>(amount) : 0;
  f.right[k] = amount < 0 ? static_cast<uint32_t>(-amount) : 0;
  f.cut[k] = cut;
}

FieldShifts masked_fields(const uint8_t* store, bool cut_to_bytes) {
  FieldShifts f{};
  const uint32_t red = get_u32(store + kStoreHeaderSize), green = get_u32(store + kStoreHeaderSize + 4),
                 blue = get_u32(store + kStoreHeaderSize + 8);
  set_field(f, 0, blue, 7, cut_to_bytes ? 0xFFu : ~0u);
  set_field(f, 1, green, 15, cut_to_bytes ? 0xFF00u : ~0u);
  set_field(f, 2, red, 23, cut_to_bytes ? 0xFF0000u : ~0u);
  return f;
}

// Five bits each of blue, green and red, bit 15 ignored.
FieldShifts plain16_fields() {
  FieldShifts f{};
  const uint32_t masks[3] = {0x1F, 0x3E0, 0x7C00}, lefts[3] = {3, 6, 9};
  for (int k = 0; k < 3; ++k) {
    f.mask[k] = masks[k];
    f.left[k] = lefts[k];
    f.cut[k] = ~0u;
  }
  return f;
}

// Reads the colour-table entries the depth can index (past the table: black) and,
// for luminance rows, weighs all 256.
void fill_table(RowDecoder& d, const uint8_t* store, const PictureDescription& picture, uint32_t entries,
                bool luminances) {
  for (uint32_t i = 0; i < entries && i < picture.colour_count; ++i)
    d.table_colour[i] = get_u32(store + kStoreHeaderSize + 4 * i) & 0xFFFFFF;
  if (luminances)
    for (uint32_t i = 0; i < entries; ++i) d.table_luma[i] = static_cast<uint8_t>(luminance(d.table_colour[i]));
}

// Only the order of the two entries' luminances matters: the darker reads black.
void fill_one_bit_table(RowDecoder& d, const uint8_t* store, const PictureDescription& picture) {
  fill_table(d, store, picture, 2, false);
  const bool set_is_white = luminance(d.table_colour[0]) < luminance(d.table_colour[1]);
  d.table_colour[0] = set_is_white ? 0 : 0xFFFFFF;
  d.table_colour[1] = set_is_white ? 0xFFFFFF : 0;
  d.table_luma[0] = set_is_white ? 0 : 255;
  d.table_luma[1] = set_is_white ? 255 : 0;
}

// Indices of pixels packed `bits` to a byte, most significant first, through a table.
template <int bits>
void indexed_row(const uint8_t* line, int32_t width, const uint8_t* table, uint8_t* out) {
  constexpr int per_byte = 8 / bits;
  constexpr unsigned mask = (1u << bits) - 1;
  int32_t x = 0;
  for (; width - x >= per_byte; x += per_byte) {
    const unsigned byte = line[x / per_byte];
    for (int k = 0; k < per_byte; ++k) out[x + k] = table[(byte >> (8 - bits * (k + 1))) & mask];
  }
  for (int k = 0; x < width; ++x, ++k) out[x] = table[(line[x / per_byte] >> (8 - bits * (k + 1))) & mask];
}

const uint8_t* line_of(const RowDecoder& d, int32_t row) { return d.pixels + d.stride * static_cast<uint64_t>(row); }

}  // namespace

RowDecoder make_row_decoder(const uint8_t* store, const PictureDescription& picture, RowUse use) {
  const bool luminances = use == RowUse::kLuminance;
  RowDecoder d;
  const uint16_t bit_count = get_u16(store + kBitCountField);
  const bool masked = picture.mask_byte_count == kMaskBytes;
  d.width = picture.width;
  d.stride = row_stride(static_cast<uint32_t>(picture.width), bit_count);
  d.pixels = store + picture.offset_to_pixels;
  switch (bit_count) {
    case 1: d.kind = RowKind::kIndexed1; fill_one_bit_table(d, store, picture); break;
    case 2: d.kind = RowKind::kIndexed2; fill_table(d, store, picture, 4, luminances); break;
    case 4: d.kind = RowKind::kIndexed4; fill_table(d, store, picture, 16, luminances); break;
    case 8: d.kind = RowKind::kIndexed8; fill_table(d, store, picture, 256, luminances); break;
    case 16:
      d.kind = RowKind::kFields16;
      d.fields = masked ? masked_fields(store, false) : plain16_fields();
      break;
    case 24: d.kind = RowKind::kBgr24; break;
    case 32:
      d.kind = masked ? RowKind::kFields32 : RowKind::kBgrx32;
      if (masked) d.fields = masked_fields(store, true);
      break;
    default: d.kind = RowKind::kBlack; break;
  }
  return d;
}

void decode_luminance_row(const RowDecoder& d, int32_t row, uint8_t* out) {
  const uint8_t* line = line_of(d, row);
  const LumaKernels& k = active_luma_kernels();
  switch (d.kind) {
    case RowKind::kIndexed1: indexed_row<1>(line, d.width, d.table_luma, out); return;
    case RowKind::kIndexed2: indexed_row<2>(line, d.width, d.table_luma, out); return;
    case RowKind::kIndexed4: indexed_row<4>(line, d.width, d.table_luma, out); return;
    case RowKind::kIndexed8: k.indexed8(line, d.width, d.table_luma, out); return;
    case RowKind::kFields16: k.fields16(line, d.width, d.fields, out); return;
    case RowKind::kBgr24: k.bgr24(line, d.width, out); return;
    case RowKind::kBgrx32: k.bgrx32(line, d.width, out); return;
    case RowKind::kFields32: k.fields32(line, d.width, d.fields, out); return;
    case RowKind::kBlack: std::memset(out, 0, static_cast<size_t>(d.width)); return;
  }
}

void decode_colours(const RowDecoder& d, int32_t row, const int32_t* columns, int32_t count, uint32_t* out) {
  const uint8_t* line = line_of(d, row);
  switch (d.kind) {
    case RowKind::kIndexed1:
      for (int32_t i = 0; i < count; ++i) {
        const uint32_t x = static_cast<uint32_t>(columns[i]);
        out[i] = d.table_colour[(line[x >> 3] >> (7 - (x & 7))) & 1];
      }
      return;
    case RowKind::kIndexed2:
      for (int32_t i = 0; i < count; ++i) {
        const uint32_t x = static_cast<uint32_t>(columns[i]);
        out[i] = d.table_colour[(line[x >> 2] >> (6 - 2 * (x & 3))) & 3];
      }
      return;
    case RowKind::kIndexed4:
      for (int32_t i = 0; i < count; ++i) {
        const uint32_t x = static_cast<uint32_t>(columns[i]);
        out[i] = d.table_colour[(x & 1) ? line[x >> 1] & 0x0F : line[x >> 1] >> 4];
      }
      return;
    case RowKind::kIndexed8:
      for (int32_t i = 0; i < count; ++i) out[i] = d.table_colour[line[columns[i]]];
      return;
    case RowKind::kFields16:
      for (int32_t i = 0; i < count; ++i) out[i] = field_colour(get_u16(line + 2 * static_cast<size_t>(columns[i])), d.fields);
      return;
    case RowKind::kBgr24:
      for (int32_t i = 0; i < count; ++i) {
        const uint8_t* p = line + 3 * static_cast<size_t>(columns[i]);
        out[i] = p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16);
      }
      return;
    case RowKind::kBgrx32:
      for (int32_t i = 0; i < count; ++i) out[i] = get_u32(line + 4 * static_cast<size_t>(columns[i])) & 0xFFFFFF;
      return;
    case RowKind::kFields32:
      for (int32_t i = 0; i < count; ++i) out[i] = field_colour(get_u32(line + 4 * static_cast<size_t>(columns[i])), d.fields);
      return;
    case RowKind::kBlack:
      for (int32_t i = 0; i < count; ++i) out[i] = 0;
      return;
  }
}

// The whole-row readers declared with the pixel fetch.
void luminance_of_colours(const uint32_t* colours, int32_t count, uint8_t* out) {
  // 0xRRGGBB values lie in memory as blue, green, red and a spare byte.
  active_luma_kernels().bgrx32(reinterpret_cast<const uint8_t*>(colours), count, out);
}

void luminance_row(const uint8_t* store, const PictureDescription& picture, int32_t row, uint8_t* out) {
  const RowDecoder decoder = make_row_decoder(store, picture, RowUse::kLuminance);
  decode_luminance_row(decoder, row, out);
}
