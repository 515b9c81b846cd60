// The device outputs as data: what each format is called, the extensions it is
// known by, which layouts and options it takes, and the checks that turn what a
// user asked for into settings the device writer can use.
#ifndef QVX_DEVICE_FORMAT_H
#define QVX_DEVICE_FORMAT_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class DeviceFormat { kXbm, kC, kBin, kEscPos, kZpl };

// How the bits of a picture are laid out in the bytes of `c` and `bin`. The first
// four hold one bit a pixel, so two levels or colours; the others hold indexes.
enum class DeviceLayout {
  kRowsMsb,     // row by row, each row padded to whole bytes, leftmost pixel in bit 7
  kRowsLsb,     // the same with the leftmost pixel in bit 0
  kPages,       // bands of 8 rows from the top, a byte per column, the band's top row in bit 0
  kColumnsMsb,  // column by column from the left, each padded to whole bytes, top pixel in bit 7
  kTwoBppMsb,   // 2 bits a pixel, each row on a new byte, the leftmost pixel in bits 7-6
  kFourBppMsb,  // 4 bits a pixel, each row on a new byte, the leftmost pixel in the high nibble
  kPlanes,      // rows-msb once per plane: every row of plane 0, then every row of plane 1
};

// Returns the bits a layout gives each pixel: 1, 2 or 4 (planes: 1 in each plane).
unsigned device_layout_bits(DeviceLayout layout);

// Returns true for the layouts of more than one bit a pixel: 2bpp-msb, 4bpp-msb, planes.
inline bool index_layout(DeviceLayout layout) { return layout >= DeviceLayout::kTwoBppMsb; }

// Returns the bytes a picture of width x height takes in a layout.
uint64_t device_layout_bytes(DeviceLayout layout, uint32_t width, uint32_t height);

// Which pixels are the set bits; for the planes, which value a set bit means in one
// plane: White the paper (not black, not the colour, an index bit of 1), Black the ink.
enum class DeviceOn { kBlack, kWhite };

// What the indexes of a picture stand for: grey levels (index 0 black .. count - 1
// white) or the entries of a palette. A 1-bit picture is two grey levels.
struct IndexMeaning {
  int count = 2;        // 2..16
  std::string palette;  // empty for grey levels; else a name or "#rrggbb,..." as --palette takes it
};

constexpr int kMaxIndexes = 16;

// The options a format takes (bits of DeviceFormatInfo::options).
constexpr unsigned kTakesLayout = 1;  // --layout
constexpr unsigned kTakesName = 2;    // --name: the identifier in the text
constexpr unsigned kTakesBand = 4;    // --band: rows per printer command

struct DeviceFormatInfo {
  DeviceFormat format;
  const char* name;         // as given to -f
  const char* extensions;   // the file extensions that choose it, space-separated, the first the usual one
  const char* description;  // one line for the usage text
  unsigned options;         // kTakes* bits
  DeviceOn default_on;      // printers and XBM print black; panels light the set bits
};

constexpr unsigned kDefaultBandRows = 256;
// The tallest GS v 0 image printers take: its height's high byte goes up to 8.
constexpr unsigned kMaxBandRows = 2303;
// ZPL: a ^GFA field holds at most this many bytes; ^FO places a field at most this far down.
constexpr uint32_t kMaxZplFieldBytes = 99999;
constexpr uint32_t kMaxZplOrigin = 32000;

// Returns the format called `name` (exactly, as listed), or null.
const DeviceFormatInfo* find_device_format(std::string_view name);

// Returns the format chosen by the extension of `path` (case-insensitive), or null.
const DeviceFormatInfo* device_format_for_path(std::string_view path);

// Returns the table entry of `format`.
const DeviceFormatInfo& device_format_info(DeviceFormat format);

// Return true and set `out` when `text` names a layout, a polarity, a band height.
bool parse_device_layout(std::string_view text, DeviceLayout& out);
bool parse_device_on(std::string_view text, DeviceOn& out);
bool parse_band_rows(std::string_view text, unsigned& out);

// Returns the name of a layout as the command spells it.
const char* device_layout_name(DeviceLayout layout);

// Reads a code map "0,1,2,3,5,6" (the code of index 0 first, each 0..15); false
// when it is anything else or holds more than kMaxIndexes codes.
bool parse_code_map(std::string_view text, std::vector<uint8_t>& out);

// Returns a code map as parse_code_map reads it.
std::string code_map_text(const std::vector<uint8_t>& codes);

