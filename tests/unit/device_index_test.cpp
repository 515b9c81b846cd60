#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "../common/device_decode.h"
#include "device/device_reader.h"
#include "device/device_writer.h"

namespace {

DeviceSettings index_settings(DeviceFormat format, DeviceLayout layout, int count, const char* palette = "",
                              std::vector<uint8_t> codes = {}) {
  DeviceSettings s;
  s.format = format;
  s.layout = layout;
  s.name = "panel";
  s.meaning = {count, palette};
  s.codes = std::move(codes);
  return s;
}

std::vector<uint8_t> random_indexes(uint32_t w, uint32_t h, int count, uint32_t seed) {
  std::vector<uint8_t> indexes(static_cast<size_t>(w) * h);
  for (uint8_t& i : indexes) {
    seed = seed * 1103515245u + 12345u;
    i = static_cast<uint8_t>((seed >> 16) % static_cast<uint32_t>(count));
  }
  return indexes;
}

std::string describe(const DeviceSettings& s) {
  std::string text = std::string(device_format_info(s.format).name) + " " + device_layout_name(s.layout) + " " +
                     std::to_string(s.meaning.count) + " " + s.meaning.palette + " on " + device_on_name(s.on);
  for (int p = 0; p < 2; ++p) text += s.plane_on[p] ? std::string(" plane ") + device_on_name(*s.plane_on[p]) : "";
  return text;
}

// Every index layout, for the grey levels and palettes each takes, in both
// polarities (codes have none), for widths and heights around a byte and a pixel
// per nibble: the test's own decoder reads the pictures back from bin, the bytes of
// the C array are the same, rows given three at a time bottom-up give the same
// bytes, and the reader gives the indexes back (bin with the settings, the C header
// from its comment alone).
TEST(DeviceIndexes, EveryPackingReadsBack) {
  std::vector<DeviceSettings> configurations = {
      index_settings(DeviceFormat::kBin, DeviceLayout::kTwoBppMsb, 4),
      index_settings(DeviceFormat::kBin, DeviceLayout::kTwoBppMsb, 3),
      index_settings(DeviceFormat::kBin, DeviceLayout::kFourBppMsb, 16),
      index_settings(DeviceFormat::kBin, DeviceLayout::kFourBppMsb, 8),
      index_settings(DeviceFormat::kBin, DeviceLayout::kFourBppMsb, 6, "spectra6-measured", {0, 1, 2, 3, 5, 6}),
      index_settings(DeviceFormat::kBin, DeviceLayout::kTwoBppMsb, 3, "bwr", {3, 0, 1}),
      index_settings(DeviceFormat::kBin, DeviceLayout::kFourBppMsb, 7, "acep7-measured"),
      index_settings(DeviceFormat::kBin, DeviceLayout::kPlanes, 4),
      index_settings(DeviceFormat::kBin, DeviceLayout::kPlanes, 3, "bwr"),
      index_settings(DeviceFormat::kBin, DeviceLayout::kPlanes, 3, "#000000,#ffffff,#ffff00"),
  };
  DeviceSettings mixed = index_settings(DeviceFormat::kBin, DeviceLayout::kPlanes, 3, "bwy");
  mixed.plane_on[1] = DeviceOn::kBlack;
  configurations.push_back(mixed);
  for (DeviceSettings s : configurations) {
    const bool fixed = !s.codes.empty() || (!s.meaning.palette.empty() && s.layout != DeviceLayout::kPlanes);
    for (DeviceOn on : {DeviceOn::kWhite, DeviceOn::kBlack}) {
      if (fixed && on == DeviceOn::kBlack) continue;
      s.on = on;
      for (uint32_t w : {1u, 3u, 4u, 5u, 7u, 8u, 9u, 127u}) {
        for (uint32_t h : {1u, 2u, 7u, 9u}) {
          SCOPED_TRACE(describe(s) + " " + std::to_string(w) + "x" + std::to_string(h));
          const std::vector<uint8_t> indexes = random_indexes(w, h, s.meaning.count, w * 100 + h);
          std::vector<uint8_t> bin;
          ASSERT_EQ(encode_device_indexes(s, indexes.data(), w, w, h, bin), DeviceError::kNone);
          const std::vector<int> decoded = device_decode::decode_indexes(s, bin, w, h);
          ASSERT_EQ(decoded, std::vector<int>(indexes.begin(), indexes.end()));

          DeviceSettings c = s;
          c.format = DeviceFormat::kC;
          std::vector<uint8_t> header;
          ASSERT_EQ(encode_device_indexes(c, indexes.data(), w, w, h, header), DeviceError::kNone);
          ASSERT_EQ(device_decode::c_items(std::string(header.begin(), header.end()), w, h, "panel"), bin);

          std::vector<uint8_t> bottom_up(indexes.size()), streamed;
          for (uint32_t y = 0; y < h; ++y) std::memcpy(&bottom_up[(h - 1 - y) * w], &indexes[y * w], w);
          DeviceWriter writer;
          ASSERT_EQ(begin_device_output(writer, s, w, h, append_to(streamed)), DeviceError::kNone);
          for (uint32_t top = 0; top < h; top += 3) {
            ASSERT_EQ(put_device_index_rows(writer, &bottom_up[(h - 1 - top) * w], -static_cast<ptrdiff_t>(w),
                                            std::min(3u, h - top)),
                      DeviceError::kNone);
          }
          ASSERT_EQ(finish_device_output(writer), DeviceError::kNone);
          ASSERT_EQ(streamed, bin);

          DeviceReadRequest from_bin{DeviceFormat::kBin, w, h, s};
          DeviceReadResult read = read_device_bytes(bin.data(), bin.size(), from_bin);
          ASSERT_EQ(read.error, DeviceReadError::kNone) << device_read_error_text(read);
          ASSERT_EQ(read.picture.indexes, indexes);
          read = read_device_bytes(header.data(), header.size(), DeviceReadRequest{DeviceFormat::kC});
          ASSERT_EQ(read.error, DeviceReadError::kNone) << device_read_error_text(read);
          ASSERT_EQ(read.picture.indexes, indexes);
          EXPECT_EQ(read.picture.settings.meaning.count, s.meaning.count);
          EXPECT_EQ(read.picture.settings.meaning.palette, s.meaning.palette);
        }
      }
    }
  }
}

// A 5 x 2 picture in each packing, its bytes worked out by hand.
TEST(DeviceIndexes, FiveByTwoByHand) {
  const uint8_t grey[10] = {0, 1, 2, 3, 0, 3, 2, 1, 0, 3};  // 4 levels
  const uint8_t six[10] = {0, 1, 2, 3, 4, 5, 4, 3, 2, 1};   // spectra6's order
  const uint8_t bwr[10] = {0, 1, 2, 1, 0, 2, 2, 0, 1, 1};   // black, white, red
  const uint8_t two[10] = {0, 1, 1, 0, 1, 1, 0, 0, 1, 0};   // black and white
  DeviceSettings flipped_planes = index_settings(DeviceFormat::kBin, DeviceLayout::kPlanes, 3, "bwr");
  flipped_planes.on = DeviceOn::kBlack;
  DeviceSettings ssd1680 = index_settings(DeviceFormat::kBin, DeviceLayout::kPlanes, 3, "bwr");
  ssd1680.plane_on[1] = DeviceOn::kBlack;
  DeviceSettings grey_on_black = index_settings(DeviceFormat::kBin, DeviceLayout::kTwoBppMsb, 4);
  grey_on_black.on = DeviceOn::kBlack;
  DeviceSettings columns = index_settings(DeviceFormat::kBin, DeviceLayout::kColumnsMsb, 2);
  columns.on = DeviceOn::kBlack;
  const struct {
    DeviceSettings settings;
    const uint8_t* indexes;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {index_settings(DeviceFormat::kBin, DeviceLayout::kTwoBppMsb, 4), grey, {0x1B, 0x00, 0xE4, 0xC0}},
      {grey_on_black, grey, {0xE4, 0xC0, 0x1B, 0x00}},
      {index_settings(DeviceFormat::kBin, DeviceLayout::kFourBppMsb, 4), grey, {0x01, 0x23, 0x00, 0x32, 0x10, 0x30}},
      {index_settings(DeviceFormat::kBin, DeviceLayout::kFourBppMsb, 6, "spectra6", {0, 1, 2, 3, 5, 6}),
       six,
       {0x01, 0x23, 0x50, 0x65, 0x32, 0x10}},
      {index_settings(DeviceFormat::kBin, DeviceLayout::kPlanes, 4), grey, {0x30, 0xC8, 0x50, 0xA8}},
      {index_settings(DeviceFormat::kBin, DeviceLayout::kPlanes, 3, "bwr"), bwr, {0x70, 0xD8, 0xD8, 0x38}},
      {ssd1680, bwr, {0x70, 0xD8, 0x20, 0xC0}},
      {flipped_planes, bwr, {0x88, 0x20, 0x20, 0xC0}},
      {index_settings(DeviceFormat::kBin, DeviceLayout::kRowsMsb, 2), two, {0x68, 0x90}},
      {columns, two, {0x80, 0x40, 0x40, 0x80, 0x40}},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> out;
    ASSERT_EQ(encode_device_indexes(c.settings, c.indexes, 5, 5, 2, out), DeviceError::kNone) << describe(c.settings);
    EXPECT_EQ(out, c.bytes) << describe(c.settings);
  }

  // 1-bit rows (set bit white) are black and white: the last grey level, a palette's entry 1.
  const uint8_t one_bit[2] = {0x68, 0x90};
  const struct {
    DeviceSettings settings;
    std::vector<uint8_t> bytes;
  } black_and_white[] = {
      {index_settings(DeviceFormat::kBin, DeviceLayout::kTwoBppMsb, 4), {0x3C, 0xC0, 0xC3, 0x00}},
      {index_settings(DeviceFormat::kBin, DeviceLayout::kPlanes, 3, "bwr"), {0x68, 0x90, 0xF8, 0xF8}},
  };
  for (const auto& c : black_and_white) {
    std::vector<uint8_t> out;
    ASSERT_EQ(encode_device_picture(c.settings, one_bit, 1, 5, 2, out), DeviceError::kNone);
    EXPECT_EQ(out, c.bytes) << describe(c.settings);
  }

  // The C header names everything the reader needs in its comment.
  DeviceSettings c =
      index_settings(DeviceFormat::kC, DeviceLayout::kFourBppMsb, 6, "spectra6-measured", {0, 1, 2, 3, 5, 6});
  c.preset = "spectra6";
  std::vector<uint8_t> out;
  ASSERT_EQ(encode_device_indexes(c, six, 5, 5, 2, out), DeviceError::kNone);
  std::string expected =
      "/* panel: 5 x 2 pixels, preset spectra6, layout 4bpp-msb, 6 colours of palette spectra6-measured, "
      "codes 0,1,2,3,5,6; 6 bytes,\n   in program memory on AVR (read them with pgm_read_byte). */\n#ifndef ";
  EXPECT_EQ(std::string(out.begin(), out.end()).substr(0, expected.size()), expected);
  DeviceSettings planes = index_settings(DeviceFormat::kC, DeviceLayout::kPlanes, 4);
  planes.plane_on[0] = DeviceOn::kBlack;
  out.clear();
  ASSERT_EQ(encode_device_indexes(planes, grey, 5, 5, 2, out), DeviceError::kNone);
  expected =
      "/* panel: 5 x 2 pixels, layout planes, 4 grey levels, plane 0 high bit with set bits black, "
      "plane 1 low bit with set bits white; 4 bytes,";
  EXPECT_EQ(std::string(out.begin(), out.end()).substr(0, expected.size()), expected);
}

// What a layout cannot hold is refused before a byte is written, each with its own error.
TEST(DeviceIndexes, RefusesWhatALayoutCannotHold) {
  DeviceSettings planes_codes = index_settings(DeviceFormat::kC, DeviceLayout::kPlanes, 4, "", {0, 1, 2, 3});
  DeviceSettings palette_black = index_settings(DeviceFormat::kBin, DeviceLayout::kFourBppMsb, 7, "acep7");
  palette_black.on = DeviceOn::kBlack;
  DeviceSettings plane_on_2bpp = index_settings(DeviceFormat::kBin, DeviceLayout::kTwoBppMsb, 4);
  plane_on_2bpp.plane_on[0] = DeviceOn::kBlack;
  DeviceSettings xbm = index_settings(DeviceFormat::kXbm, DeviceLayout::kFourBppMsb, 3);
  const struct {
    DeviceSettings settings;
    DeviceError error;
  } cases[] = {
      {index_settings(DeviceFormat::kBin, DeviceLayout::kRowsMsb, 4), DeviceError::kTwoIndexesOnly},
      {index_settings(DeviceFormat::kC, DeviceLayout::kPages, 3, "bwr"), DeviceError::kTwoIndexesOnly},
      {index_settings(DeviceFormat::kEscPos, DeviceLayout::kRowsMsb, 4), DeviceError::kTwoIndexesOnly},
      {xbm, DeviceError::kTwoIndexesOnly},  // an X bitmap is 1-bit whatever the layout says
      {index_settings(DeviceFormat::kBin, DeviceLayout::kTwoBppMsb, 5), DeviceError::kTooManyForTwoBits},
      {index_settings(DeviceFormat::kBin, DeviceLayout::kPlanes, 8), DeviceError::kPlanesNeedThree},
      {index_settings(DeviceFormat::kBin, DeviceLayout::kPlanes, 4, "#000000,#ffffff,#ff0000,#ffff00"),
       DeviceError::kPlanesNeedThree},
      {index_settings(DeviceFormat::kBin, DeviceLayout::kPlanes, 2), DeviceError::kPlanesNeedThree},
      {index_settings(DeviceFormat::kBin, DeviceLayout::kTwoBppMsb, 17), DeviceError::kBadMeaning},
      {index_settings(DeviceFormat::kC, DeviceLayout::kTwoBppMsb, 3, "bwr */ x"), DeviceError::kBadMeaning},
      {planes_codes, DeviceError::kCodesNotForLayout},
      {index_settings(DeviceFormat::kBin, DeviceLayout::kFourBppMsb, 3, "bwr", {0, 1, 1}), DeviceError::kBadCodeMap},
      {index_settings(DeviceFormat::kBin, DeviceLayout::kFourBppMsb, 3, "bwr", {0, 1}), DeviceError::kBadCodeMap},
      {index_settings(DeviceFormat::kBin, DeviceLayout::kTwoBppMsb, 3, "bwr", {0, 1, 4}), DeviceError::kBadCodeMap},
      {palette_black, DeviceError::kNoPolarityForCodes},
      {plane_on_2bpp, DeviceError::kPlaneOnNotForLayout},
  };
  for (const auto& c : cases) {
    DeviceWriter writer;
    std::vector<uint8_t> out;
    EXPECT_EQ(begin_device_output(writer, c.settings, 5, 2, append_to(out)), c.error) << describe(c.settings);
    EXPECT_TRUE(out.empty());
  }
  // An index of no level stops the picture.
  const uint8_t row[3] = {0, 3, 4};
  std::vector<uint8_t> out;
  EXPECT_EQ(encode_device_indexes(index_settings(DeviceFormat::kBin, DeviceLayout::kFourBppMsb, 4), row, 3, 3, 1, out),
            DeviceError::kIndexOutOfRange);
}

// Plane 1 kept in a temporary file once it outgrows its memory gives the same bytes.
TEST(DeviceIndexes, SecondPlaneSpillsToAFile) {
  const uint32_t w = 37, h = 29;
  const DeviceSettings s = index_settings(DeviceFormat::kBin, DeviceLayout::kPlanes, 3, "bwr");
  const std::vector<uint8_t> indexes = random_indexes(w, h, 3, 7);
  std::vector<uint8_t> in_memory, spilled;
  ASSERT_EQ(encode_device_indexes(s, indexes.data(), w, w, h, in_memory), DeviceError::kNone);
  DeviceWriter writer;
  ASSERT_EQ(begin_device_output(writer, s, w, h, append_to(spilled)), DeviceError::kNone);
  writer.spill.memory_limit = 11;  // two rows of 5 bytes; the rest to the file
  ASSERT_EQ(put_device_index_rows(writer, indexes.data(), w, h), DeviceError::kNone);
  EXPECT_EQ(writer.spill.memory.size(), 10u);
  EXPECT_EQ(writer.spill.file_bytes, 5u * (h - 2));
  ASSERT_EQ(finish_device_output(writer), DeviceError::kNone);
  EXPECT_EQ(spilled, in_memory);
}

}  // namespace
