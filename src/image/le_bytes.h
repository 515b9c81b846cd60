// Little-endian field access. get_* and put_* take an offset the caller has kept
// inside its buffer (the store's own 40-byte header, a row); headers that come
// from outside (files, the clipboard, plug-ins) are parsed through LeReader,
// which knows where its bytes end.
#ifndef QVX_LE_BYTES_H
#define QVX_LE_BYTES_H

#include <cstddef>
#include <cstdint>

inline uint16_t get_u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline uint32_t get_u32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline int32_t get_i32(const uint8_t* p) { return static_cast<int32_t>(get_u32(p)); }

inline void put_u16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

inline void put_u32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

// Reads little-endian fields of bytes [data, data + size), by offset or in turn
// from `at`. A field that does not lie wholly inside reads as 0 and sets
// `overrun`, so a parse can read all its fields and check once.
struct LeReader {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  bool overrun = false;

  LeReader(const uint8_t* bytes, size_t byte_count) : data(bytes), size(byte_count) {}

  // Returns true when `count` bytes at `offset` lie inside; sets overrun otherwise.
  bool holds(size_t offset, size_t count) {
    if (offset <= size && count <= size - offset) return true;
    overrun = true;
    return false;
  }
  uint8_t u8(size_t offset) { return holds(offset, 1) ? data[offset] : 0; }
  uint16_t u16(size_t offset) { return holds(offset, 2) ? get_u16(data + offset) : 0; }
  uint32_t u32(size_t offset) { return holds(offset, 4) ? get_u32(data + offset) : 0; }
  int32_t i32(size_t offset) { return static_cast<int32_t>(u32(offset)); }
  // The next field from `at`, which moves past it even when it overruns.
  uint16_t next_u16() { return u16((at += 2) - 2); }
  uint32_t next_u32() { return u32((at += 4) - 4); }
};

#endif
