#include "damaged_bmp.h"

#include <cstdio>

namespace {

// splitmix64: small, and the same numbers on every compiler (unlike the standard
// library's distributions).
struct Random {
  uint64_t state;
  uint64_t next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  uint32_t below(uint32_t n) { return n == 0 ? 0 : static_cast<uint32_t>(next() % n); }
  template <size_t N>
  uint32_t pick(const uint32_t (&values)[N]) {
    return values[below(N)];
  }
};

struct Field {
  const char* name;
  uint32_t offset;
  uint32_t width;  // bytes
};

const Field kFileHeaderFields[] = {
    {"signature", 0, 2}, {"file-size", 2, 4}, {"reserved", 6, 4}, {"pixel-offset", 10, 4}, {"header-size", 14, 4}};
const Field kInfoFields[] = {{"width", 18, 4},        {"height", 22, 4},      {"planes", 26, 2},
                             {"bit-count", 28, 2},    {"compression", 30, 4}, {"image-size", 34, 4},
                             {"x-resolution", 38, 4}, {"y-resolution", 42, 4}, {"colours-used", 46, 4},
                             {"colours-important", 50, 4}, {"red-mask", 54, 4}, {"green-mask", 58, 4},
                             {"blue-mask", 62, 4}};
const Field kCoreFields[] = {{"width", 18, 2}, {"height", 20, 2}, {"planes", 22, 2}, {"bit-count", 24, 2}};

uint32_t get(const std::vector<uint8_t>& b, uint32_t offset, uint32_t width) {
  uint32_t v = 0;
  for (uint32_t i = 0; i < width && offset + i < b.size(); ++i) v |= static_cast<uint32_t>(b[offset + i]) << (8 * i);
  return v;
}

// Writes a little-endian field, growing the file when it is too short to hold it.
void put(std::vector<uint8_t>& b, uint32_t offset, uint32_t width, uint32_t v) {
  if (b.size() < offset + width) b.resize(offset + width, 0);
  for (uint32_t i = 0; i < width; ++i) b[offset + i] = static_cast<uint8_t>(v >> (8 * i));
}

bool is_core(const std::vector<uint8_t>& b) { return get(b, 14, 4) == 12; }

std::string hex(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%#x", v);
  return text;
}

// A field of the file or info header, chosen at random.
Field any_field(const std::vector<uint8_t>& b, Random& random) {
  const uint32_t file_fields = sizeof kFileHeaderFields / sizeof kFileHeaderFields[0];
  if (is_core(b)) {
    const uint32_t i = random.below(file_fields + 4);
    return i < file_fields ? kFileHeaderFields[i] : kCoreFields[i - file_fields];
  }
  const uint32_t i = random.below(file_fields + sizeof kInfoFields / sizeof kInfoFields[0]);
  return i < file_fields ? kFileHeaderFields[i] : kInfoFields[i - file_fields];
}

std::string truncate(std::vector<uint8_t>& b, Random& random) {
  const uint32_t offset = get(b, 10, 4);
  const uint32_t boundaries[] = {0, 1, 2, 13, 14, 15, 17, 18, 25, 26, 30, 53, 54, 66, 65, offset - 1, offset,
                                 offset + 1};
  uint32_t length = random.below(2) ? random.pick(boundaries) : random.below(static_cast<uint32_t>(b.size()));
  if (length >= b.size()) length = static_cast<uint32_t>(b.size()) / 2;
  b.resize(length);
  return "cut-at-" + std::to_string(length);
}

std::string flip_bit(std::vector<uint8_t>& b, Random& random) {
  const Field field = any_field(b, random);
  const uint32_t bit = random.below(field.width * 8);
  put(b, field.offset, field.width, get(b, field.offset, field.width) ^ (1u << bit));
  return std::string(field.name) + "-bit-" + std::to_string(bit);
}

std::string zero_field(std::vector<uint8_t>& b, Random& random) {
  const Field field = any_field(b, random);
  put(b, field.offset, field.width, 0);
  return std::string(field.name) + "=0";
}

std::string maximise_field(std::vector<uint8_t>& b, Random& random) {
  const Field field = any_field(b, random);
  const uint32_t all_ones = field.width == 4 ? 0xFFFFFFFFu : 0xFFFFu;
  const uint32_t top_clear = field.width == 4 ? 0x7FFFFFFFu : 0x7FFFu;
  const uint32_t top_set = field.width == 4 ? 0x80000000u : 0x8000u;
  const uint32_t values[] = {all_ones, all_ones, top_clear, top_set};
  const uint32_t v = random.pick(values);
  put(b, field.offset, field.width, v);
  return std::string(field.name) + "=" + hex(v);
}

std::string huge_size(std::vector<uint8_t>& b, Random& random) {
  if (is_core(b)) {
    const uint32_t values[] = {0xFFFF, 0x8000, 0x7FFF, 0xFFFE};
    const uint32_t w = random.pick(values), h = random.pick(values);
    put(b, 18, 2, w);
    put(b, 20, 2, h);
    return "core-size=" + hex(w) + "x" + hex(h);
  }
  const uint32_t values[] = {0x7FFFFFFF, 0x40000000, 0x10000000, 1u << 20, 100000, 65536, 46341,
                             0xFFFFFFFF, 0x80000001, 0x80000000, 0x00FFFFFF, 30000};
  std::string name;
  const uint32_t which = random.below(3);  // width, height or both
  if (which != 1) {
    const uint32_t w = random.pick(values);
    put(b, 18, 4, w);
    name += "width=" + hex(w);
  }
  if (which != 0) {
    const uint32_t h = random.pick(values);
    put(b, 22, 4, h);
    name += "height=" + hex(h);
  }
  // The declared image size may stay, be cleared (so that it is computed) or be small.
  const uint32_t image = random.below(3);
  if (image == 1) put(b, 34, 4, 0);
  if (image == 2) put(b, 34, 4, 16);
  return name + (image == 1 ? "-image-size=0" : image == 2 ? "-image-size=16" : "");
}

// One RLE command that reaches past the edge of a small picture, or breaks the stream.
void append_rle_command(std::vector<uint8_t>& out, Random& random, bool four_bit) {
  switch (random.below(7)) {
    case 0:  // a delta far right and up
      out.insert(out.end(), {0, 2, static_cast<uint8_t>(128 + random.below(128)), static_cast<uint8_t>(random.below(256))});
      break;
    case 1:  // full runs, more than a row holds
      for (uint32_t i = 0, n = 1 + random.below(8); i < n; ++i) out.insert(out.end(), {255, static_cast<uint8_t>(random.next())});
      break;
    case 2: {  // an absolute run of 255 pixels, its bytes given or missing
      const uint32_t pixels = 3 + random.below(253);
      out.insert(out.end(), {0, static_cast<uint8_t>(pixels)});
      const uint32_t bytes = four_bit ? (pixels + 1) / 2 : pixels;
      const uint32_t given = random.below(2) ? bytes : random.below(bytes);
      for (uint32_t i = 0; i < given; ++i) out.push_back(static_cast<uint8_t>(random.next()));
      if (given == bytes && (bytes & 1)) out.push_back(0);
      break;
    }
    case 3:  // end of line
      out.insert(out.end(), {0, 0});
      break;
    case 4:  // a delta of many rows
      out.insert(out.end(), {0, 2, static_cast<uint8_t>(random.below(8)), 255});
      break;
    case 5:  // a short encoded run
      out.insert(out.end(), {static_cast<uint8_t>(1 + random.below(40)), static_cast<uint8_t>(random.next())});
      break;
    default:  // an escape cut off, or an early end of bitmap
      out.push_back(0);
      if (random.below(2)) out.push_back(1);
      break;
  }
}

std::string damage_rle(std::vector<uint8_t>& b, Random& random) {
  if (is_core(b) || b.size() < 54) return huge_size(b, random);
  const uint32_t compression = get(b, 30, 4);
  uint32_t offset = get(b, 10, 4);
  if (offset < 54 || offset > b.size()) offset = static_cast<uint32_t>(b.size());
  std::string name;
  bool four_bit = compression == 2;
  std::vector<uint8_t> stream;
  if ((compression == 1 || compression == 2) && random.below(2)) {
    // Keep the picture's own stream and write commands over parts of it.
    stream.assign(b.begin() + offset, b.end());
    for (uint32_t i = 0, n = 1 + random.below(4); i < n; ++i) {
      std::vector<uint8_t> command;
      append_rle_command(command, random, four_bit);
      const size_t at = stream.empty() ? 0 : (random.below(static_cast<uint32_t>(stream.size())) & ~size_t{1});
      for (size_t k = 0; k < command.size(); ++k) {
        if (at + k < stream.size()) stream[at + k] = command[k];
        else stream.push_back(command[k]);
      }
    }
    name = "rle-overwritten";
  } else {
    // A stream of commands of its own, for a picture of 8 or 4 bits.
    four_bit = random.below(2) != 0;
    put(b, 28, 2, four_bit ? 4 : 8);
    put(b, 30, 4, four_bit ? 2 : 1);
    for (uint32_t i = 0, n = 2 + random.below(30); i < n; ++i) append_rle_command(stream, random, four_bit);
    if (random.below(2)) stream.insert(stream.end(), {0, 1});
    name = four_bit ? "rle4-made" : "rle8-made";
  }
  b.resize(offset);
  b.insert(b.end(), stream.begin(), stream.end());
  const uint32_t sizes[] = {static_cast<uint32_t>(stream.size()), 0, static_cast<uint32_t>(stream.size()) * 4};
  const uint32_t image_size = random.pick(sizes);
  put(b, 34, 4, image_size);
  put(b, 2, 4, static_cast<uint32_t>(b.size()));
  return name + "-" + std::to_string(stream.size()) + "-image-size=" + std::to_string(image_size);
}

std::string extreme_masks(std::vector<uint8_t>& b, Random& random) {
  if (is_core(b)) return maximise_field(b, random);
  const uint32_t bits[] = {16, 32, 16, 32, 24, 8};
  const uint32_t bit_count = random.pick(bits);
  put(b, 28, 2, bit_count);
  put(b, 30, 4, 3);
  const uint32_t extremes[] = {0, 0xFFFFFFFF};
  const uint32_t others[] = {0, 0xFFFFFFFF, 0x80000000, 1, 0xFF000000, 0x0000F800, 0x00FF0000};
  std::string name = "masks-" + std::to_string(bit_count);
  const uint32_t extreme_at = random.below(3);
  for (uint32_t i = 0; i < 3; ++i) {
    const uint32_t m = i == extreme_at ? random.pick(extremes) : random.pick(others);
    put(b, 54 + 4 * i, 4, m);
    name += "-" + hex(m);
  }
  return name;
}

std::string huge_colour_count(std::vector<uint8_t>& b, Random& random) {
  if (is_core(b)) return maximise_field(b, random);
  const uint32_t values[] = {0x80000000, 0x80000001, 0xFFFFFFFF, 0xC0000000, 0x40000000, 0x40000001, 0xFFFFFFF0,
                             0x80000000u | static_cast<uint32_t>(random.next())};
  const uint32_t v = random.pick(values);
  put(b, 46, 4, v);
  return "colours-used=" + hex(v);
}

std::string damage(std::vector<uint8_t>& b, int kind, Random& random) {
  switch (kind) {
    case kTruncated: return truncate(b, random);
    case kBitFlipped: return flip_bit(b, random);
    case kFieldZeroed: return zero_field(b, random);
    case kFieldMaximised: return maximise_field(b, random);
    case kHugeSize: return huge_size(b, random);
    case kRleDamaged: return damage_rle(b, random);
    case kExtremeMasks: return extreme_masks(b, random);
    case kHugeColourCount: return huge_colour_count(b, random);
    default: {
      std::string name;
      for (uint32_t i = 0, n = 2 + random.below(3); i < n; ++i) {
        const int one = static_cast<int>(1 + random.below(kSeveral - 1));  // anything but a cut ...
        name += (i ? "+" : "") + damage(b, one, random);
      }
      if (random.below(3) == 0) name += "+" + truncate(b, random);  // ... which comes last
      return name;
    }
  }
}

}  // namespace

std::vector<SampleFile> damaged_files(const std::vector<SampleFile>& samples, uint64_t seed, size_t count) {
  std::vector<SampleFile> files;
  if (samples.empty()) return files;
  Random random{seed};
  files.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const SampleFile& sample = samples[i % samples.size()];
    const int kind = static_cast<int>((i / samples.size() + i) % kDamageKinds);
    SampleFile file{sample.name, sample.bytes};
    file.name += "~" + damage(file.bytes, kind, random);
    files.push_back(std::move(file));
  }
  return files;
}
