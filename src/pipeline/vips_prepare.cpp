#include "pipeline/vips_prepare.h"

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

VipsImage* fit(VipsImage* image, const Preparation& p) {
  FitPlan plan;
  if (plan_fit(static_cast<uint32_t>(vips_image_get_width(image)), static_cast<uint32_t>(vips_image_get_height(image)),
               p.size, p.fit, plan) != PreparationError::kNone) {
    g_object_unref(image);
    vips_error("quillvex-cli", "%s", preparation_error_text(PreparationError::kResultTooLarge));
    return nullptr;
  }
  const double hscale = static_cast<double>(plan.scaled_width) / vips_image_get_width(image);
  const double vscale = static_cast<double>(plan.scaled_height) / vips_image_get_height(image);
  if (hscale != 1.0 || vscale != 1.0) {
    image = step(image, [&](VipsImage* a, VipsImage** b) { return vips_resize(a, b, hscale, "vscale", vscale, nullptr); });
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

VipsImage* prepare_vips_image(VipsImage* in, const Preparation& p) {
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
  if (image && p.resize) image = fit(image, p);
  if (image && vips_image_get_format(image) != VIPS_FORMAT_UCHAR) {
    image = step(image, [](VipsImage* a, VipsImage** b) { return vips_cast_uchar(a, b, nullptr); });
  }
  return image;
}
