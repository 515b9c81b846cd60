// Writes the pictures the command is compared on with the Windows program: the
// batch test's pictures (as the batch test feeds them to the program) and the
// compressed pictures that exercise every RLE code.
#include <cstdio>
#include <string>

#include "../../common/batch_pictures.h"
#include "../../common/rle_pictures.h"

namespace {

bool write(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  using namespace batch_pictures;
  for (const Picture& p : kPictures) {
    const auto rows = random_rows(p, 1000u + p.bit_count + p.header_size);
    std::string name = p.name;
    for (char& c : name) c = c == ' ' ? '-' : c;
    if (!write(folder + "batch-" + name + ".bmp", build_bmp(make_file(p, rows, p.compression != 0)))) return 1;
  }
  for (const auto& file : rle_pictures::rle_test_files()) {
    if (!write(folder + file.name + ".bmp", file.bytes)) return 1;
  }
  return 0;
}
