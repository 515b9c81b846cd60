// Preparing a colour picture for a device with libvips: rotated, flipped, then
// resampled and placed as plan_fit says, so the command and the core agree on sizes.
#ifndef QVX_PIPELINE_VIPS_PREPARE_H
#define QVX_PIPELINE_VIPS_PREPARE_H

#include <vips/vips.h>

#include "pipeline/conversion_request.h"

// Returns true when the preparation reads the picture in another order than top to
// bottom (a rotation, an upside-down flip), so the file can't be read sequentially.
bool prepare_reads_out_of_order(const Preparation& p);

// The most rows asked of a prepared picture at once (a strip).
constexpr int kMostRowsAsked = 256;

// Returns how many rows of a width x height RGB picture the fit averages into one
// before anything else, when a reader can do it as the rows come (1: it can't):
// libvips' resize starts a large reduction with such a box shrink of the rows, the
// last box made whole with copies of the last row. One done while reading gives
// the same bytes where the rest of the reduction can be set to read the boxes
// where libvips' own does, which a few heights rule out.
int fit_row_shrink(int width, int height, const Preparation& p);

// Returns the factor (2, 4 or 8; 1 for none) a JPEG reader may decode a picture of
// width x height smaller by for this preparation: the largest that still leaves at
// least the fitted size, so that little is decoded that the fit would throw away.
int fit_load_shrink(int width, int height, const Preparation& p);

// The size the fit plans for, where `in` is smaller than the picture (decoded at a
// fraction of its size); 0 x 0: in's own size, its rows times `row_shrink`.
struct PlannedSize {
  int width = 0;
  int height = 0;
};

// Returns the picture (8-bit, 1 to 4 bands) laid over white where it is transparent,
// rotated, flipped and fitted: a new reference with 1 or 3 bands, or null when
// libvips failed. `row_shrink` (from fit_row_shrink) says how many of the picture's
// rows each row of `in` already averages; `planned` then gives the picture's own
// size, whose height the shrink need not divide.
VipsImage* prepare_vips_image(VipsImage* in, const Preparation& p, int row_shrink = 1, PlannedSize planned = {});

#endif
