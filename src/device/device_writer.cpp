#include "device/device_writer.h"

#include <algorithm>
#include <cstring>

#include "device/device_comment.h"

namespace {

// columns-msb keeps the whole packed picture; beyond this it is refused rather
// than risk an allocation a 32-bit process cannot make.
constexpr uint64_t kMaxHeldBytes = uint64_t{1} << 30;
constexpr size_t kFlushBytes = 64 * 1024;

const char kHexLower[] = "0123456789abcdef";
const char kHexUpper[] = "0123456789ABCDEF";

std::string to_upper(std::string text) {
  for (char& c : text) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  return text;
}

// The layout applies to the C array and its raw bytes; the other formats have their own.
DeviceLayout layout_of(const DeviceSettings& s) {
  return s.format == DeviceFormat::kC || s.format == DeviceFormat::kBin ? s.layout : DeviceLayout::kRowsMsb;
}

uint8_t reverse_bits(uint8_t b) {
  b = static_cast<uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = static_cast<uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return static_cast<uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

// The pixel at column x of a prepared row: 1 when it is on.
unsigned bit_at(const uint8_t* row, uint32_t x) { return (row[x >> 3] >> (7 - (x & 7))) & 1u; }

void flush(DeviceWriter& w) {
  if (w.pending.empty() || w.error != DeviceError::kNone) return;
  if (!w.sink(reinterpret_cast<const uint8_t*>(w.pending.data()), w.pending.size())) w.error = DeviceError::kWriteFailed;
  w.pending.clear();
}

void emit_text(DeviceWriter& w, const std::string& text) {
  w.pending += text;
  if (w.pending.size() >= kFlushBytes) flush(w);
}

void emit_raw(DeviceWriter& w, const uint8_t* bytes, size_t n) {
  w.pending.append(reinterpret_cast<const char*>(bytes), n);
  if (w.pending.size() >= kFlushBytes) flush(w);
}

// Bytes of the array: raw for bin and escpos, "0x.." items for C (16 a line) and
// XBM (12 a line, as X writes them), ASCII hex for ZPL.
void emit_array(DeviceWriter& w, const uint8_t* bytes, size_t n) {
  switch (w.settings.format) {
    case DeviceFormat::kBin:
    case DeviceFormat::kEscPos: emit_raw(w, bytes, n); return;
    case DeviceFormat::kZpl:
      for (size_t i = 0; i < n; ++i) {
        w.pending += kHexUpper[bytes[i] >> 4];
        w.pending += kHexUpper[bytes[i] & 15];
      }
      break;
    case DeviceFormat::kC:
    case DeviceFormat::kXbm: {
      const unsigned per_line = w.settings.format == DeviceFormat::kC ? 16 : 12;
      const char* indent = w.settings.format == DeviceFormat::kC ? "  " : "   ";
      for (size_t i = 0; i < n; ++i, ++w.array_bytes) {
        if (w.array_bytes % per_line == 0) {
          if (w.array_bytes != 0) w.pending += ",\n";
          w.pending += indent;
        } else {
          w.pending += ", ";
        }
        const char item[4] = {'0', 'x', kHexLower[bytes[i] >> 4], kHexLower[bytes[i] & 15]};
        w.pending.append(item, 4);
      }
      break;
    }
  }
  if (w.pending.size() >= kFlushBytes) flush(w);
}

// The command that starts the band at row `top`: GS v 0, mode 0 (normal size),
// the row bytes and the band's rows, both low byte first.
void emit_escpos_band_header(DeviceWriter& w, uint32_t top) {
  const uint32_t rows = std::min<uint32_t>(w.settings.band_rows, w.height - top);
  const uint8_t header[8] = {0x1D, 0x76, 0x30, 0x00, static_cast<uint8_t>(w.row_bytes & 0xFF),
                             static_cast<uint8_t>(w.row_bytes >> 8), static_cast<uint8_t>(rows & 0xFF),
                             static_cast<uint8_t>(rows >> 8)};
  emit_raw(w, header, sizeof header);
}

// The band of up to 8 rows held for `pages`: a byte per column, the top row in bit 0.
void emit_page(DeviceWriter& w, uint32_t band_rows) {
  std::vector<uint8_t> out(w.width);
  for (uint32_t k = 0; k < band_rows; ++k) {
    const uint8_t* row = w.held.data() + k * w.row_bytes;
    for (uint32_t x = 0; x < w.width; ++x) out[x] = static_cast<uint8_t>(out[x] | bit_at(row, x) << k);
  }
  emit_array(w, out.data(), out.size());
}

// Every column of the picture held for `columns-msb`, the top pixel in bit 7.
void emit_columns(DeviceWriter& w) {
  const size_t column_bytes = (w.height + 7) / 8;
  std::vector<uint8_t> out(column_bytes);
  for (uint32_t x = 0; x < w.width; ++x) {
    std::fill(out.begin(), out.end(), 0);
    for (uint32_t y = 0; y < w.height; ++y) {
      out[y >> 3] = static_cast<uint8_t>(out[y >> 3] | bit_at(w.held.data() + y * w.row_bytes, x) << (7 - (y & 7)));
    }
    emit_array(w, out.data(), out.size());
  }
}

// The C header: a guard, <stdint.h>, PROGMEM from the AVR header or as nothing,
// the size macros and a static array, so it can be included by several files.
std::string c_header_opening(const DeviceWriter& w) {
  const std::string& name = w.settings.name;
  const std::string stem = to_upper(identifier_stem(name));
  return c_header_comment(w.settings, w.width, w.height) +
         "#ifndef QUILLVEX_" + stem + "_H\n#define QUILLVEX_" + stem + "_H\n\n"
         "#include <stdint.h>\n\n"
         "#if defined(__AVR__)\n#include <avr/pgmspace.h>\n#else\n#ifndef PROGMEM\n#define PROGMEM\n#endif\n#endif\n\n"
         "#define " + stem + "_WIDTH " + std::to_string(w.width) + "\n#define " + stem + "_HEIGHT " +
         std::to_string(w.height) + "\n\nstatic const uint8_t " + name + "[] PROGMEM = {\n";
}

// The rows of each ZPL graphic field for a picture `width` pixels wide: as many as
// fit in kMaxZplFieldBytes, 0 when not even one row does.
uint32_t zpl_field_rows(uint32_t width) {
  const uint64_t row_bytes = (uint64_t{width} + 7) / 8;
  return row_bytes == 0 ? 0 : static_cast<uint32_t>(kMaxZplFieldBytes / row_bytes);
}

// The ^FO and ^GFA opening the field whose top row is `top`: its bytes (twice, as
// ASCII hex is not compressed) and the bytes of a row.
void emit_zpl_field_opening(DeviceWriter& w, uint32_t top) {
  const uint64_t bytes = uint64_t{w.row_bytes} * std::min(w.field_rows, w.height - top);
  emit_text(w, "^FO0," + std::to_string(top) + "^GFA," + std::to_string(bytes) + "," + std::to_string(bytes) + "," +
                   std::to_string(w.row_bytes) + ",");
}

void emit_opening(DeviceWriter& w) {
  const std::string& name = w.settings.name;
  switch (w.settings.format) {
    case DeviceFormat::kXbm: {
      const std::string stem = identifier_stem(name);
      emit_text(w, "#define " + stem + "_width " + std::to_string(w.width) + "\n#define " + stem + "_height " +
                       std::to_string(w.height) + "\nstatic unsigned char " + stem + "_bits[] = {\n");
      break;
    }
    case DeviceFormat::kC: emit_text(w, c_header_opening(w)); break;
    case DeviceFormat::kZpl: emit_text(w, "^XA\n"); break;
    case DeviceFormat::kBin:
    case DeviceFormat::kEscPos: break;
  }
}

void emit_closing(DeviceWriter& w) {
  switch (w.settings.format) {
    case DeviceFormat::kXbm: emit_text(w, "};\n"); break;
    case DeviceFormat::kC: emit_text(w, "\n};\n\n#endif\n"); break;
    case DeviceFormat::kZpl: emit_text(w, "^XZ\n"); break;
    case DeviceFormat::kBin:
    case DeviceFormat::kEscPos: break;
  }
}

// Prepares one input row (set bit white) as the device's row: on pixels set, the
// bits past the width clear.
void prepare_row(DeviceWriter& w, const uint8_t* input) {
  const uint8_t flip = w.settings.on == DeviceOn::kBlack ? 0xFF : 0x00;
  for (size_t i = 0; i < w.row_bytes; ++i) w.row[i] = static_cast<uint8_t>(input[i] ^ flip);
  if (w.width & 7) w.row[w.row_bytes - 1] &= static_cast<uint8_t>(0xFF00 >> (w.width & 7));
}

FILE* open_spill_file() {
#ifdef __wasi__
  return nullptr;
#else
  return std::tmpfile();
#endif
}

// Plane 1's row kept until plane 0 is written.
void spill_row(DeviceWriter& w, const uint8_t* bytes, size_t n) {
  PlaneSpill& spill = w.spill;
  if (!spill.file && spill.memory.size() + n <= spill.memory_limit) {
    spill.memory.insert(spill.memory.end(), bytes, bytes + n);
    return;
  }
  if (!spill.file) spill.file.reset(open_spill_file());
  if (!spill.file || std::fwrite(bytes, 1, n, spill.file.get()) != n) {
    w.error = DeviceError::kSpillFailed;
    return;
  }
  spill.file_bytes += n;
}

// Writes plane 1 after plane 0: the memory's rows, then the file's.
void emit_spill(DeviceWriter& w) {
  PlaneSpill& spill = w.spill;
  emit_array(w, spill.memory.data(), spill.memory.size());
  if (!spill.file) return;
  FILE* file = spill.file.get();
  if (std::fflush(file) != 0 || std::fseek(file, 0, SEEK_SET) != 0) {
    w.error = DeviceError::kSpillFailed;
    return;
  }
  std::vector<uint8_t> chunk(kFlushBytes);
  for (uint64_t left = spill.file_bytes; left > 0 && w.error == DeviceError::kNone;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(left, chunk.size()));
    if (std::fread(chunk.data(), 1, n, file) != n) {
      w.error = DeviceError::kSpillFailed;
      return;
    }
    emit_array(w, chunk.data(), n);
    left -= n;
  }
}

// The value written for an index in 2bpp-msb and 4bpp-msb: its code, or the level
// counted from black (from white when on is black).
uint8_t packed_value(const DeviceSettings& s, uint8_t index) {
  if (!s.codes.empty()) return s.codes[index];
  return s.on == DeviceOn::kBlack ? static_cast<uint8_t>(s.meaning.count - 1 - index) : index;
}

// The bit of plane `plane` for an index before its polarity: 1 for the paper (white;
// grey levels: the index's bit, the high one in plane 0).
unsigned plane_bit(const DeviceSettings& s, int plane, uint8_t index) {
  if (s.meaning.palette.empty()) return plane == 0 ? index >> 1 & 1u : index & 1u;
  return plane == 0 ? index != 0 : index != 2;
}

void take_row(DeviceWriter& w, const uint8_t* input);

// One row of indexes in a layout of more than one bit a pixel; a 1-bit layout takes
// it packed as a 1-bit row, index 1 the set bit.
void take_index_row(DeviceWriter& w, const uint8_t* indexes) {
  const DeviceSettings& s = w.settings;
  for (uint32_t x = 0; x < w.width; ++x) {
    if (indexes[x] >= s.meaning.count) {
      w.error = DeviceError::kIndexOutOfRange;
      return;
    }
  }
  const DeviceLayout layout = layout_of(s);
  std::fill(w.packed.begin(), w.packed.end(), 0);
  if (!index_layout(layout)) {
    for (uint32_t x = 0; x < w.width; ++x) w.packed[x >> 3] |= static_cast<uint8_t>((indexes[x] & 1) << (7 - (x & 7)));
    take_row(w, w.packed.data());
    return;
  }
  ++w.rows_taken;
  if (layout == DeviceLayout::kPlanes) {
    uint8_t* plane1 = w.packed.data() + w.row_bytes;
    const unsigned flip0 = plane_polarity(s, 0) == DeviceOn::kBlack, flip1 = plane_polarity(s, 1) == DeviceOn::kBlack;
    for (uint32_t x = 0; x < w.width; ++x) {
      const unsigned shift = 7 - (x & 7);
      w.packed[x >> 3] |= static_cast<uint8_t>((plane_bit(s, 0, indexes[x]) ^ flip0) << shift);
      plane1[x >> 3] |= static_cast<uint8_t>((plane_bit(s, 1, indexes[x]) ^ flip1) << shift);
    }
    emit_array(w, w.packed.data(), w.row_bytes);
    spill_row(w, plane1, w.row_bytes);
    return;
  }
  const unsigned bits = device_layout_bits(layout), per_byte = 8 / bits;
  for (uint32_t x = 0; x < w.width; ++x) {
    const unsigned shift = 8 - bits * (x % per_byte + 1);
    w.packed[x / per_byte] |= static_cast<uint8_t>(packed_value(s, indexes[x]) << shift);
  }
  emit_array(w, w.packed.data(), w.row_bytes);
}

void take_row(DeviceWriter& w, const uint8_t* input) {
  prepare_row(w, input);
  const uint32_t y = w.rows_taken;
  const DeviceLayout layout = layout_of(w.settings);
  ++w.rows_taken;
  if (layout == DeviceLayout::kPages) {
    std::memcpy(w.held.data() + (y & 7) * w.row_bytes, w.row.data(), w.row_bytes);
    if ((y & 7) == 7 || y + 1 == w.height) emit_page(w, (y & 7) + 1);
    return;
  }
  if (layout == DeviceLayout::kColumnsMsb) {
    std::memcpy(w.held.data() + size_t{y} * w.row_bytes, w.row.data(), w.row_bytes);
    return;
  }
  if (w.settings.format == DeviceFormat::kEscPos && y % w.settings.band_rows == 0) emit_escpos_band_header(w, y);
  if (w.settings.format == DeviceFormat::kZpl && y % w.field_rows == 0) emit_zpl_field_opening(w, y);
  if (w.settings.format == DeviceFormat::kXbm || layout == DeviceLayout::kRowsLsb) {
    for (uint8_t& b : w.row) b = reverse_bits(b);
  }
  emit_array(w, w.row.data(), w.row_bytes);
  if (w.settings.format == DeviceFormat::kZpl) {
    w.pending += '\n';
    if ((y + 1) % w.field_rows == 0 || y + 1 == w.height) w.pending += "^FS\n";
  }
}

}  // namespace

