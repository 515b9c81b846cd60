// The parser and the --help text of quillvex-cli, both driven by the option table.
#include <algorithm>
#include <vector>

#include "cli/option_table.h"
#include "cli/options.h"

namespace {

const char kUsageLine[] = "usage: quillvex-cli [options] INPUT... [-o OUTPUT | -d FOLDER]\n";
const char kInputNotes[] =
    "An INPUT of '-' is standard input. After '--' every word is an input, however it\n"
    "begins, except -o and -d with their values.\n";

// Returns the row of an option name as written ("-t", "--density"), or nullptr.
const CliOption* find_option(const std::string& name) {
  const bool is_long = name.compare(0, 2, "--") == 0;
  const CliOptionSections sections = cli_option_sections();
  for (size_t s = 0; s < sections.count; ++s) {
    const CliOptionSection& section = *sections.list[s];
    for (size_t r = 0; r < section.count; ++r) {
      const CliOption& row = section.rows[r];
      if (is_long ? row.long_name && name.compare(2, std::string::npos, row.long_name) == 0
                  : name.size() == 2 && row.short_name != 0 && name[1] == row.short_name) {
        return &row;
      }
    }
  }
  return nullptr;
}

bool is_flag(const CliOption* row) { return row && !row->argument && row->outcome == ParseOutcome::kRun; }

// The options met so far, each as first written, so that a repeat or a contradiction
// can be refused in the user's own spelling.
struct GivenOption {
  const CliOption* row;
  std::string written;
};

bool excludes(const CliOption* row, const CliOption* other) {
  return row->excludes && find_option(row->excludes) == other;
}

// Notes an option as given; returns an empty string, or why it can't be given here.
std::string note_given(const CliOption* row, const std::string& written, std::vector<GivenOption>& given) {
  for (const GivenOption& g : given) {
    if (g.row == row) {
      return written + " given twice" + (g.written == written ? "" : " (first as " + g.written + ")");
    }
    if (excludes(row, g.row) || excludes(g.row, row)) return g.written + " and " + written + " exclude each other";
  }
  given.push_back({row, written});
  return "";
}

// Sets every flag of a group of short flags (-iq); false, setting none, when one
// letter is not a flag. A letter given before, or twice in the group, is a usage error.
bool set_flag_group(const std::string& word, CliOptions& options, std::vector<GivenOption>& given,
                    std::string& error) {
  for (size_t k = 1; k < word.size(); ++k) {
    if (!is_flag(find_option(std::string("-") + word[k]))) return false;
  }
  for (size_t k = 1; k < word.size() && error.empty(); ++k) {
    const std::string letter = std::string("-") + word[k];
    error = note_given(find_option(letter), letter, given);
    if (error.empty()) find_option(letter)->set("", options);
  }
  return true;
}

// True for an option that may stand among the inputs after '--': -o and -d, apart from their value.
bool is_option_after_inputs_end(const std::string& word) {
  const CliOption* row = word.size() == 2 ? find_option(word) : nullptr;
  return row && row->after_inputs_end;
}

bool is_input(const std::string& word, bool only_inputs) {
  if (only_inputs) return !is_option_after_inputs_end(word);
  return word == "-" || word.empty() || word[0] != '-';
}

// One option word split into its name and a value glued to it: -t200, --density=200.
struct OptionWord {
  std::string name, value;
  bool has_value = false;
};

OptionWord split_option_word(const std::string& word) {
  OptionWord w{word, "", false};
  if (word.compare(0, 2, "--") == 0) {
    const size_t eq = word.find('=');
    if (eq != std::string::npos) w = OptionWord{word.substr(0, eq), word.substr(eq + 1), true};
  } else if (word.size() > 2) {
    w = OptionWord{word.substr(0, 2), word.substr(2), true};
  }
  return w;
}

// The column of an option's name and value in --help: "  -t, --density N".
std::string help_left_column(const CliOption& row) {
  std::string left = row.short_name ? std::string("  -") + row.short_name : std::string("    ");
  if (row.long_name) left += std::string(row.short_name ? ", --" : "  --") + row.long_name;
  if (row.argument) left += std::string(" ") + row.argument;
  return left;
}

}  // namespace

ParseOutcome parse_cli_options(const std::vector<std::string>& args, CliOptions& options, std::string& error) {
  options = CliOptions();
  error.clear();
  std::vector<GivenOption> given;
  bool only_inputs = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (is_input(word, only_inputs)) {
      options.inputs.push_back(word);
      continue;
    }
    if (word == "--") {
      only_inputs = true;
      continue;
    }
    OptionWord w = split_option_word(word);
    const CliOption* row = find_option(w.name);
    const bool takes_value = row && row->argument;
    if (takes_value && !w.has_value) {
      if (i + 1 >= args.size()) {
        error = "option " + w.name + " needs a value";
        return ParseOutcome::kUsage;
      }
      w.value = args[++i];
    } else if (!takes_value && w.has_value) {
      if (word[1] != '-' && set_flag_group(word, options, given, error)) {
        if (!error.empty()) return ParseOutcome::kUsage;
        continue;
      }
      row = nullptr;
    }
    if (!row) {
      error = "unknown option " + word;
      return ParseOutcome::kUsage;
    }
    if (row->outcome != ParseOutcome::kRun) return row->outcome;
    error = note_given(row, w.name, given);
    if (!error.empty()) return ParseOutcome::kUsage;
    if (!row->set(w.value, options)) {
      error = (row->invalid ? std::string(row->invalid) : "bad value for option " + w.name) + ": " + w.value;
      return ParseOutcome::kUsage;
    }
  }
  const CliOptionSections sections = cli_option_sections();
  for (size_t s = 0; s < sections.count; ++s) {
    if (sections.list[s]->check) error = sections.list[s]->check(options);
    if (!error.empty()) return ParseOutcome::kUsage;
  }
  return ParseOutcome::kRun;
}

std::string cli_help_text() {
  const CliOptionSections sections = cli_option_sections();
  size_t width = 0;
  for (size_t s = 0; s < sections.count; ++s) {
    for (size_t r = 0; r < sections.list[s]->count; ++r) {
      width = std::max(width, help_left_column(sections.list[s]->rows[r]).size());
    }
  }
  std::string text = kUsageLine;
  for (size_t s = 0; s < sections.count; ++s) {
    const CliOptionSection& section = *sections.list[s];
    text += std::string("\n") + section.heading + ":\n";
    for (size_t r = 0; r < section.count; ++r) {
      const std::string left = help_left_column(section.rows[r]);
      text += left + std::string(width + 2 - left.size(), ' ');
      // A help text's further lines are indented to its column.
      for (const char* c = section.rows[r].help; *c; ++c) {
        text += *c == '\n' ? "\n" + std::string(width + 2, ' ') : std::string(1, *c);
      }
      text += "\n";
    }
  }
  return text + "\n" + kInputNotes;
}
