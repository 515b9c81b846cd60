#include "device/device_comment.h"

#include <vector>

namespace {

bool grey(const DeviceSettings& s) { return s.meaning.palette.empty(); }

// The planes' roles: the index's bits for grey levels, black and the colour for a palette.
const char* plane_role(const DeviceSettings& s, int plane) {
  if (grey(s)) return plane == 0 ? "high bit" : "low bit";
  return plane == 0 ? "black" : "colour";
}

std::string polarity_clauses(const DeviceSettings& s, DeviceLayout layout) {
  if (layout == DeviceLayout::kPlanes) {
    std::string text;
    for (int p = 0; p < 2; ++p) {
      text += std::string(p ? ", " : "") + "plane " + std::to_string(p) + " " + plane_role(s, p) + " with set bits " +
              device_on_name(plane_polarity(s, p));
    }
    return text;
  }
  if (!index_layout(layout)) {
    if (grey(s)) return std::string("a set bit is a ") + device_on_name(s.on) + " pixel";
    return s.on == DeviceOn::kWhite ? "a set bit is colour 1" : "a set bit is colour 0";
  }
  if (s.codes.empty() && grey(s)) return s.on == DeviceOn::kWhite ? "value 0 is black" : "value 0 is white";
  std::vector<uint8_t> codes = s.codes;
  if (codes.empty()) {
    for (int i = 0; i < s.meaning.count; ++i) codes.push_back(static_cast<uint8_t>(i));
  }
  return "codes " + code_map_text(codes);
}

bool read_number(std::string_view& text, uint64_t limit, uint64_t& out) {
  size_t digits = 0;
  uint64_t value = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
    const uint64_t digit = static_cast<uint64_t>(text[digits] - '0');
    if (value > (limit - digit) / 10) return false;
    value = value * 10 + digit;
    ++digits;
  }
  if (digits == 0) return false;
  text.remove_prefix(digits);
  out = value;
  return true;
}

bool skip(std::string_view& text, std::string_view word) {
  if (text.substr(0, word.size()) != word) return false;
  text.remove_prefix(word.size());
  return true;
}

bool whole_number(std::string_view text, uint64_t limit, uint64_t& out) {
  return read_number(text, limit, out) && text.empty();
}

// What the clauses said, each at most once.
struct Clauses {
  bool preset = false, layout = false, meaning = false, polarity = false, plane[2] = {false, false};
  std::string roles[2];
};

bool read_clause(std::string_view c, Clauses& seen, DeviceSettings& s) {
  uint64_t n = 0;
  if (skip(c, "preset ")) {
    if (seen.preset || c.empty()) return false;
    seen.preset = true;
    s.preset = std::string(c);
    return true;
  }
  if (skip(c, "layout ")) {
    if (seen.layout) return false;
    seen.layout = true;
    return parse_device_layout(c, s.layout);
  }
  if (skip(c, "a set bit is ")) {
    if (seen.polarity) return false;
    seen.polarity = true;
    if (c == "a white pixel" || c == "colour 1") return s.on = DeviceOn::kWhite, true;
    if (c == "a black pixel" || c == "colour 0") return s.on = DeviceOn::kBlack, true;
    return false;
  }
  if (skip(c, "value 0 is ")) {
    if (seen.polarity) return false;
    seen.polarity = true;
    return parse_device_on(c == "black" ? "white" : c == "white" ? "black" : "", s.on);
  }
  if (skip(c, "codes ")) {
    if (seen.polarity) return false;
    seen.polarity = true;
    return parse_code_map(c, s.codes);
  }
  if (skip(c, "plane ")) {
    const int p = skip(c, "0 ") ? 0 : skip(c, "1 ") ? 1 : -1;
    const size_t with = c.find(" with set bits ");
    if (p < 0 || seen.plane[p] || with == std::string_view::npos) return false;
    seen.plane[p] = true;
    seen.roles[p] = std::string(c.substr(0, with));
    DeviceOn on;
    if (!parse_device_on(c.substr(with + 15), on)) return false;
    s.plane_on[p] = on;
    return true;
  }
  const size_t space = c.find(' ');
  if (space == std::string_view::npos || !whole_number(c.substr(0, space), kMaxIndexes, n) || seen.meaning) {
    return false;
  }
  seen.meaning = true;
  s.meaning.count = static_cast<int>(n);
  c.remove_prefix(space);
  if (c == " grey levels") return true;
  if (!skip(c, " colours of palette ") || c.empty()) return false;
  s.meaning.palette = std::string(c);
  return true;
}

}  // namespace

