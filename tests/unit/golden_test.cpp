// The core's conversions against the golden outputs (tests/common/golden.h).
#include <gtest/gtest.h>

#include "../common/golden.h"

namespace {

TEST(Golden, TheModelGivesThePinnedOutputs) {
  for (size_t i = 0; i < std::size(golden::kPictures); ++i) {
    for (size_t k = 0; k < std::size(golden::kConversions); ++k) {
      const uint64_t got = golden::checksum(golden::model_output(golden::kPictures[i], golden::kConversions[k]));
      EXPECT_EQ(got, golden::kChecksums[i][k]) << golden::kPictures[i].name << " conversion " << k << " 0x"
                                               << std::hex << got;
    }
  }
}

TEST(Golden, TheCoreGivesThePinnedOutputs) {
  for (size_t i = 0; i < std::size(golden::kPictures); ++i) {
    const std::vector<uint8_t> file = golden::file_of(golden::kPictures[i]);
    for (size_t k = 0; k < std::size(golden::kConversions); ++k) {
      const golden::Conversion& c = golden::kConversions[k];
      const std::vector<uint8_t> out = batch_pictures::expected_output(file, c.density, c.mode, c.invert);
      EXPECT_EQ(golden::checksum(out), golden::kChecksums[i][k]) << golden::kPictures[i].name << " conversion " << k;
    }
  }
}

}  // namespace
