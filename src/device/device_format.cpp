#include "device/device_format.h"

#include <vector>

#include "device/word_table.h"

namespace {

const DeviceFormatInfo kFormats[] = {
    {DeviceFormat::kXbm, "xbm", "xbm", "X bitmap (C text, least significant bit first, set = black)", kTakesName,
     DeviceOn::kBlack},
    {DeviceFormat::kC, "c", "h c", "C header: const uint8_t array with width and height defines",
     kTakesLayout | kTakesName, DeviceOn::kWhite},
    {DeviceFormat::kBin, "bin", "bin", "the bytes of the C array, raw", kTakesLayout, DeviceOn::kWhite},
    {DeviceFormat::kEscPos, "escpos", "escpos pos", "ESC/POS raster bit image (GS v 0), in bands", kTakesBand,
     DeviceOn::kBlack},
    {DeviceFormat::kZpl, "zpl", "zpl", "ZPL label with one ^GFA graphic field", 0, DeviceOn::kBlack},
};

const Word<DeviceLayout> kLayouts[] = {{"rows-msb", DeviceLayout::kRowsMsb},
                                       {"rows-lsb", DeviceLayout::kRowsLsb},
                                       {"pages", DeviceLayout::kPages},
                                       {"columns-msb", DeviceLayout::kColumnsMsb},
                                       {"2bpp-msb", DeviceLayout::kTwoBppMsb},
                                       {"4bpp-msb", DeviceLayout::kFourBppMsb},
                                       {"planes", DeviceLayout::kPlanes}};
const Word<DeviceOn> kOns[] = {{"black", DeviceOn::kBlack}, {"white", DeviceOn::kWhite}};

// Words a C or C++ compiler would not take as the array's name (C23 and C++20 included).
const char* const kKeywords[] = {
    "alignas", "alignof", "and", "and_eq", "asm", "auto", "bitand", "bitor", "bool", "break", "case", "catch",
    "char", "char8_t", "char16_t", "char32_t", "class", "co_await", "co_return", "co_yield", "compl", "concept",
    "const", "const_cast", "consteval", "constexpr", "constinit", "continue", "decltype", "default", "delete", "do",
    "double", "dynamic_cast", "else", "enum", "explicit", "export", "extern", "false", "float", "for", "friend",
    "goto", "if", "inline", "int", "long", "mutable", "namespace", "new", "noexcept", "not", "not_eq", "nullptr",
    "operator", "or", "or_eq", "private", "protected", "public", "register", "reinterpret_cast", "requires",
    "restrict", "return", "short", "signed", "sizeof", "static", "static_assert", "static_cast", "struct", "switch",
    "template", "this", "thread_local", "throw", "true", "try", "typedef", "typeid", "typename", "typeof",
    "typeof_unqual", "union", "unsigned", "using", "virtual", "void", "volatile", "wchar_t", "while", "xor",
    "xor_eq"};

// Names the headers a program including ours most likely includes already take
// (stddef, stdio, stdlib, string, errno, assert, stdbool, limits, the AVR
// program-memory header, an Arduino sketch); the integer limits are made below.
const char* const kLibraryNames[] = {
    "assert", "errno", "offsetof", "NULL", "size_t", "ptrdiff_t", "max_align_t", "wint_t", "nullptr_t", "FILE",
    "fpos_t", "stdin", "stdout", "stderr", "EOF", "BUFSIZ", "FILENAME_MAX", "FOPEN_MAX", "TMP_MAX", "L_tmpnam",
    "SEEK_SET", "SEEK_CUR", "SEEK_END", "printf", "fprintf", "sprintf", "snprintf", "puts", "putchar", "getchar",
    "fopen", "fclose", "fread", "fwrite", "EXIT_SUCCESS", "EXIT_FAILURE", "RAND_MAX", "MB_CUR_MAX", "div_t",
    "ldiv_t", "abs", "div", "exit", "abort", "atexit", "malloc", "calloc", "realloc", "free", "rand", "srand",
    "memcpy", "memmove", "memset", "memcmp", "strlen", "strcpy", "strcmp", "strcat", "EDOM", "ERANGE", "EILSEQ",
    "CHAR_BIT", "MB_LEN_MAX", "main", "noreturn", "complex", "imaginary", "I", "PROGMEM", "PGM_P", "PGM_VOID_P",
    "PSTR", "setup", "loop", "byte", "word", "boolean"};

// Integer families of <stdint.h> and <limits.h> other than the sized ones, each with
// _MIN, _MAX and (C23) _WIDTH: a name whose NAME_WIDTH would be one (size, uint)
// must not be used as it is.
const char* const kWidthNames[] = {"INTPTR", "UINTPTR", "INTMAX", "UINTMAX", "PTRDIFF", "SIG_ATOMIC", "SIZE",
                                   "WCHAR", "WINT", "CHAR", "SCHAR", "UCHAR", "SHRT", "USHRT", "INT", "UINT",
                                   "LONG", "ULONG", "LLONG", "ULLONG", "BOOL"};

const char* const kExactSizes[] = {"8", "16", "32", "64"};
const char* const kSizeKinds[] = {"", "_least", "_fast"};

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  return out;
}

