// Feeds arbitrary text to the palette parser and checks what a caller relies on: a
// palette read has 2..16 entries and reads back as the same list; a refusal says why in
// one line and leaves the palette as it was.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "halftone/colour_palette.h"

namespace {

void check(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string given(reinterpret_cast<const char*>(data), size);
  Palette palette;
  palette.count = -1;
  std::string error;
  if (!parse_palette(given, &palette, &error)) {
    check(palette.count == -1);
    check(!error.empty() && error.size() < 200 + 2 * size);
    return 0;
  }
  check(error.empty());
  check(palette.count >= kMinPaletteEntries && palette.count <= kMaxPaletteEntries);
  // The list it reads back as is read as the same palette.
  Palette again;
  check(parse_palette(palette_text(palette), &again, &error));
  check(again.count == palette.count);
  for (int j = 0; j < palette.count; ++j)
    for (int c = 0; c < 3; ++c) check(again.rgb[j][c] == palette.rgb[j][c]);
  return 0;
}