// Reads the planes' polarities "white,black" (plane 0 first).
bool parse_plane_on(std::string_view text, DeviceOn (&out)[2]);

// Returns a polarity as the command spells it: "black" or "white".
const char* device_on_name(DeviceOn on);

// Returns `text` made into a C identifier that no compiler or standard header has
// taken: every character other than an ASCII letter, digit or underscore becomes
// '_' and runs of '_' become one; a name that begins with a digit or '_', or whose
// NAME_WIDTH and NAME_HEIGHT a standard header defines, gets "image_" before it; a
// keyword or a name of <stdint.h> or another common header gets a '_' after it;
// an empty text gives "image".
std::string c_identifier(std::string_view text);

// Returns the start of the names derived from an identifier (NAME_WIDTH, the X
// bitmap's NAME_bits): the identifier without a trailing '_', so none holds "__".
std::string identifier_stem(std::string_view identifier);

// Returns the identifier for a picture read from `input` and written to `output`:
// named after the output, or after the input when the output is standard output,
// "image" when both are standard streams.
std::string c_identifier_for(std::string_view output, std::string_view input);

// Returns the identifier for a picture written to `path`: its file name without
// the folder and the last extension, made into a C identifier.
std::string c_identifier_from_path(std::string_view path);

// What a user asked for; an option left empty takes the format's default.
struct DeviceRequest {
  DeviceFormat format = DeviceFormat::kC;
  std::optional<DeviceLayout> layout;
  std::optional<DeviceOn> on;
  std::optional<std::string> name;
  std::optional<unsigned> band_rows;
  std::optional<DeviceOn> plane_on[2];  // planes: each plane's own polarity
  std::vector<uint8_t> codes;           // 2bpp-msb, 4bpp-msb: the code of each index; empty: the index
  IndexMeaning meaning;                 // what the conversion's indexes stand for
  std::string preset;                   // named in the C header's comment; empty: none
};

// What the writer uses: every option decided.
struct DeviceSettings {
  DeviceFormat format = DeviceFormat::kC;
  DeviceLayout layout = DeviceLayout::kRowsMsb;
  DeviceOn on = DeviceOn::kWhite;
  std::string name = "image";  // a C identifier
  unsigned band_rows = kDefaultBandRows;
  IndexMeaning meaning;
  std::vector<uint8_t> codes;           // empty: the index is the value
  std::optional<DeviceOn> plane_on[2];  // planes: empty takes `on`
  std::string preset;
};

// Returns the polarity of plane `plane` (0 or 1) of the planes layout.
DeviceOn plane_polarity(const DeviceSettings& settings, int plane);

enum class DeviceError {
  kNone,
  kLayoutNotForFormat,  // --layout with a format other than c or bin
  kNameNotForFormat,    // --name with a format that has no identifier
  kBandNotForFormat,    // --band with a format other than escpos
  kBandOutOfRange,      // a band of 0 rows or more than kMaxBandRows
  kEmptyPicture,        // a width or height of 0
  kPictureTooLarge,     // more than the format can describe or the writer can hold
  kTooManyRows,         // rows given past the picture's height
  kMissingRows,         // finished before every row was given
  kWriteFailed,         // the byte sink refused bytes
  kTwoIndexesOnly,      // more than two levels or colours for a 1-bit layout or format
  kTooManyForTwoBits,   // 2bpp-msb: more than four levels or colours
  kPlanesNeedThree,     // planes: neither 4 grey levels nor a palette of black, white and a colour
  kBadMeaning,          // a count outside 2..16 or a palette text with other characters
  kCodesNotForLayout,   // a code map with a layout other than 2bpp-msb and 4bpp-msb
  kBadCodeMap,          // a code map without one distinct code, small enough, for each index
  kNoPolarityForCodes,  // on black for a palette's or a code map's values
  kPlaneOnNotForLayout, // a plane's polarity with a layout other than planes
  kIndexOutOfRange,     // an index row holds a value of no level or colour
  kSpillFailed,         // the second plane could not be kept until the first was written
};

// Returns the one-line text of an error (no trailing full stop), for messages.
const char* device_error_text(DeviceError error);

// Returns None when the layout can hold what the indexes mean with the code map and
// polarities of `settings`, else what is wrong.
DeviceError check_device_indexes(const DeviceSettings& settings);

// Checks the request and fills `settings`; the paths give the default name
// (c_identifier_for).
DeviceError resolve_device_request(const DeviceRequest& request, std::string_view output_path,
                                   std::string_view input_path, DeviceSettings& settings);

#endif
