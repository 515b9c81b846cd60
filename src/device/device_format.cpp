#include "device/device_format.h"

#include <vector>

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
    case DeviceError::None: return "no error";
    case DeviceError::LayoutNotForFormat: return "--layout applies to the c and bin formats only";
    case DeviceError::NameNotForFormat: return "--name applies to the c and xbm formats only";
    case DeviceError::BandNotForFormat: return "--band applies to the escpos format only";
    case DeviceError::BandOutOfRange: return "the band height must be 1 to 2303 rows";
    case DeviceError::EmptyPicture: return "the picture has no pixels";
    case DeviceError::PictureTooLarge: return "the picture is too large for this format";
    case DeviceError::TooManyRows: return "more rows than the picture has";
    case DeviceError::MissingRows: return "the picture ended before its last row";
    case DeviceError::WriteFailed: return "the output could not be written";
  }
  return "unknown error";
}

DeviceError resolve_device_request(const DeviceRequest& request, std::string_view output_path,
                                   std::string_view input_path, DeviceSettings& settings) {
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
  settings.name = request.name ? c_identifier(*request.name) : c_identifier_for(output_path, input_path);
  settings.band_rows = request.band_rows.value_or(kDefaultBandRows);
  return DeviceError::None;
}