// True for every type and macro name <stdint.h> declares (C99, with the widths C23
// adds) and the limits of <limits.h>; a few more (UINT8_MIN) do no harm.
bool declared_by_integer_headers(const std::string& id) {
  std::vector<std::string> names = {"intptr_t", "uintptr_t", "intmax_t", "uintmax_t", "INTMAX_C", "UINTMAX_C",
                                    "RSIZE_MAX"};
  std::vector<std::string> families(std::begin(kWidthNames), std::end(kWidthNames));
  for (const char* kind : kSizeKinds) {
    for (const char* bits : kExactSizes) {
      const std::string type = std::string(kind) + bits;
      names.push_back("int" + type + "_t");
      names.push_back("uint" + type + "_t");
      families.push_back("INT" + upper(type));
      families.push_back("UINT" + upper(type));
    }
  }
  for (const char* bits : kExactSizes) {
    names.push_back(std::string("INT") + bits + "_C");
    names.push_back(std::string("UINT") + bits + "_C");
  }
  for (const std::string& family : families) {
    for (const char* suffix : {"_MIN", "_MAX", "_WIDTH"}) names.push_back(family + suffix);
  }
  for (const std::string& name : names) {
    if (id == name) return true;
  }
  return false;
}

// True when stem_WIDTH is one of the C23 width macros.
bool width_macro_taken(const std::string& stem) {
  const std::string name = upper(stem);
  for (const char* base : kWidthNames) {
    if (name == base) return true;
  }
  for (const char* kind : kSizeKinds) {
    for (const char* bits : kExactSizes) {
      const std::string type = upper(kind) + bits;
      if (name == "INT" + type || name == "UINT" + type) return true;
    }
  }
  return false;
}

bool reserved_word(const std::string& id) {
  for (const char* word : kKeywords) {
    if (id == word) return true;
  }
  for (const char* word : kLibraryNames) {
    if (id == word) return true;
  }
  return declared_by_integer_headers(id);
}

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

const char* device_on_name(DeviceOn on) { return on == DeviceOn::kBlack ? "black" : "white"; }

unsigned device_layout_bits(DeviceLayout layout) {
  switch (layout) {
    case DeviceLayout::kTwoBppMsb: return 2;
    case DeviceLayout::kFourBppMsb: return 4;
    default: return 1;
  }
}

uint64_t device_layout_bytes(DeviceLayout layout, uint32_t width, uint32_t height) {
  const uint64_t w = width, h = height;
  switch (layout) {
    case DeviceLayout::kPages: return w * ((h + 7) / 8);
    case DeviceLayout::kColumnsMsb: return (h + 7) / 8 * w;
    case DeviceLayout::kPlanes: return 2 * ((w + 7) / 8) * h;
    default: return (w * device_layout_bits(layout) + 7) / 8 * h;
  }
}

