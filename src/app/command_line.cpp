#include "app/command_line.h"

#include <cstring>
#include <new>

#include "res/resource_ids.h"

bool is_shift_jis_lead_byte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool is_single_byte_lead_byte(unsigned char) { return false; }

namespace {

// The line with, for every byte, whether it is the second byte of a double-byte
// character. Only a full left-to-right walk tells: a trail byte may itself look
// like a lead byte, so looking at the previous byte alone misjudges.
struct ScannedLine {
  const char* text;
  size_t length;
  std::vector<bool> trail;

  ScannedLine(const char* line, LeadByteTest is_lead_byte)
      : text(line), length(std::strlen(line)), trail(length, false) {
    for (size_t i = 0; i + 1 < length; ++i) {
      if (is_lead_byte(static_cast<unsigned char>(text[i]))) {
        trail[i + 1] = true;
        ++i;
      }
    }
  }

  // A backslash that is a character of its own, not half of a double-byte one.
  bool real_backslash(size_t i) const { return text[i] == '\\' && !trail[i]; }
  bool escaped_quote(size_t i) const { return text[i] == '"' && i > 0 && real_backslash(i - 1); }
};

// The stored form of the word [begin, end): trailing spaces dropped, then the
// quoting characters: unescaped quotes, and backslashes that escape a quote.
// A quote that starts a word follows a space, so escapes never cross words.
std::string stored_word(const ScannedLine& line, size_t begin, size_t end) {
  while (end > begin && line.text[end - 1] == ' ') --end;
  std::string word;
  word.reserve(end - begin);
  for (size_t i = begin; i < end; ++i) {
    if (line.text[i] == '"' && !line.escaped_quote(i)) continue;
    if (line.real_backslash(i) && i + 1 < end && line.text[i + 1] == '"') continue;
    word.push_back(line.text[i]);
  }
  return word;
}

// Whether c, outside quotes and not the word's first character, ends the word.
// Program path and options end at a space; file names may hold spaces.
bool ends_word(char c, size_t word_index, char word_first) {
  if (c == '/') return true;
  return c == ' ' && (word_index == 0 || word_first == '/');
}

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool is_option(const std::string& word, char letter) {
  return word.size() == 2 && word[0] == '/' && upper(word[1]) == letter;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The density option's value: the digits after the slash, limited to kDensityMin..kDensityMax.
int density_value(const std::string& word) {
  int value = 0;
  for (size_t i = 1; i < word.size() && is_digit(word[i]); ++i) {
    value = value * 10 + (word[i] - '0');
    if (value > kDensityMax) return kDensityMax;
  }
  return value;
}

}  // namespace

std::vector<std::string> split_command_line(const char* line, LeadByteTest is_lead_byte) {
  std::vector<std::string> words;
  if (line == nullptr || *line == '\0') return words;
  const ScannedLine scanned(line, is_lead_byte);
  try {
    bool quoted = false;
    size_t start = 0;
    size_t i = 0;
    while (i < scanned.length) {
      const char c = line[i];
      if (c == '"' && !scanned.escaped_quote(i)) {
        quoted = !quoted;
      } else if (!quoted && i != start && ends_word(c, words.size(), line[start])) {
        words.push_back(stored_word(scanned, start, i));
        if (words.size() == static_cast<size_t>(kMaxCommandWords)) return words;
        while (i < scanned.length && line[i] == ' ') ++i;
        if (i == scanned.length) return words;
        // The separator (a slash) or the next non-space is the new word's first
        // character and must pass through the quote test above.
        start = i;
        continue;
      }
      ++i;
    }
    words.push_back(stored_word(scanned, start, scanned.length));
  } catch (const std::bad_alloc&) {
    // Keep the words stored so far.
  }
  return words;
}

size_t scan_options(const std::vector<std::string>& words, StartOptions& options) {
  size_t index = 1;
  if (index < words.size() && is_option(words[index], 'V')) {
    options.arrangement = IDM_VIEWER;
    ++index;
  }
  if (index < words.size() && words[index].size() >= 2 && words[index][0] == '/' && is_digit(words[index][1])) {
    options.initial_density = density_value(words[index]);
    ++index;
  }
  if (index < words.size() && (words[index].empty() || words[index][0] != '/')) {
    options.file = words[index];
    ++index;
  }
  if (index < words.size() && is_option(words[index], 'O')) {
    options.batch = true;
    ++index;
  }
  return scan_mode_and_invert(words, index, options);
}

size_t scan_mode_and_invert(const std::vector<std::string>& words, size_t index, StartOptions& options) {
  if (index < words.size()) {
    static const char kModeLetters[] = {'M', 'H', 'S'};
    for (int mode = 0; mode < 3; ++mode) {
      if (is_option(words[index], kModeLetters[mode])) {
        options.mode = mode;
        ++index;
        break;
      }
    }
  }
  if (index < words.size() && is_option(words[index], 'R')) {
    options.invert = true;
    ++index;
  }
  return index;
}

size_t scan_batch_output(const std::vector<std::string>& words, size_t index, StartOptions& options,
                         std::string& output) {
  output.clear();
  if (index < words.size() && (words[index].empty() || words[index][0] != '/')) {
    output = words[index];
    ++index;
  }
  return scan_mode_and_invert(words, index, options);
}
