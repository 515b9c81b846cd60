// Feeds arbitrary bytes to quillvex-cli's option parser as its argument words (parted
// by zero bytes, as the kernel hands argv over), every section of the option table
// taking part, and checks what the rest of the command relies on from a parse.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/options.h"

namespace {

void check(bool holds) {
  if (!holds) std::abort();
}

// A line that runs is one the command can act on without checking it again.
void check_runnable(const CliOptions& o) {
  check(!o.inputs.empty());
  check(o.output.empty() != o.folder.empty());
  check(o.output.empty() || o.inputs.size() == 1);
  check(o.density >= 0 && o.density <= 254);
  check(o.mode >= 0 && o.mode <= 2);
  check(o.format >= kFormatBmp && o.format <= kFormatPpm);
  check(o.max_pixels >= 1);
  check(!(o.automatic && o.density != kDensityDefault));
  if (o.method) {
    HalftoneParams params = o.halftone;
    params.density = o.density;
    params.invert = o.invert;
    check(check_halftone_params(*o.method, params) == HalftoneError::kNone);
  }
  const Preparation& p = o.prepare;
  if (p.resize) {
    check(p.size.width <= kMaxTargetSide && p.size.height <= kMaxTargetSide);
    check(p.size.width != 0 || p.size.height != 0);
    check(uint64_t{p.size.width} * p.size.height <= o.max_pixels);
  }
  check(p.resize || (!p.fit_given && !p.background_given));
  check(p.rotation == 0 || p.rotation == 90 || p.rotation == 180 || p.rotation == 270);
  for (const std::string& input : o.inputs) {
    const std::string target = output_path_for(o, input, o.format);
    check(!target.empty());
    if (!o.folder.empty()) check(target.compare(0, o.folder.size(), o.folder) == 0);
  }
  if (is_device_format(o.format)) device_settings_for(o, o.output.empty() ? "out" : o.output);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args;
  std::string word;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.push_back(word);
      word.clear();
    } else {
      word += static_cast<char>(data[i]);
    }
  }
  if (size > 0) args.push_back(word);
  CliOptions options;
  std::string error;
  const ParseOutcome outcome = parse_cli_options(args, options, error);
  check((outcome == ParseOutcome::kUsage) == !error.empty());
  if (outcome == ParseOutcome::kRun) check_runnable(options);
  return 0;
}
