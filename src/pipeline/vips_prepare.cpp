#include "pipeline/vips_prepare.h"

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

// vips_resize of a picture whose rows were box-shrunk by `row_shrink` already:
// the rest of its row reduction, then its column reduction.
VipsImage* resize_shrunk_rows(VipsImage* image, double hscale, double vscale, int row_shrink) {
  if (row_shrink == 1) {
    return step(image, [&](VipsImage* a, VipsImage** b) {
      return vips_resize(a, b, hscale, "vscale", vscale, nullptr);
    });
  }
  image = step(image, [&](VipsImage* a, VipsImage** b) {
    return vips_reducev(a, b, 1.0 / vscale / row_shrink, nullptr);
  });
  if (1.0 / hscale <= 1.0) return image;  // the width kept
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
  // A picture decoded smaller is scaled from the size it has to the planned one.
  hscale = static_cast<double>(plan.scaled_width) / vips_image_get_width(image);
  vscale = static_cast<double>(plan.scaled_height) / (vips_image_get_height(image) * row_shrink);
  if (hscale != 1.0 || vscale != 1.0) {
    image = resize_shrunk_rows(image, hscale, vscale, row_shrink);
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
  const double shrink = std::floor(1.0 / vscale / kResizeGap);
  // Uneven rows: libvips' last box repeats the edge and shifts the kernel's centre.
  if (shrink < 2 || height % static_cast<int>(shrink) != 0) return 1;
  return static_cast<int>(shrink);
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
