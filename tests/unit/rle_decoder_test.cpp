// The RLE decoder's rules, on small hand-made code streams, and the random source's jump.
#include <gtest/gtest.h>

#include "../common/bmp_builder.h"
#include "../common/rle_pictures.h"
#include "image/rle_decoder.h"
#include "mono/random_jump.h"

namespace {

// Colour table: index i is 0x010101 * (i + 1), so 0 is reserved for pixels no run reached.
BmpFile rle(bool four_bit, int32_t width, int32_t height, std::vector<uint8_t> codes) {
  BmpFile f;
  f.width = width;
  f.height = height;
  f.bit_count = four_bit ? 4 : 8;
  f.compression = four_bit ? 2 : 1;
  for (uint32_t i = 0; i < (four_bit ? 16u : 256u); ++i) f.colours.push_back(0x010101 * ((i + 1) & 0xFF));
  f.pixels = std::move(codes);
  f.image_size = static_cast<uint32_t>(f.pixels.size());
  return f;
}

// Decodes and writes each pixel as its index + 1 (0 where no run reached), storage row 0 first.
std::vector<std::vector<int>> decode(const BmpFile& f) {
  Loaded l = load_bmp(f);
  EXPECT_EQ(l.code, ReadCode::kOk);
  const uint32_t size = get_u32(l.data() + kImageSizeField);
  const std::vector<uint32_t> colours = decode_rle_picture(l.data(), l.picture, l.data() + l.picture.offset_to_pixels, size);
  std::vector<std::vector<int>> rows(static_cast<size_t>(l.picture.height));
  for (size_t i = 0; i < colours.size(); ++i) rows[i / l.picture.width].push_back(static_cast<int>(colours[i] & 0xFF));
  return rows;
}

TEST(RleDecoder, CodesMoveThePenAndFillRuns) {
  const struct {
    const char* what;
    BmpFile file;
    std::vector<std::vector<int>> expected;
  } cases[] = {
      {"runs, end of line, end of bitmap", rle(false, 4, 2, {2, 7, 2, 8, 0, 0, 1, 9, 0, 1}),
       {{8, 8, 9, 9}, {10, 0, 0, 0}}},
      {"a delta skips pixels and rows, which stay black", rle(false, 4, 3, {1, 1, 0, 2, 1, 1, 2, 3, 0, 1}),
       {{2, 0, 0, 0}, {0, 0, 4, 4}, {0, 0, 0, 0}}},
      {"runs are cut at the right edge", rle(false, 3, 2, {9, 4, 0, 0, 0, 5, 1, 2, 3, 4, 5, 0, 0, 1}),
       {{5, 5, 5}, {2, 3, 4}}},
      {"an absolute run of odd length is padded", rle(false, 5, 1, {0, 3, 1, 2, 3, 0, 2, 6, 0, 1}),
       {{2, 3, 4, 7, 7}}},
      {"pixels of a run the data ends in stay black", rle(false, 4, 2, {2, 1, 0, 0, 3, 2}),
       {{2, 2, 0, 0}, {0, 0, 0, 0}}},
      {"a delta past the top ends the picture", rle(false, 2, 2, {1, 1, 0, 2, 0, 5, 2, 2, 0, 1}),
       {{2, 0}, {0, 0}}},
      {"end of line past the top row ends the picture", rle(false, 2, 1, {2, 3, 0, 0, 2, 4, 0, 1}), {{4, 4}}},
      {"four-bit runs alternate nibbles from the high one", rle(true, 5, 1, {5, 0x12, 0, 1}), {{2, 3, 2, 3, 2}}},
      {"four-bit data starting at an odd pixel", rle(true, 6, 1, {1, 0x50, 0, 3, 0xAB, 0xC0, 2, 0x34, 0, 1}),
       {{6, 11, 12, 13, 4, 5}}},
  };
  for (const auto& c : cases) EXPECT_EQ(decode(c.file), c.expected) << c.what;
}

TEST(RleDecoder, PicturesThePlatformRefusesAreBlack) {
  BmpFile top_down = rle(false, 2, 2, {2, 5, 0, 0, 2, 5, 0, 1});
  top_down.height = -2;
  BmpFile mismatch = rle(false, 2, 1, {2, 5, 0, 1});
  mismatch.compression = 2;
  for (const BmpFile& f : {top_down, mismatch}) {
    for (const auto& row : decode(f))
      for (int v : row) EXPECT_EQ(v, 0);
  }
}

// Compressed bytes handed out a few at a time through a buffer of their own, as a
// reader with a small buffer does; the buffer holds junk past each piece.
struct Pieces {
  const uint8_t* data;
  uint32_t size, position, piece;
  uint8_t buffer[16];
};

bool next_piece(void* context, RleInput& input) {
  auto* p = static_cast<Pieces*>(context);
  const uint32_t n = std::min(p->piece, p->size - p->position);
  std::fill(std::begin(p->buffer), std::end(p->buffer), uint8_t{0xEE});
  std::copy(p->data + p->position, p->data + p->position + n, p->buffer);
  input.at = p->buffer;
  input.end = p->buffer + n;
  p->position += n;
  return n > 0;
}

// Runs, absolute runs and escapes split across the input's windows decode as from one.
TEST(RleDecoder, InputInPiecesDecodesAsInOneWindow) {
  for (const auto& file : rle_pictures::rle_test_files()) {
    Loaded l = load_bmp(file.bytes);
    ASSERT_EQ(l.code, ReadCode::kOk) << file.name;
    const uint8_t* data = l.data() + l.picture.offset_to_pixels;
    const uint32_t size = static_cast<uint32_t>(l.store.size() - l.picture.offset_to_pixels);
    const std::vector<uint32_t> whole = decode_rle_picture(l.data(), l.picture, data, size);
    for (uint32_t piece : {1u, 2u, 3u, 7u}) {
      RleDecoder decoder;
      start_rle(decoder, l.data(), l.picture);
      Pieces pieces{data, size, 0, piece, {}};
      RleInput input{nullptr, nullptr, &pieces, next_piece};
      std::vector<uint32_t> rows(whole.size(), 0xDEADBEEF);
      for (int32_t row = 0; row < l.picture.height; ++row)
        decode_rle_row(decoder, input, row, rows.data() + static_cast<size_t>(row) * l.picture.width);
      EXPECT_EQ(rows, whole) << file.name << ", pieces of " << piece;
    }
  }
}

TEST(RandomJump, JumpingEqualsDrawing) {
  for (uint64_t n : {0ull, 1ull, 2ull, 37ull, 1000ull, 65537ull}) {
    RandomSource drawn;
    for (uint64_t i = 0; i < n; ++i) draw_random(drawn);
    EXPECT_EQ(random_after(RandomSource(), n).state, drawn.state) << n;
  }
}

}  // namespace