std::string c_header_comment(const DeviceSettings& s, uint32_t width, uint32_t height) {
  const DeviceLayout layout = s.layout;
  std::string text = "/* " + s.name + ": " + std::to_string(width) + " x " + std::to_string(height) + " pixels";
  if (!s.preset.empty()) text += ", preset " + s.preset;
  text += std::string(", layout ") + device_layout_name(layout);
  if (!grey(s)) {
    text += ", " + std::to_string(s.meaning.count) + " colours of palette " + s.meaning.palette;
  } else if (s.meaning.count != 2) {
    text += ", " + std::to_string(s.meaning.count) + " grey levels";
  }
  text += ", " + polarity_clauses(s, layout) + "; " + std::to_string(device_layout_bytes(layout, width, height)) +
          " bytes,\n   in program memory on AVR (read them with pgm_read_byte). */\n";
  return text;
}

CommentRead read_c_header_comment(std::string_view text, HeaderFacts& facts) {
  while (!text.empty() && (text[0] == ' ' || text[0] == '\n' || text[0] == '\r' || text[0] == '\t')) {
    text.remove_prefix(1);
  }
  const size_t colon = text.find(": ");
  if (colon == std::string_view::npos || colon == 0) return CommentRead::kNotOurs;
  HeaderFacts f;
  f.name = std::string(text.substr(0, colon));
  std::string_view rest = text.substr(colon + 2);
  uint64_t width = 0, height = 0;
  if (!read_number(rest, UINT32_MAX, width) || !skip(rest, " x ") || !read_number(rest, UINT32_MAX, height) ||
      !skip(rest, " pixels")) {
    return CommentRead::kNotOurs;
  }
  f.width = static_cast<uint32_t>(width);
  f.height = static_cast<uint32_t>(height);
  const size_t end = rest.find("; ");
  if (end == std::string_view::npos) return CommentRead::kMalformed;
  std::string_view bytes_part = rest.substr(end + 2);
  uint64_t bytes = 0;
  if (!read_number(bytes_part, UINT64_MAX, bytes) || !skip(bytes_part, " bytes")) return CommentRead::kMalformed;
  std::string_view clauses = rest.substr(0, end);
  Clauses seen;
  f.settings.format = DeviceFormat::kC;
  f.settings.name = f.name;
  while (!clauses.empty()) {
    if (!skip(clauses, ", ")) return CommentRead::kMalformed;
    const size_t next = clauses.find(", ");
    if (!read_clause(clauses.substr(0, next), seen, f.settings)) return CommentRead::kMalformed;
    clauses = next == std::string_view::npos ? std::string_view() : clauses.substr(next);
  }
  const DeviceSettings& s = f.settings;
  const bool planes = s.layout == DeviceLayout::kPlanes;
  // Every clause that the writer gives this layout, and no other.
  if (!seen.layout ||
      (planes ? seen.polarity || !seen.plane[0] || !seen.plane[1] : !seen.polarity || seen.plane[0] || seen.plane[1])) {
    return CommentRead::kMalformed;
  }
  for (int p = 0; planes && p < 2; ++p) {
    if (seen.roles[p] != plane_role(s, p)) return CommentRead::kMalformed;
  }
  if (check_device_indexes(s) != DeviceError::kNone) return CommentRead::kMalformed;
  if (bytes != device_layout_bytes(s.layout, f.width, f.height)) return CommentRead::kMalformed;
  facts = f;
  return CommentRead::kRead;
}
