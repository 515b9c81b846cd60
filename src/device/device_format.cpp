#include "device/device_format.h"

#include "device/word_table.h"

namespace {

const DeviceFormatInfo kFormats[] = {
    {DeviceFormat::Xbm, "xbm", "xbm", "X bitmap (C text, least significant bit first, set = black)", kTakesName,
     DeviceOn::Black},
    {DeviceFormat::C, "c", "h c", "C header: const uint8_t array with width and height defines",
     kTakesLayout | kTakesName, DeviceOn::White},
    {DeviceFormat::Bin, "bin", "bin", "the bytes of the C array, raw", kTakesLayout, DeviceOn::White},
    {DeviceFormat::EscPos, "escpos", "escpos pos", "ESC/POS raster bit image (GS v 0), in bands", kTakesBand,
     DeviceOn::Black},
    {DeviceFormat::Zpl, "zpl", "zpl", "ZPL label with one ^GFA graphic field", 0, DeviceOn::Black},
};

const Word<DeviceLayout> kLayouts[] = {{"rows-msb", DeviceLayout::RowsMsb},
                                       {"rows-lsb", DeviceLayout::RowsLsb},
                                       {"pages", DeviceLayout::Pages},
                                       {"columns-msb", DeviceLayout::ColumnsMsb}};
const Word<DeviceOn> kOns[] = {{"black", DeviceOn::Black}, {"white", DeviceOn::White}};

// Words a C or C++ compiler would not take as the array's name.
const char* const kKeywords[] = {
    "auto",  "bool",    "break",  "case",     "catch",   "char",    "class",    "const",    "continue", "default",
    "delete", "do",     "double", "else",     "enum",    "extern",  "false",    "float",    "for",      "goto",
    "if",    "inline",  "int",    "long",     "new",     "operator", "private", "public",   "register", "return",
    "short", "signed",  "sizeof", "static",   "struct",  "switch",  "template", "this",     "throw",    "true",
    "try",   "typedef", "union",  "unsigned", "using",   "virtual", "void",     "volatile", "while"};

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// The file name part of a path (after the last '/', or '\' as Windows writes it).
std::string_view file_name_of(std::string_view path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

const DeviceFormatInfo* device_formats(size_t* count) {
  *count = sizeof kFormats / sizeof kFormats[0];
  return kFormats;
}

const DeviceFormatInfo* find_device_format(std::string_view name) {
  for (const DeviceFormatInfo& f : kFormats) {
    if (name == f.name) return &f;
  }
  return nullptr;
}

const DeviceFormatInfo* device_format_for_path(std::string_view path) {
  const std::string_view file = file_name_of(path);
  const size_t dot = file.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return nullptr;
  const std::string_view extension = file.substr(dot + 1);
  for (const DeviceFormatInfo& f : kFormats) {
    std::string_view list = f.extensions;
    while (!list.empty()) {
      const size_t space = list.find(' ');
      if (same_ignoring_case(list.substr(0, space), extension)) return &f;
      list = space == std::string_view::npos ? std::string_view() : list.substr(space + 1);
    }
  }
  return nullptr;
}

const DeviceFormatInfo& device_format_info(DeviceFormat format) {
  for (const DeviceFormatInfo& f : kFormats) {
    if (f.format == format) return f;
  }
  return kFormats[0];  // not reached: every format has its row
}

bool parse_device_layout(std::string_view text, DeviceLayout& out) { return find_word(kLayouts, text, out); }

const char* device_layout_name(DeviceLayout layout) { return kLayouts[static_cast<size_t>(layout)].text; }

bool parse_device_on(std::string_view text, DeviceOn& out) { return find_word(kOns, text, out); }

bool parse_band_rows(std::string_view text, unsigned& out) {
  if (text.empty() || text.size() > 5) return false;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value == 0 || value > kMaxBandRows) return false;
  out = value;
  return true;
}

std::string c_identifier(std::string_view text) {
  if (text.empty()) return "image";
  std::string id;
  if (text[0] >= '0' && text[0] <= '9') id += '_';
  for (char c : text) {
    const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    id += keep ? c : '_';
  }
  for (const char* keyword : kKeywords) {
    if (id == keyword) return id + '_';
  }
  return id;
}

std::string c_identifier_from_path(std::string_view path) {
  std::string_view file = file_name_of(path);
  if (file == "-") return "image";  // standard output has no name
  const size_t dot = file.rfind('.');
  if (dot != std::string_view::npos && dot != 0) file = file.substr(0, dot);
  return c_identifier(file);
}

const char* device_error_text(DeviceError error) {
  switch (error) {
    case DeviceError::None: return "no error";
    case DeviceError::LayoutNotForFormat: return "--layout applies to the c and bin formats only";
    case DeviceError::NameNotForFormat: return "--name applies to the c and xbm formats only";
    case DeviceError::BandNotForFormat: return "--band applies to the escpos format only";
    case DeviceError::BandOutOfRange: return "the band height must be 1 to 65535 rows";
    case DeviceError::EmptyPicture: return "the picture has no pixels";
    case DeviceError::PictureTooLarge: return "the picture is too large for this format";
    case DeviceError::TooManyRows: return "more rows than the picture has";
    case DeviceError::MissingRows: return "the picture ended before its last row";
    case DeviceError::WriteFailed: return "the output could not be written";
  }
  return "unknown error";
}

DeviceError resolve_device_request(const DeviceRequest& request, std::string_view output_path,
                                   DeviceSettings& settings) {
  const DeviceFormatInfo& info = device_format_info(request.format);
  if (request.layout && !(info.options & kTakesLayout)) return DeviceError::LayoutNotForFormat;
  if (request.name && !(info.options & kTakesName)) return DeviceError::NameNotForFormat;
  if (request.band_rows && !(info.options & kTakesBand)) return DeviceError::BandNotForFormat;
  if (request.band_rows && (*request.band_rows == 0 || *request.band_rows > kMaxBandRows)) {
    return DeviceError::BandOutOfRange;
  }
  settings.format = request.format;
  settings.layout = request.layout.value_or(DeviceLayout::RowsMsb);
  settings.on = request.on.value_or(info.default_on);
  settings.name = request.name ? c_identifier(*request.name) : c_identifier_from_path(output_path);
  settings.band_rows = request.band_rows.value_or(kDefaultBandRows);
  return DeviceError::None;
}
