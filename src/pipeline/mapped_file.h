// A file's bytes mapped into memory, read-only in effect but privately writable, with
// some writable room before them: a reader can lay its own header just before the
// rows and hand the rows on where they lie, never copying them. Where the system has
// no mapping (WebAssembly) map_file always fails and readers read as before.
#ifndef QVX_PIPELINE_MAPPED_FILE_H
#define QVX_PIPELINE_MAPPED_FILE_H

#include <cstddef>
#include <cstdint>

class MappedFile {
 public:
  MappedFile() = default;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  MappedFile(MappedFile&& other) noexcept { take(other); }
  MappedFile& operator=(MappedFile&& other) noexcept {
    if (this != &other) {
      unmap();
      take(other);
    }
    return *this;
  }
  ~MappedFile() { unmap(); }

  // Maps `size` bytes of the open file `fd` from its start, `room` writable bytes (or
  // more) before them; false, and nothing mapped, where that can't be done.
  bool map(int fd, uint64_t size, size_t room);
  // The file's byte 0; bytes before it down to bytes() - room are writable room.
  uint8_t* bytes() const { return bytes_; }
  bool mapped() const { return bytes_ != nullptr; }
  // Gives the memory of the whole pages within the file's bytes [from, to) back: they
  // read again from the file if touched. Pages written to must not be in the range.
  void release(uint64_t from, uint64_t to);
  void unmap();

 private:
  void take(MappedFile& other) {
    base_ = other.base_;
    length_ = other.length_;
    bytes_ = other.bytes_;
    other.base_ = nullptr;
    other.bytes_ = nullptr;
    other.length_ = 0;
  }
  uint8_t* base_ = nullptr;
  size_t length_ = 0;
  uint8_t* bytes_ = nullptr;
};

#endif