ByteSink append_to(std::vector<uint8_t>& out) {
  return [&out](const uint8_t* bytes, size_t size) {
    out.insert(out.end(), bytes, bytes + size);
    return true;
  };
}

uint32_t device_rows_held(const DeviceSettings& settings, uint32_t height) {
  switch (layout_of(settings)) {
    case DeviceLayout::kPages: return 8;
    case DeviceLayout::kColumnsMsb: return height;
    default: return 1;
  }
}

DeviceError begin_device_output(DeviceWriter& writer, const DeviceSettings& settings, uint32_t width,
                                uint32_t height, ByteSink sink) {
  writer = DeviceWriter();
  writer.settings = settings;
  writer.width = width;
  writer.height = height;
  writer.sink = std::move(sink);
  if (width == 0 || height == 0) return writer.error = DeviceError::kEmptyPicture;
  if (settings.format == DeviceFormat::kEscPos && (settings.band_rows == 0 || settings.band_rows > kMaxBandRows)) {
    return writer.error = DeviceError::kBandOutOfRange;
  }
  if (const DeviceError e = check_device_indexes(settings); e != DeviceError::kNone) return writer.error = e;
  const DeviceLayout layout = layout_of(settings);
  const uint64_t row_bytes = (uint64_t{width} * device_layout_bits(layout) + 7) / 8;
  if (row_bytes > kMaxHeldBytes) return writer.error = DeviceError::kPictureTooLarge;
  writer.row_bytes = static_cast<size_t>(row_bytes);
  if (settings.format == DeviceFormat::kEscPos && writer.row_bytes > 0xFFFF) {
    return writer.error = DeviceError::kPictureTooLarge;
  }
  if (settings.format == DeviceFormat::kZpl) {
    // Every field must fit, and the last one's ^FO must reach its top row.
    writer.field_rows = zpl_field_rows(width);
    if (writer.field_rows == 0 || (height - 1) / writer.field_rows * uint64_t{writer.field_rows} > kMaxZplOrigin) {
      return writer.error = DeviceError::kPictureTooLarge;
    }
  }
  if (layout == DeviceLayout::kPages || layout == DeviceLayout::kColumnsMsb) {
    const uint64_t held_rows = device_rows_held(settings, height);
    if (uint64_t{writer.row_bytes} * held_rows > kMaxHeldBytes) return writer.error = DeviceError::kPictureTooLarge;
    writer.held.assign(static_cast<size_t>(writer.row_bytes * held_rows), 0);
  }
  writer.row.resize(writer.row_bytes);
  // Index rows packed to one bit (a 1-bit layout), to 2 or 4 bits, or to both planes.
  writer.packed.resize(layout == DeviceLayout::kPlanes ? 2 * writer.row_bytes : writer.row_bytes);
  if (index_layout(layout)) writer.indexes.resize(width);
  emit_opening(writer);
  flush(writer);
  return writer.error;
}

