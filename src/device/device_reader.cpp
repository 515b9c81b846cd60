#include "device/device_reader.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "device/device_comment.h"

namespace {

// The text of an X bitmap or a C header, as far as the reader needs it: the size
// its defines give, the comment this program writes, the array's items.
struct ArrayText {
  uint64_t width = 0, height = 0;  // 0: not defined
  bool has_facts = false;
  HeaderFacts facts;
  std::vector<uint8_t> items;
};

size_t line_at(std::string_view text, size_t at) {
  size_t line = 1;
  for (size_t i = 0; i < at && i < text.size(); ++i) line += text[i] == '\n';
  return line;
}

bool space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }
bool digit(char c) { return c >= '0' && c <= '9'; }
bool word_char(char c) { return digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }

int hex_value(char c) {
  if (digit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ends_with(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// Reads a number at `at` (decimal, or hex after 0x) with an optional u/U suffix;
// false when there is none or it is above `limit`.
bool read_literal(std::string_view text, size_t& at, uint64_t limit, uint64_t& out) {
  uint64_t value = 0;
  size_t i = at;
  const bool hex = i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X');
  if (hex) i += 2;
  const size_t first = i;
  const uint64_t base = hex ? 16 : 10;
  for (; i < text.size(); ++i) {
    const int d = hex ? hex_value(text[i]) : digit(text[i]) ? text[i] - '0' : -1;
    if (d < 0) break;
    if (value > (limit - static_cast<uint64_t>(d)) / base) return false;
    value = value * base + static_cast<uint64_t>(d);
  }
  if (i == first) return false;
  if (i < text.size() && (text[i] == 'u' || text[i] == 'U')) ++i;
  if (i < text.size() && word_char(text[i])) return false;
  at = i;
  out = value;
  return true;
}

// Skips spaces and comments from `at`; false for a comment left open.
bool skip_blank(std::string_view text, size_t& at) {
  while (at < text.size()) {
    if (space(text[at])) {
      ++at;
    } else if (text.compare(at, 2, "/*") == 0) {
      const size_t end = text.find("*/", at + 2);
      if (end == std::string_view::npos) return false;
      at = end + 2;
    } else if (text.compare(at, 2, "//") == 0) {
      const size_t end = text.find('\n', at);
      at = end == std::string_view::npos ? text.size() : end + 1;
    } else {
      break;
    }
  }
  return true;
}

// "#define NAME_WIDTH n" (C) or "#define name_width n" (XBM): the first of each.
bool read_define(std::string_view line, ArrayText& a) {
  size_t at = 0;
  while (at < line.size() && space(line[at])) ++at;
  if (line.compare(at, 7, "#define") != 0) return true;
  at += 7;
  while (at < line.size() && space(line[at])) ++at;
  const size_t name_at = at;
  while (at < line.size() && word_char(line[at])) ++at;
  const std::string_view name = line.substr(name_at, at - name_at);
  uint64_t* side = ends_with(name, "_WIDTH") || ends_with(name, "_width")     ? &a.width
                   : ends_with(name, "_HEIGHT") || ends_with(name, "_height") ? &a.height
                                                                              : nullptr;
  if (!side || *side) return true;
  while (at < line.size() && space(line[at])) ++at;
  // A size that is no number (an expression) is left to the caller to give.
  uint64_t value = 0;
  if (!read_literal(line, at, UINT32_MAX, value)) return true;
  if (value == 0) return false;
  *side = value;
  return true;
}

DeviceReadError read_array_text(std::string_view text, ArrayText& a, size_t& bad_line) {
  // The part before the array: its comments and defines.
  size_t at = 0;
  while (at < text.size() && text[at] != '{') {
    if (text.compare(at, 2, "/*") == 0) {
      const size_t end = text.find("*/", at + 2);
      if (end == std::string_view::npos) break;
      if (!a.has_facts) {
        switch (read_c_header_comment(text.substr(at + 2, end - at - 2), a.facts)) {
          case CommentRead::kRead: a.has_facts = true; break;
          case CommentRead::kMalformed: bad_line = line_at(text, at); return DeviceReadError::kMalformedComment;
          case CommentRead::kNotOurs: break;
        }
      }
      at = end + 2;
    } else if (text.compare(at, 2, "//") == 0 || text[at] == '#') {
      const size_t end = std::min(text.find('\n', at), text.size());
      if (text[at] == '#' && !read_define(text.substr(at, end - at), a)) {
        bad_line = line_at(text, at);
        return DeviceReadError::kMalformedText;
      }
      at = end;
    } else {
      ++at;
    }
  }
  if (at >= text.size()) {
    bad_line = line_at(text, at);
    return DeviceReadError::kMalformedText;
  }
  ++at;
  // The items: numbers of 0..255 separated by commas, a comma after the last allowed.
  while (true) {
    if (!skip_blank(text, at)) break;
    if (at < text.size() && text[at] == '}') return DeviceReadError::kNone;
    uint64_t value = 0;
    if (!read_literal(text, at, 255, value)) break;
    a.items.push_back(static_cast<uint8_t>(value));
    if (!skip_blank(text, at) || at >= text.size()) break;
    if (text[at] == ',') {
      ++at;
    } else if (text[at] != '}') {
      break;
    }
  }
  bad_line = line_at(text, at);
  return DeviceReadError::kMalformedText;
}

// Chooses the size: the one given, else the text's; both must agree.
DeviceReadError choose_size(const DeviceReadRequest& r, uint64_t width, uint64_t height, DevicePicture& p) {
  if ((r.width && width && r.width != width) || (r.height && height && r.height != height)) {
    return DeviceReadError::kSizeContradicts;
  }
  p.width = static_cast<uint32_t>(r.width ? r.width : width);
  p.height = static_cast<uint32_t>(r.height ? r.height : height);
  if ((r.width == 0 && width == 0) || (r.height == 0 && height == 0)) return DeviceReadError::kNoSize;
  return p.width == 0 || p.height == 0 ? DeviceReadError::kEmptyPicture : DeviceReadError::kNone;
}

// The index of a value of 2bpp-msb or 4bpp-msb; false for a value no index has.
bool index_of_value(const DeviceSettings& s, unsigned value, uint8_t& index) {
  if (!s.codes.empty()) {
    for (size_t i = 0; i < s.codes.size(); ++i) {
      if (s.codes[i] == value) return index = static_cast<uint8_t>(i), true;
    }
    return false;
  }
  if (value >= static_cast<unsigned>(s.meaning.count)) return false;
  index = static_cast<uint8_t>(s.on == DeviceOn::kBlack ? s.meaning.count - 1 - static_cast<int>(value) : value);
  return true;
}

// The index of a pixel from its planes' bits, each already 1 for the paper. A pixel
// with ink in both planes is the colour, which the panels draw over the black.
uint8_t index_of_planes(const DeviceSettings& s, unsigned paper0, unsigned paper1) {
  if (s.meaning.palette.empty()) return static_cast<uint8_t>(paper0 << 1 | paper1);
  return !paper1 ? 2 : !paper0 ? 0 : 1;
}

// Turns the bytes (exactly device_layout_bytes of them) into indexes.
DeviceReadResult unpack(const uint8_t* bytes, DeviceReadResult r) {
  DevicePicture& p = r.picture;
  const DeviceSettings& s = p.settings;
  const uint32_t w = p.width, h = p.height;
  p.indexes.assign(static_cast<size_t>(w) * h, 0);
  const size_t row_bytes = (size_t{w} + 7) / 8, column_bytes = (size_t{h} + 7) / 8;
  const unsigned bits = device_layout_bits(s.layout);
  const size_t packed_row = static_cast<size_t>((uint64_t{w} * bits + 7) / 8);
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      const size_t i = size_t{y} * w + x;
      unsigned bit = 0;
      switch (s.layout) {
        case DeviceLayout::kRowsMsb: bit = bytes[y * row_bytes + x / 8] >> (7 - x % 8) & 1; break;
        case DeviceLayout::kRowsLsb: bit = bytes[y * row_bytes + x / 8] >> (x % 8) & 1; break;
        case DeviceLayout::kPages: bit = bytes[(y / 8) * size_t{w} + x] >> (y % 8) & 1; break;
        case DeviceLayout::kColumnsMsb: bit = bytes[x * column_bytes + y / 8] >> (7 - y % 8) & 1; break;
        case DeviceLayout::kTwoBppMsb:
        case DeviceLayout::kFourBppMsb: {
          const unsigned per_byte = 8 / bits;
          const unsigned value =
              bytes[y * packed_row + x / per_byte] >> (8 - bits * (x % per_byte + 1)) & ((1u << bits) - 1);
          if (!index_of_value(s, value, p.indexes[i])) {
            r.error = DeviceReadError::kNoValue;
            r.pixel = i;
            p.indexes.clear();
            return r;
          }
          continue;
        }
        case DeviceLayout::kPlanes: {
          const size_t at = y * row_bytes + x / 8, plane = row_bytes * h;
          const unsigned paper0 = (bytes[at] >> (7 - x % 8) & 1) ^ (plane_polarity(s, 0) == DeviceOn::kBlack);
          const unsigned paper1 = (bytes[plane + at] >> (7 - x % 8) & 1) ^ (plane_polarity(s, 1) == DeviceOn::kBlack);
          p.indexes[i] = index_of_planes(s, paper0, paper1);
          continue;
        }
      }
      p.indexes[i] = static_cast<uint8_t>(bit ^ (s.on == DeviceOn::kBlack));
    }
  }
  return r;
}

DeviceReadResult failed(DeviceReadError error) {
  DeviceReadResult r;
  r.error = error;
  return r;
}

// Checks that `size` bytes hold exactly the picture, then unpacks them.
DeviceReadResult read_bytes(const uint8_t* bytes, size_t size, DeviceReadResult r) {
  if (check_device_indexes(r.picture.settings) != DeviceError::kNone) return failed(DeviceReadError::kBadSettings);
  if (uint64_t{r.picture.width} * r.picture.height > SIZE_MAX) return failed(DeviceReadError::kTooLarge);
  r.expected = device_layout_bytes(r.picture.settings.layout, r.picture.width, r.picture.height);
  r.found = size;
  if (r.found != r.expected) {
    r.error = r.found < r.expected ? DeviceReadError::kTruncated : DeviceReadError::kSizeMismatch;
    return r;
  }
  return unpack(bytes, r);
}

}  // namespace

