#include "pipeline/mapped_file.h"

#if defined(__unix__) && !defined(__wasi__)
#include <sys/mman.h>
#include <unistd.h>
#define QVX_HAS_MMAP 1
#endif

#ifdef QVX_HAS_MMAP

namespace {

size_t page_size() {
  const long size = sysconf(_SC_PAGESIZE);
  return size > 0 ? static_cast<size_t>(size) : 4096;
}

}  // namespace

bool MappedFile::map(int fd, uint64_t size, size_t room) {
  unmap();
  const size_t page = page_size();
  if (size == 0 || size > SIZE_MAX - 2 * page) return false;
  const size_t before = (room + page - 1) / page * page;
  const size_t file_length = static_cast<size_t>(size);
  if (file_length > SIZE_MAX - before) return false;
  // The room first, as anonymous pages; then the file over the pages after it.
  void* base = mmap(nullptr, before + file_length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED) return false;
  uint8_t* at = static_cast<uint8_t*>(base) + before;
  if (mmap(at, file_length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_FIXED, fd, 0) == MAP_FAILED) {
    munmap(base, before + file_length);
    return false;
  }
  base_ = static_cast<uint8_t*>(base);
  length_ = before + file_length;
  bytes_ = at;
  return true;
}

void MappedFile::release(uint64_t from, uint64_t to) {
  if (!bytes_) return;
  const size_t page = page_size();
  const uint64_t first = (from + page - 1) / page * page;
  const uint64_t end = to / page * page;
  if (end > first) madvise(bytes_ + first, static_cast<size_t>(end - first), MADV_DONTNEED);
}

void MappedFile::unmap() {
  if (base_) munmap(base_, length_);
  base_ = nullptr;
  bytes_ = nullptr;
  length_ = 0;
}

#else

bool MappedFile::map(int, uint64_t, size_t) { return false; }
void MappedFile::release(uint64_t, uint64_t) {}
void MappedFile::unmap() {}

#endif