DeviceError put_device_rows(DeviceWriter& writer, const uint8_t* top_row, ptrdiff_t stride, uint32_t rows) {
  if (writer.error != DeviceError::kNone) return writer.error;
  if (rows > writer.height - writer.rows_taken) return writer.error = DeviceError::kTooManyRows;
  const bool unpack = index_layout(layout_of(writer.settings));
  // A 1-bit row in a layout of indexes is black and white: white the last grey level,
  // or a palette's entry 1 (white in every built-in palette).
  const IndexMeaning& meaning = writer.settings.meaning;
  const uint8_t white = static_cast<uint8_t>(meaning.palette.empty() ? meaning.count - 1 : 1);
  for (uint32_t i = 0; i < rows && writer.error == DeviceError::kNone; ++i) {
    const uint8_t* row = top_row + static_cast<ptrdiff_t>(i) * stride;
    if (!unpack) {
      take_row(writer, row);
      continue;
    }
    for (uint32_t x = 0; x < writer.width; ++x) writer.indexes[x] = (row[x >> 3] >> (7 - (x & 7))) & 1 ? white : 0;
    take_index_row(writer, writer.indexes.data());
  }
  return writer.error;
}

DeviceError put_device_index_rows(DeviceWriter& writer, const uint8_t* top_row, ptrdiff_t stride, uint32_t rows) {
  if (writer.error != DeviceError::kNone) return writer.error;
  if (rows > writer.height - writer.rows_taken) return writer.error = DeviceError::kTooManyRows;
  for (uint32_t i = 0; i < rows && writer.error == DeviceError::kNone; ++i) {
    take_index_row(writer, top_row + static_cast<ptrdiff_t>(i) * stride);
  }
  return writer.error;
}