DeviceReadResult read_device_bytes(const uint8_t* data, size_t size, const DeviceReadRequest& request) {
  DeviceReadResult r;
  DevicePicture& p = r.picture;
  switch (request.format) {
    case DeviceFormat::kBin:
      p.settings = request.settings;
      p.settings.format = DeviceFormat::kBin;
      if ((r.error = choose_size(request, 0, 0, p)) != DeviceReadError::kNone) return r;
      return read_bytes(data, size, r);
    case DeviceFormat::kXbm:
    case DeviceFormat::kC: {
      ArrayText a;
      const std::string_view text(reinterpret_cast<const char*>(data), size);
      if ((r.error = read_array_text(text, a, r.line)) != DeviceReadError::kNone) return r;
      if (request.format == DeviceFormat::kXbm) {
        // X bitmaps: rows, the leftmost pixel in bit 0, a set bit black.
        p.settings = DeviceSettings();
        p.settings.format = DeviceFormat::kXbm;
        p.settings.layout = DeviceLayout::kRowsLsb;
        p.settings.on = DeviceOn::kBlack;
      } else if (a.has_facts) {
        p.settings = a.facts.settings;
        if ((a.width && a.width != a.facts.width) || (a.height && a.height != a.facts.height)) {
          return failed(DeviceReadError::kSizeContradicts);
        }
        a.width = a.facts.width;
        a.height = a.facts.height;
      } else {
        p.settings = request.settings;
        p.settings.format = DeviceFormat::kC;
      }
      if ((r.error = choose_size(request, a.width, a.height, p)) != DeviceReadError::kNone) return r;
      return read_bytes(a.items.data(), a.items.size(), r);
    }
    case DeviceFormat::kEscPos:
    case DeviceFormat::kZpl: break;
  }
  return failed(DeviceReadError::kFormatNotRead);
}

