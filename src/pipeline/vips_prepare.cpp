#include "pipeline/vips_prepare.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

namespace {

// Replaces `current` by the result of an operation (null when it failed).
template <class Operation>
VipsImage* step(VipsImage* current, Operation operation) {
  if (current == nullptr) return nullptr;
  VipsImage* next = nullptr;
  const bool ok = operation(current, &next) == 0;
  g_object_unref(current);
  return ok ? next : nullptr;
}

// A colour of every band at `level`, for the margins.
VipsArrayDouble* grey_of(VipsImage* image, double level) {
  const std::vector<double> values(static_cast<size_t>(vips_image_get_bands(image)), level);
  return vips_array_double_new(values.data(), static_cast<int>(values.size()));
}

// The resampler may round a side one pixel away from the planned size: the picture
// is cut or its edge repeated to the exact size.
VipsImage* to_exact_size(VipsImage* image, int width, int height) {
  if (image == nullptr || (vips_image_get_width(image) == width && vips_image_get_height(image) == height)) return image;
  if (vips_image_get_width(image) >= width && vips_image_get_height(image) >= height) {
    return step(image, [&](VipsImage* a, VipsImage** b) { return vips_extract_area(a, b, 0, 0, width, height, nullptr); });
  }
  return step(image, [&](VipsImage* a, VipsImage** b) {
    return vips_embed(a, b, 0, 0, width, height, "extend", VIPS_EXTEND_COPY, nullptr);
  });
}

// vips_resize reduces the rows, then the columns, each by a box of
// floor(factor / kResizeGap) first and its kernel for what remains.
constexpr double kResizeGap = 2.0;

// The scales vips_resize is given for a fit, and the plan; false when the plan fails.
bool fit_scales(int width, int height, const Preparation& p, FitPlan& plan, double& hscale, double& vscale) {
  if (plan_fit(static_cast<uint32_t>(width), static_cast<uint32_t>(height), p.size, p.fit, plan) !=
      PreparationError::kNone) {
    return false;
  }
  hscale = static_cast<double>(plan.scaled_width) / width;
  vscale = static_cast<double>(plan.scaled_height) / height;
  return true;
}

// Where libvips' kernel reads for an output row: the row (int) Y and the phase,
// Y's fraction rounded to 1/64, as its reduction of the rows quantises them.
struct KernelPlace {
  int row, phase;
  bool operator!=(const KernelPlace& o) const { return row != o.row || phase != o.phase; }
};
KernelPlace place_of(double y) {
  const int scaled = static_cast<int>(y * VIPS_TRANSFORM_SCALE * 2);
  return {static_cast<int>(y), ((scaled & (VIPS_TRANSFORM_SCALE * 2 - 1)) + 1) >> 1};
}

// The kernel's origin libvips takes for `in` rows reduced by `factor`, and the rows it makes.
double kernel_offset(int in, double factor, int& out) {
  out = static_cast<int>(in / factor + 0.5);
  return (1 + (out * factor - in)) / 2.0 - 1;
}

// True when a reduction by `factor` whose kernel starts at `other` reads every
// one of the first `rows` output rows where one starting at `offset` does. libvips
// steps the kernel from the top of each region it makes, adding the factor row by
// row, so each region's first row and length count: every top with every length
// up to the tallest region the picture is read in.
bool same_places(double factor, double offset, double other, int rows) {
  for (int top = 0; top < rows; ++top) {
    double y = (top + 0.5) * factor - 0.5 - offset;
    double z = (top + 0.5) * factor - 0.5 - other;
    for (int row = top; row < rows && row - top < kMostRowsAsked; ++row, y += factor, z += factor) {
      if (place_of(y) != place_of(z)) return false;
    }
  }
  return true;
}

// How vips_resize (gap 2) reduces `height` rows by vscale: it box-shrinks them by
// `shrink` (the last box made whole with copies of the last row), then its kernel
// makes `rows` rows of the ceil(height / shrink) box rows, its origin and factor
// fixed by the whole height. A reader that averages the boxes itself hands
// reducev `input_rows` rows (the box rows, then copies of the last), a height for
// which reducev puts its kernel where vips_resize's own would read, and keeps the
// first `rows`. shrink 1: none found, or no box shrink.
struct RowReduction {
  int shrink = 1;
  int input_rows = 0;
  int rows = 0;
  double factor = 1.0;  // the kernel's, after the box shrink
};

RowReduction row_reduction(int height, double vscale) {
  RowReduction r;
  vscale = std::max(vscale, 1.0 / height);
  const double factor = 1.0 / vscale;
  const int rows = static_cast<int>(height / factor + 0.5);
  if (rows < 1) return r;
  const double extra = rows * factor - height;
  const int shrink = std::max(1, static_cast<int>(std::floor(static_cast<double>(height) / rows / kResizeGap)));
  if (shrink < 2) return r;
  const double residual = factor / shrink;
  if (residual <= 1.0) return r;
  const double offset = (1 + extra / shrink) / 2.0 - 1;
  // Heights whose kernel starts a hair from libvips' own are tried on every row;
  // farther ones would move the kernel for some row.
  constexpr double kNear = 1e-6;
  constexpr int kMostTried = 4;
  const int boxes = (height + shrink - 1) / shrink;
  int tried = 0;
  for (int in = boxes; in <= boxes + height && tried < kMostTried; ++in) {
    int out = 0;
    const double other = kernel_offset(in, residual, out);
    if (out < rows || std::fabs(other - offset) > kNear) continue;
    if (other != offset) {
      ++tried;
      if (!same_places(residual, offset, other, rows)) continue;
    }
    r.shrink = shrink;
    r.input_rows = in;
    r.rows = rows;
    r.factor = residual;
    return r;
  }
  return r;
}

// vips_resize of a picture of `height` rows (the picture's own) whose rows were
// box-shrunk by `row_shrink` already: the rest of its row reduction, then its
// column reduction.
VipsImage* resize_shrunk_rows(VipsImage* image, double hscale, double vscale, int row_shrink, int height) {
  if (row_shrink == 1) {
    return step(image, [&](VipsImage* a, VipsImage** b) {
      return vips_resize(a, b, hscale, "vscale", vscale, nullptr);
    });
  }
  const RowReduction r = row_reduction(height, vscale);
  if (r.shrink != row_shrink) {
    g_object_unref(image);
    vips_error("quillvex-cli", "the rows were averaged for another fit");
    return nullptr;
  }
  const int width = vips_image_get_width(image);
  if (vips_image_get_height(image) < r.input_rows) {
    image = step(image, [&](VipsImage* a, VipsImage** b) {
      return vips_embed(a, b, 0, 0, width, r.input_rows, "extend", VIPS_EXTEND_COPY, nullptr);
    });
  }
  image = step(image, [&](VipsImage* a, VipsImage** b) { return vips_reducev(a, b, r.factor, nullptr); });
  if (image && vips_image_get_height(image) > r.rows) {
    image = step(image, [&](VipsImage* a, VipsImage** b) {
      return vips_extract_area(a, b, 0, 0, width, r.rows, nullptr);
    });
  }
  if (image == nullptr || 1.0 / hscale <= 1.0) return image;  // the width kept
  return step(image, [&](VipsImage* a, VipsImage** b) {
    return vips_reduceh(a, b, 1.0 / hscale, "gap", kResizeGap, nullptr);
  });
}

VipsImage* fit(VipsImage* image, const Preparation& p, int row_shrink, PlannedSize planned) {
  FitPlan plan;
  double hscale = 1.0, vscale = 1.0;
  if (planned.width == 0) planned = {vips_image_get_width(image), vips_image_get_height(image) * row_shrink};
  if (!fit_scales(planned.width, planned.height, p, plan, hscale, vscale)) {
    g_object_unref(image);
    vips_error("quillvex-cli", "%s", preparation_error_text(PreparationError::kResultTooLarge));
    return nullptr;
  }
  // A picture decoded smaller is scaled from the size it has to the planned one;
  // rows averaged while read stand for the picture's own rows.
  hscale = static_cast<double>(plan.scaled_width) / vips_image_get_width(image);
  const int rows = row_shrink > 1 ? planned.height : vips_image_get_height(image);
  vscale = static_cast<double>(plan.scaled_height) / rows;
  if (hscale != 1.0 || vscale != 1.0) {
    image = resize_shrunk_rows(image, hscale, vscale, row_shrink, rows);
    image = to_exact_size(image, static_cast<int>(plan.scaled_width), static_cast<int>(plan.scaled_height));
  }
  if (image == nullptr) return nullptr;
  const int width = static_cast<int>(plan.width), height = static_cast<int>(plan.height);
  if (plan.scaled_width > plan.width || plan.scaled_height > plan.height) {
    return step(image, [&](VipsImage* a, VipsImage** b) {
      return vips_extract_area(a, b, static_cast<int>(plan.crop_x), static_cast<int>(plan.crop_y), width, height,
                               nullptr);
    });
  }
  if (plan.scaled_width < plan.width || plan.scaled_height < plan.height) {
    VipsArrayDouble* background = grey_of(image, p.white_background ? 255.0 : 0.0);
    image = step(image, [&](VipsImage* a, VipsImage** b) {
      return vips_embed(a, b, static_cast<int>(plan.offset_x), static_cast<int>(plan.offset_y), width, height, "extend",
                        VIPS_EXTEND_BACKGROUND, "background", background, nullptr);
    });
    vips_area_unref(VIPS_AREA(background));
  }
  return image;
}

}  // namespace