DeviceError finish_device_output(DeviceWriter& writer) {
  if (writer.error != DeviceError::kNone) return writer.error;
  if (writer.rows_taken != writer.height) return writer.error = DeviceError::kMissingRows;
  if (layout_of(writer.settings) == DeviceLayout::kColumnsMsb) emit_columns(writer);
  if (layout_of(writer.settings) == DeviceLayout::kPlanes) emit_spill(writer);
  if (writer.error != DeviceError::kNone) return writer.error;
  emit_closing(writer);
  flush(writer);
  return writer.error;
}

DeviceError encode_device_picture(const DeviceSettings& settings, const uint8_t* top_row, ptrdiff_t stride,
                                  uint32_t width, uint32_t height, std::vector<uint8_t>& out) {
  DeviceWriter writer;
  if (begin_device_output(writer, settings, width, height, append_to(out)) != DeviceError::kNone) return writer.error;
  if (put_device_rows(writer, top_row, stride, height) != DeviceError::kNone) return writer.error;
  return finish_device_output(writer);
}

DeviceError encode_device_indexes(const DeviceSettings& settings, const uint8_t* top_row, ptrdiff_t stride,
                                  uint32_t width, uint32_t height, std::vector<uint8_t>& out) {
  DeviceWriter writer;
  if (begin_device_output(writer, settings, width, height, append_to(out)) != DeviceError::kNone) return writer.error;
  if (put_device_index_rows(writer, top_row, stride, height) != DeviceError::kNone) return writer.error;
  return finish_device_output(writer);
}