std::string device_read_error_text(const DeviceReadResult& r) {
  const std::string expected = std::to_string(r.expected), found = std::to_string(r.found);
  switch (r.error) {
    case DeviceReadError::kNone: return "no error";
    case DeviceReadError::kFormatNotRead: return "only xbm, c and bin outputs are read back";
    case DeviceReadError::kNoSize: return "the size is needed (width x height): the bytes do not say it";
    case DeviceReadError::kEmptyPicture: return "the picture has no pixels";
    case DeviceReadError::kTooLarge: return "the picture is too large to read into memory";
    case DeviceReadError::kSizeContradicts: return "the size given is not the one the file states";
    case DeviceReadError::kBadSettings:
      return "no output is written that way: the layout cannot hold those levels or colours";
    case DeviceReadError::kTruncated:
      return "the data is cut short: " + found + " bytes where the size and layout take " + expected;
    case DeviceReadError::kSizeMismatch:
      return "the data does not match the size: " + found + " bytes where the size and layout take " + expected;
    case DeviceReadError::kMalformedText: return "not a C array of bytes (line " + std::to_string(r.line) + ")";
    case DeviceReadError::kMalformedComment:
      return "the header's comment cannot be read (line " + std::to_string(r.line) + ")";
    case DeviceReadError::kNoValue:
      return "pixel " + std::to_string(r.pixel) + " holds a value that is no level or colour of the layout";
  }
  return "unknown error";
}
