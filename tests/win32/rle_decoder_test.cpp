// The core's RLE decoder against the platform's own decoding of the same store
// (SetDIBits into a fresh device bitmap, read back whole).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "../common/rle_pictures.h"
#include "app/frame_win32.h"
#include "image/bmp_file_win32.h"
#include "image/bmp_reader.h"
#include "image/rle_decoder.h"
#include "image/store_win32.h"
#include "test_frame.h"

namespace {

class RleDecoding : public ::testing::Test {
 protected:
  TestFrame frame;
  FrameState& state = frame.state;
  MessageBoxWatcher boxes;

  // Sets up the read-back of the loaded picture with a decoder and reads every pixel,
  // a span at a time; nothing decoded reads as black.
  std::vector<uint32_t> read_back_whole(Decoder decoder) {
    clean_up_picture(state.picture);
    state.picture.loaded = true;
    const PictureDescription& d = state.picture.description;
    const bool decoded = set_up_read_back(state.picture, state.frame, decoder);
    std::vector<uint32_t> pixels(static_cast<size_t>(d.width) * static_cast<size_t>(d.height), 0);
    for (int32_t row = 0; decoded && row < d.height; ++row) {
      for (int32_t x = 0; x < d.width; x += kDecodedSpan) {
        const int32_t count = std::min(kDecodedSpan, d.width - x);
        const uint32_t* span = decoded_pixels(&state.picture, row, x, count);
        if (span) std::copy(span, span + count, pixels.begin() + static_cast<size_t>(row) * d.width + x);
      }
    }
    return pixels;
  }

  // Reads a file with the program's reader and compares both decodings pixel by pixel.
  void compare(const std::string& path, const std::string& name) {
    clean_up_picture(state.picture);
    // The command refuses it alike.
    if (read_file(state.picture, path.c_str(), state.version, state.plugins) != ReadCode::kOk) return;
    state.picture.loaded = true;
    StoreLock lock(state.picture);
    const uint8_t* store = static_cast<const uint8_t*>(lock.get());
    describe_picture(store, state.picture.description);
    const PictureDescription& d = state.picture.description;
    if (d.read_back == 0 || d.width <= 0 || d.height <= 0) return;
    // Pictures of absurd size (the suite has some) are refused by the platform and
    // would only cost time here.
    if (static_cast<uint64_t>(d.width) * static_cast<uint64_t>(d.height) > (4u << 20)) return;
    const uint32_t image_size = get_u32(store + kImageSizeField);
    const std::vector<uint32_t> ours = decode_rle_picture(store, d, store + d.offset_to_pixels, image_size);
    const std::vector<uint32_t> platform = read_back_whole(Decoder::kPlatform);
    // What the program reads back when it decodes RLE itself (the screen here has 24 bits
    // or more) is the same.
    EXPECT_TRUE(read_back_whole(Decoder::kBest) == platform) << name;
    ASSERT_EQ(ours.size(), platform.size()) << name;
    int reported = 0;
    for (size_t i = 0; i < ours.size() && reported < 5; ++i) {
      if (ours[i] != platform[i]) {
        ++reported;
        ADD_FAILURE() << name << ": pixel " << i % d.width << ", storage row " << i / d.width << ": " << std::hex
                      << ours[i] << " instead of " << platform[i];
      }
    }
    ++compared;
  }
  int compared = 0;
};

TEST_F(RleDecoding, GeneratedPicturesDecodeAsThePlatformDecodesThem) {
  const std::string directory = temp_directory();
  for (const auto& file : rle_pictures::rle_test_files()) {
    const std::string path = directory + file.name + ".bmp";
    ASSERT_TRUE(write_file(path, std::vector<unsigned char>(file.bytes.begin(), file.bytes.end())));
    compare(path, file.name);
  }
  EXPECT_GE(compared, 20);
}

TEST_F(RleDecoding, SuitePicturesDecodeAsThePlatformDecodesThem) {
  for (const char* folder : {"g", "q", "b", "x"}) {
    const std::string directory = testdata(std::string("bmpsuite/") + folder);
    for (const std::string& name : files_in(directory)) {
      // Only compressed pictures (and those without a bit count) are decoded by the platform.
      const std::vector<unsigned char> head = file_bytes(directory + "/" + name);
      const bool plain = head.size() >= 34 && head[14] != 12 && (head[30] == 0 || head[30] == 3) &&
                         head[31] == 0 && head[32] == 0 && head[33] == 0 && (head[28] | head[29]) != 0;
      if (!plain) compare(directory + "/" + name, name);
    }
  }
  EXPECT_GE(compared, 5);
  for (const std::string& text : boxes.texts()) ADD_FAILURE() << text;
}

}  // namespace