bool parse_code_map(std::string_view text, std::vector<uint8_t>& out) {
  std::vector<uint8_t> codes;
  while (true) {
    const size_t comma = text.find(',');
    const std::string_view item = text.substr(0, comma);
    if (item.empty() || item.size() > 2 || codes.size() == kMaxIndexes) return false;
    unsigned value = 0;
    for (char c : item) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > 15) return false;
    codes.push_back(static_cast<uint8_t>(value));
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  out = codes;
  return true;
}

std::string code_map_text(const std::vector<uint8_t>& codes) {
  std::string text;
  for (uint8_t code : codes) text += (text.empty() ? "" : ",") + std::to_string(code);
  return text;
}

bool parse_plane_on(std::string_view text, DeviceOn (&out)[2]) {
  const size_t comma = text.find(',');
  if (comma == std::string_view::npos) return false;
  DeviceOn first, second;
  if (!parse_device_on(text.substr(0, comma), first) || !parse_device_on(text.substr(comma + 1), second)) {
    return false;
  }
  out[0] = first;
  out[1] = second;
  return true;
}

DeviceOn plane_polarity(const DeviceSettings& settings, int plane) {
  return settings.plane_on[plane].value_or(settings.on);
}

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
  for (char c : text) {
    const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    // C++ reserves every name holding "__"; one '_' stands for a run.
    if (keep && c != '_') {
      id += c;
    } else if (id.empty() || id.back() != '_') {
      id += '_';
    }
  }
  // A leading '_' or digit can't be mended by a suffix: C reserves file-scope names
  // with a leading '_', and NAME_WIDTH would begin with "_" and a capital.
  if (id[0] == '_' || (id[0] >= '0' && id[0] <= '9')) id = (id[0] == '_' ? "image" : "image_") + id;
  if (width_macro_taken(identifier_stem(id))) return "image_" + id;
  if (reserved_word(id)) id += '_';
  return id;
}

std::string identifier_stem(std::string_view identifier) {
  if (identifier.size() > 1 && identifier.back() == '_') identifier.remove_suffix(1);
  return std::string(identifier);
}

std::string c_identifier_from_path(std::string_view path) {
  std::string_view file = file_name_of(path);
  if (file == "-") return "image";  // a standard stream has no name
  const size_t dot = file.rfind('.');
  if (dot != std::string_view::npos && dot != 0) file = file.substr(0, dot);
  return c_identifier(file);
}

std::string c_identifier_for(std::string_view output, std::string_view input) {
  return c_identifier_from_path(output == "-" ? input : output);
}

const char* device_error_text(DeviceError error) {
  switch (error) {
    case DeviceError::kNone: return "no error";
    case DeviceError::kLayoutNotForFormat: return "--layout applies to the c and bin formats only";
    case DeviceError::kNameNotForFormat: return "--name applies to the c and xbm formats only";
    case DeviceError::kBandNotForFormat: return "--band applies to the escpos format only";
    case DeviceError::kBandOutOfRange: return "the band height must be 1 to 2303 rows";
    case DeviceError::kEmptyPicture: return "the picture has no pixels";
    case DeviceError::kPictureTooLarge: return "the picture is too large for this format";
    case DeviceError::kTooManyRows: return "more rows than the picture has";
    case DeviceError::kMissingRows: return "the picture ended before its last row";
    case DeviceError::kWriteFailed: return "the output could not be written";
    case DeviceError::kTwoIndexesOnly:
      return "this format or layout holds two levels or colours only (2bpp-msb, 4bpp-msb and planes hold more)";
    case DeviceError::kTooManyForTwoBits: return "2bpp-msb holds at most four levels or colours";
    case DeviceError::kPlanesNeedThree:
      return "planes take 4 grey levels or a palette of three: black, white and one colour";
    case DeviceError::kBadMeaning: return "the levels, the palette or the preset cannot be named in the output";
    case DeviceError::kCodesNotForLayout: return "a code map applies to the 2bpp-msb and 4bpp-msb layouts only";
    case DeviceError::kBadCodeMap:
      return "the code map needs a different code, small enough for the layout, for each index";
    case DeviceError::kNoPolarityForCodes: return "a palette's or a code map's values take no --on black";
    case DeviceError::kPlaneOnNotForLayout: return "a plane's polarity applies to the planes layout only";
    case DeviceError::kIndexOutOfRange: return "a pixel's index is beyond the levels or colours";
    case DeviceError::kSpillFailed: return "no temporary file could hold the second plane";
  }
  return "unknown error";
}

