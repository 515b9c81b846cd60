#include "pipeline/output_format.h"

#include <cctype>

namespace {

// Every output format: -f takes its name or any of its extensions, an output name
// chooses it by its extension, the first extension names the files -d writes. The
// device formats take their words from the device format table.
struct FormatRow {
  int format;
  const char* name;        // nullptr: the device format's own
  const char* extensions;  // space-separated, the usual one first; nullptr: the device format's own
};

constexpr FormatRow kFormatRows[] = {
    {kFormatBmp, "bmp", "bmp"},         {kFormatPng, "png", "png"},         {kFormatTiff, "tiff", "tif tiff"},
    {kFormatPbm, "pbm", "pbm"},         {kFormatPgm, "pgm", "pgm"},         {kFormatPpm, "ppm", "ppm"},
    {kFormatXbm, nullptr, nullptr},     {kFormatC, nullptr, nullptr},
    {kFormatBin, nullptr, nullptr},     {kFormatEscPos, nullptr, nullptr},  {kFormatZpl, nullptr, nullptr},
};

const char* name_of(const FormatRow& row) {
  return row.name ? row.name : device_format_info(device_format_of(row.format)).name;
}

const char* extensions_of(const FormatRow& row) {
  return row.extensions ? row.extensions : device_format_info(device_format_of(row.format)).extensions;
}

// True when `word` is one of the space-separated words of `list`.
bool listed(const std::string& word, const char* list) {
  const std::string words = std::string(" ") + list + " ";
  return !word.empty() && word.find(' ') == std::string::npos && words.find(" " + word + " ") != std::string::npos;
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The part of a name after its last dot, when the dot is in the file's own name.
}  // namespace

std::string name_extension(const std::string& name) {
  const size_t slash = name.find_last_of('/');
  const size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  if (dot == (slash == std::string::npos ? 0 : slash + 1)) return "";  // a hidden file's name
  return name.substr(dot + 1);
}

int parse_format(const std::string& text) {
  const std::string word = lower(text);
  for (const FormatRow& row : kFormatRows) {
    if (word == name_of(row) || listed(word, extensions_of(row))) return row.format;
  }
  return kFormatUnset;
}

int format_of_name(const std::string& name) {
  const std::string ext = name_extension(name);
  for (const FormatRow& row : kFormatRows) {
    if (listed(lower(ext), extensions_of(row))) return row.format;
  }
  return kFormatUnset;
}

static_assert(kFormatZpl - kFormatXbm == static_cast<int>(DeviceFormat::kZpl), "device formats in table order");

bool is_device_format(int format) { return format >= kFormatXbm && format <= kFormatZpl; }

DeviceFormat device_format_of(int format) { return static_cast<DeviceFormat>(format - kFormatXbm); }

std::string format_name(int format) {
  for (const FormatRow& row : kFormatRows)
    if (row.format == format) return name_of(row);
  return "bmp";
}

std::string format_extension(int format) {
  for (const FormatRow& row : kFormatRows) {
    if (row.format != format) continue;
    const std::string list = extensions_of(row);
    return "." + list.substr(0, list.find(' '));
  }
  return ".bmp";
}

bool device_input_named(const std::string& name, DeviceFormat& format) {
  const DeviceFormatInfo* info = device_format_for_path(name);
  if (!info) return false;
  if (info->format != DeviceFormat::kXbm && info->format != DeviceFormat::kC && info->format != DeviceFormat::kBin)
    return false;
  format = info->format;
  return true;
}