bool prepare_reads_out_of_order(const Preparation& p) { return p.rotation != 0 || p.flip == Flip::kVertical; }

int fit_row_shrink(int width, int height, const Preparation& p) {
  // A mirror left to right changes no row's sum; a turn or an upside-down flip does.
  if (!p.resize || prepare_reads_out_of_order(p) || width < 1 || height < 1) return 1;
  FitPlan plan;
  double hscale = 1.0, vscale = 1.0;
  // An enlargement on either axis takes another road through vips_resize.
  if (!fit_scales(width, height, p, plan, hscale, vscale) || hscale > 1.0 || vscale >= 1.0) return 1;
  return row_reduction(height, vscale).shrink;
}

int fit_load_shrink(int width, int height, const Preparation& p) {
  if (!p.resize || width < 1 || height < 1) return 1;
  if (p.rotation == 90 || p.rotation == 270) std::swap(width, height);
  FitPlan plan;
  double hscale = 1.0, vscale = 1.0;
  if (!fit_scales(width, height, p, plan, hscale, vscale) || plan.scaled_width == 0 || plan.scaled_height == 0) return 1;
  for (int factor = 8; factor > 1; factor /= 2) {
    // The decoded side is width / factor rounded up: at least the fitted side.
    if (static_cast<uint64_t>(plan.scaled_width) * factor <= static_cast<uint64_t>(width) &&
        static_cast<uint64_t>(plan.scaled_height) * factor <= static_cast<uint64_t>(height)) {
      return factor;
    }
  }
  return 1;
}