namespace {

// A palette's or a preset's name goes into the C header's comment: letters, digits,
// '-' and (a palette's list of colours) '#' and ',' only, so the comment reads back.
bool nameable(const std::string& text, bool list) {
  for (char c : text) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                    (list && (c == '#' || c == ','));
    if (!ok) return false;
  }
  return text.size() <= 200;
}

bool one_bit_output(const DeviceSettings& s) {
  const bool takes_layout = s.format == DeviceFormat::kC || s.format == DeviceFormat::kBin;
  return !takes_layout || !index_layout(s.layout);
}

}  // namespace

DeviceError check_device_indexes(const DeviceSettings& s) {
  const int count = s.meaning.count;
  if (count < 2 || count > kMaxIndexes || !nameable(s.meaning.palette, true) ||
      !nameable(s.preset, false)) {
    return DeviceError::kBadMeaning;
  }
  const bool planes = !one_bit_output(s) && s.layout == DeviceLayout::kPlanes;
  if ((s.plane_on[0] || s.plane_on[1]) && !planes) return DeviceError::kPlaneOnNotForLayout;
  const unsigned bits = one_bit_output(s) ? 1 : device_layout_bits(s.layout);
  if (!s.codes.empty() && bits == 1) return DeviceError::kCodesNotForLayout;
  if (one_bit_output(s)) return count == 2 ? DeviceError::kNone : DeviceError::kTwoIndexesOnly;
  if (planes) {
    const bool grey = s.meaning.palette.empty() && count == 4, colour = !s.meaning.palette.empty() && count == 3;
    return grey || colour ? DeviceError::kNone : DeviceError::kPlanesNeedThree;
  }
  if (bits == 2 && count > 4) return DeviceError::kTooManyForTwoBits;
  if (!s.codes.empty()) {
    if (s.codes.size() != static_cast<size_t>(count)) return DeviceError::kBadCodeMap;
    for (size_t i = 0; i < s.codes.size(); ++i) {
      if (s.codes[i] >= 1u << bits) return DeviceError::kBadCodeMap;
      for (size_t j = 0; j < i; ++j) {
        if (s.codes[j] == s.codes[i]) return DeviceError::kBadCodeMap;
      }
    }
  }
  // Reversed grey levels are levels still; a palette's order is the device's.
  const bool codes = !s.codes.empty() || !s.meaning.palette.empty();
  if (codes && s.on == DeviceOn::kBlack) return DeviceError::kNoPolarityForCodes;
  return DeviceError::kNone;
}

DeviceError resolve_device_request(const DeviceRequest& request, std::string_view output_path,
                                   std::string_view input_path, DeviceSettings& settings) {
  const DeviceFormatInfo& info = device_format_info(request.format);
  if (request.layout && !(info.options & kTakesLayout)) return DeviceError::kLayoutNotForFormat;
  if (request.name && !(info.options & kTakesName)) return DeviceError::kNameNotForFormat;
  if (request.band_rows && !(info.options & kTakesBand)) return DeviceError::kBandNotForFormat;
  if (request.band_rows && (*request.band_rows == 0 || *request.band_rows > kMaxBandRows)) {
    return DeviceError::kBandOutOfRange;
  }
  settings.format = request.format;
  settings.layout = request.layout.value_or(DeviceLayout::kRowsMsb);
  settings.on = request.on.value_or(info.default_on);
  settings.name = request.name ? c_identifier(*request.name) : c_identifier_for(output_path, input_path);
  settings.band_rows = request.band_rows.value_or(kDefaultBandRows);
  settings.meaning = request.meaning;
  settings.codes = request.codes;
  settings.plane_on[0] = request.plane_on[0];
  settings.plane_on[1] = request.plane_on[1];
  settings.preset = request.preset;
  return check_device_indexes(settings);
}
