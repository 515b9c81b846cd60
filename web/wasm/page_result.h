// The result the page shows: converted row by row as the panes need the rows, the
// rows in view first, the rest in the background; and the panes drawn from it.
#ifndef QVX_WEB_PAGE_RESULT_H
#define QVX_WEB_PAGE_RESULT_H

#include <cstdint>
#include <optional>
#include <vector>

#include "halftone/colour_palette.h"
#include "halftone/grey_levels.h"
#include "halftone/halftone.h"
#include "page_failure.h"
#include "page_picture.h"
#include "pipeline/conversion_request.h"

// A row of the result is converted for these settings, or still holds the row of the
// settings before (shown until its own is converted), or holds nothing yet.
constexpr uint8_t kRowConverted = 1;
constexpr uint8_t kRowBefore = 2;

// Grey levels and palettes make rows of indexes, one byte a pixel, in place of bits;
// their converters, like the methods', are fed from the top row down.
struct PageResult {
  const PagePicture* picture = nullptr;
  std::optional<HalftoneMethod> method;  // else a mode
  int mode = 0;
  HalftoneParams params;        // density and invert serve the modes too
  bool any_row = false;         // ordered dither: each row converts alone, in any order
  // Local thresholds: rows convert in bands, each from a copy of the converter as
  // started fed the rows its windows reach, so the bands in view come first.
  bool banded = false;
  int32_t reach = 0;            // rows above and below a row that its window takes
  int32_t band_rows = 0;
  HalftoneConverter model;
  int32_t width = 0, height = 0;  // the picture's size the rows were allocated for
  size_t stride = 0;            // (width + 7) / 8
  Block<uint8_t> bits;          // storage rows, a set bit white
  Block<uint8_t> ready;         // per storage row: kRowConverted, kRowBefore or 0
  int32_t ready_rows = 0;
  int32_t scan = 0;             // the modes: storage rows below this are all ready
  HalftoneConverter converter;  // the methods: fed top row first
  int32_t next_top = 0;
  bool finished = false;
  bool indexed = false;         // grey levels or a palette: `indexes` instead of `bits`
  bool palette = false;
  GreyLevelsConverter levels;
  PaletteConverter colours;
  Block<uint8_t> indexes;       // storage rows of width indexes
  std::vector<uint8_t> rgb;     // one row of the picture's colours for the palette's converter
  uint32_t shades[kMaxPaletteEntries] = {};  // the canvas colour of each index
};

// Starts the result of a picture for a conversion request (its mode or method, their
// parameters, its grey levels or palette). The rows of the result before stay in view
// until their own are converted when they are of the same kind and shades. Returns no failure, the parameters' "setting" failure, or "memory" when
// its rows can't be allocated; after a failure the result is empty.
PageFailure start_result(PageResult& result, const PagePicture& picture, const ConversionRequest& request);

// Empties the result: the panes show the picture beside nothing.
void clear_result(PageResult& result, const PagePicture& picture);

// What a pane shows: the picture scaled by num / den, scrolled by (scroll_x, scroll_y)
// zoomed pixels, in a pane of pane_width x pane_height pixels.
struct PaneView {
  int32_t num = 1, den = 1;
  int32_t scroll_x = 0, scroll_y = 0;
  int32_t pane_width = 0, pane_height = 0;
};

// Converts up to about `pixels` more pixels of rows not yet converted, the bands of the
// rows `view` shows first where the result converts in bands; returns the storage rows
// still to convert.
int32_t convert_more(PageResult& result, int64_t pixels, const PaneView* view = nullptr);

// The bands of a result that converts in bands (local thresholds), else 0.
int32_t result_bands(const PageResult& result);

// Converts band `band` of the rows from the top, where its rows are not converted yet.
void convert_result_band(PageResult& result, int32_t band);

// Takes band `band` converted elsewhere (by another worker's core from the same
// luminance and settings): its rows from the top, `stride` bytes each, into the rows not
// converted yet. Returns the storage rows still to convert.
int32_t take_result_band(PageResult& result, int32_t band, const uint8_t* rows);

// True when rows in view may take longer than a frame to convert: error diffusion,
// grey levels and palettes from the top down, local thresholds a band at a time.
bool converts_by_slices(const PageResult& result);

// True when every row the view shows is converted for the current settings.
bool view_converted(const PageResult& result, const PaneView& view);

// Draws both panes as RGBA (red in the low byte); with `convert`, the rows in view are
// converted first, else rows not yet converted show the result before, or nothing.
// Pixels beyond the picture, and the whole result pane of an empty result, are
// transparent. Returns view_converted after drawing.
bool draw_panes(PageResult& result, const PaneView& view, uint32_t* source_pane, uint32_t* result_pane,
                bool convert = true);

#endif