VipsImage* prepare_vips_image(VipsImage* in, const Preparation& p, int row_shrink, PlannedSize planned) {
  VipsImage* image = in;
  g_object_ref(image);
  const int bands = vips_image_get_bands(image);
  if (bands == 2 || bands == 4) {
    // Transparent pixels are laid over white before anything is resampled.
    VipsArrayDouble* white = vips_array_double_newv(1, 255.0);
    image = step(image, [&](VipsImage* a, VipsImage** b) { return vips_flatten(a, b, "background", white, nullptr); });
    vips_area_unref(VIPS_AREA(white));
  }
  if (image && p.rotation != 0) {
    const VipsAngle angle = p.rotation == 90 ? VIPS_ANGLE_D90 : p.rotation == 180 ? VIPS_ANGLE_D180 : VIPS_ANGLE_D270;
    image = step(image, [&](VipsImage* a, VipsImage** b) { return vips_rot(a, b, angle, nullptr); });
  }
  if (image && p.flip != Flip::kNone) {
    const VipsDirection direction = p.flip == Flip::kHorizontal ? VIPS_DIRECTION_HORIZONTAL : VIPS_DIRECTION_VERTICAL;
    image = step(image, [&](VipsImage* a, VipsImage** b) { return vips_flip(a, b, direction, nullptr); });
  }
  if (planned.width != 0 && (p.rotation == 90 || p.rotation == 270)) std::swap(planned.width, planned.height);
  if (image && p.resize) image = fit(image, p, row_shrink, planned);
  if (image && vips_image_get_format(image) != VIPS_FORMAT_UCHAR) {
    image = step(image, [](VipsImage* a, VipsImage** b) { return vips_cast_uchar(a, b, nullptr); });
  }
  return image;
}
