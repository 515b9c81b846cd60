// The command follows the method descriptors: a method or parameter that --list-methods,
// --help, an option's setter or its checks forget shows here.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/options.h"

namespace {

struct Parsed {
  ParseOutcome outcome;
  std::string error;
  CliOptions options;
  std::optional<double> value(HalftoneParam param) const { return request_param(options, param); }
};

Parsed parse(const std::string& method, const std::vector<std::string>& more) {
  std::vector<std::string> args = {"-m", method};
  args.insert(args.end(), more.begin(), more.end());
  args.insert(args.end(), {"in.bmp", "-o", "out.bmp"});
  Parsed p;
  p.outcome = parse_cli_options(args, p.options, p.error);
  return p;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string number(double value) { return param_number_text(value); }

}  // namespace

TEST(MethodDescriptors, TheModesAreTheConversionsOwn) {
  EXPECT_STREQ(mode_descriptor(kModeLetter).name, "letter");
  EXPECT_STREQ(mode_descriptor(kModePhotoHard).name, "hard");
  EXPECT_STREQ(mode_descriptor(kModePhotoSoft).name, "soft");
}

TEST(MethodDescriptors, EveryMethodIsListedAndTaken) {
  const std::string list = "\n" + method_list_text();
  for (const MethodDescriptor& m : method_descriptors()) {
    EXPECT_TRUE(contains(list, "\n" + std::string(m.name) + "  ")) << m.name;
    std::stringstream lines(m.description);
    for (std::string line; std::getline(lines, line);) EXPECT_TRUE(contains(list, line + "\n")) << m.name;
    CliOptions o;
    std::string error;
    ASSERT_EQ(parse_cli_options({"-m", m.name, "in.bmp", "-o", "out.bmp"}, o, error), ParseOutcome::kRun) << error;
    if (m.family == HalftoneFamily::kThreshold) {
      EXPECT_FALSE(o.method) << m.name;
      EXPECT_EQ(o.mode, m.mode) << m.name;
    } else {
      EXPECT_EQ(o.method, m.method) << m.name;
    }
  }
}

// Each parameter: its option and default in --help; every method that takes it stores
// its range's ends and refuses a value past them, naming the range, as the core's check
// does; every method that doesn't take it refuses the option.
TEST(MethodDescriptors, EveryParameterIsAnOptionWithItsRangeAndTakers) {
  const std::string help = cli_help_text();
  for (const ParamDescriptor& p : kParamDescriptors) {
    SCOPED_TRACE(p.name);
    const std::string option = std::string("--") + p.name;
    EXPECT_TRUE(contains(help, option + (p.value_name ? std::string(" ") + p.value_name : "") + " "));
    if (p.short_name) EXPECT_TRUE(contains(help, std::string("  -") + p.short_name + ", " + option));
    std::stringstream help_lines(p.help);
    for (std::string line; std::getline(help_lines, line);) EXPECT_TRUE(contains(help, line)) << line;
    const ParamTakers takers = methods_taking(p.param);
    ASSERT_FALSE(takers.methods.empty());
    if (p.kind == ParamKind::kWhole || p.kind == ParamKind::kReal)
      EXPECT_TRUE(contains(help, "(default " + number(param_default(*takers.methods[0], p.param))));
    for (const MethodDescriptor& m : method_descriptors()) {
      SCOPED_TRACE(m.name);
      const bool takes = method_param(m, p.param) != nullptr;
      EXPECT_EQ(std::find(takers.methods.begin(), takers.methods.end(), &m) != takers.methods.end(), takes);
      if (!takes) {
        std::vector<std::string> given = {option};
        // A default every method gives is taken by all; any other value is refused.
        std::string value;
        if (p.default_for_every_method) {
          EXPECT_EQ(parse(m.name, {option, number(p.default_value)}).outcome, ParseOutcome::kRun);
          value = " " + number(p.max);
          given.push_back(number(p.max));
        } else if (p.kind != ParamKind::kFlag) {
          given.push_back(number(p.default_value));
        }
        const Parsed refused = parse(m.name, given);
        EXPECT_EQ(refused.outcome, ParseOutcome::kUsage);
        EXPECT_TRUE(contains(refused.error, option + value + " needs " + takers_phrase(takers))) << refused.error;
        if (p.kind == ParamKind::kFlag && m.family != HalftoneFamily::kThreshold) {
          HalftoneParams set;
          set_param_value(set, p.param, 1);
          ASSERT_NE(p.refusal, HalftoneError::kNone) << "the core would take the flag";
          EXPECT_EQ(check_halftone_params(m.method, set), p.refusal);
          EXPECT_TRUE(contains(halftone_error_text(p.refusal), option + " needs "));
        }
        continue;
      }
      if (p.kind == ParamKind::kFlag) {
        const Parsed set = parse(m.name, {option});
        ASSERT_EQ(set.outcome, ParseOutcome::kRun) << set.error;
        EXPECT_EQ(set.value(p.param), 1.0);
        continue;
      }
      if (p.kind == ParamKind::kText) {
        const Parsed set = parse(m.name, {option, "bwr"});
        ASSERT_EQ(set.outcome, ParseOutcome::kRun) << set.error;
        EXPECT_EQ(set.options.palette, "bwr");
        EXPECT_TRUE(contains(parse(m.name, {option, "#00ff00,#00ff0"}).error, "\"#00ff0\""));
        continue;
      }
      if (p.kind == ParamKind::kReal) {
        const Parsed set = parse(m.name, {option, "-1.5"});
        ASSERT_EQ(set.outcome, ParseOutcome::kRun) << set.error;
        EXPECT_EQ(set.value(p.param), -1.5);
        EXPECT_TRUE(contains(parse(m.name, {option, "x"}).error, option + " must be a number"));
        continue;
      }
      for (double end : {p.min, p.max}) {
        const Parsed set = parse(m.name, {option, number(end)});
        ASSERT_EQ(set.outcome, ParseOutcome::kRun) << set.error;
        EXPECT_EQ(set.value(p.param), end);
      }
      const std::string range = "from " + number(p.min) + " to " + number(p.max) + ": ";
      EXPECT_TRUE(contains(parse(m.name, {option, number(p.max + 1)}).error, range + number(p.max + 1)));
      if (p.min > 0) EXPECT_TRUE(contains(parse(m.name, {option, number(p.min - 1)}).error, range));
      // The core's check of the method's parameters holds what the method takes, not
      // what the result holds (levels: the request's, conversion_request.h).
      if (m.family == HalftoneFamily::kThreshold || !param_value(HalftoneParams(), p.param)) continue;
      HalftoneParams past;
      set_param_value(past, p.param, p.max + 1);
      const HalftoneError error = check_halftone_params(m.method, past);
      EXPECT_EQ(error, p.refusal);
      EXPECT_TRUE(contains(halftone_error_text(error), number(p.min) + ".." + number(p.max)));
    }
  }
}
