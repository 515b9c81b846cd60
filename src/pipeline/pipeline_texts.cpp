#include "pipeline/pipeline_texts.h"

#include <cstdio>

#include "image/image_texts.h"

const char kNotEnoughMemory[] = "not enough memory";

std::string read_failure_reason(ReadCode code, const std::string& file) {
  if (code == ReadCode::kNoMemory) return kNotEnoughMemory;
  // The program's own message; its one %s (can't open) names the file.
  std::string reason = english_read_message(code);
  const size_t name_at = reason.find("%s");
  if (name_at != std::string::npos) reason.replace(name_at, 2, file);
  return reason;
}

std::string too_many_pixels_reason(uint64_t width, uint64_t height, uint64_t max_pixels) {
  return "File is too large: " + std::to_string(width) + " x " + std::to_string(height) + " pixels; --max-pixels allows " +
         std::to_string(max_pixels) + ".";
}

std::string quoted_name(const std::string& name) {
  bool plain = true;
  for (unsigned char c : name) plain = plain && c >= 0x20 && c != 0x7F;
  if (plain) return name;
  std::string out = "\"";
  for (unsigned char c : name) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string first_line(const std::string& text) {
  std::string line = text.substr(0, text.find('\n'));
  while (!line.empty() && (line.back() == '.' || line.back() == ' ' || line.back() == '\r')) line.pop_back();
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  }
  return line;
}
