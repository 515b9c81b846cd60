// Options that take one of a few words: each option's words and values in a table.
#ifndef QVX_DEVICE_WORD_TABLE_H
#define QVX_DEVICE_WORD_TABLE_H

#include <cstddef>
#include <string_view>

template <typename T>
struct Word {
  const char* text;
  T value;
};

// Returns true and sets `out` when `text` is one of the table's words.
template <typename T, size_t N>
bool find_word(const Word<T> (&table)[N], std::string_view text, T& out) {
  for (const Word<T>& w : table) {
    if (text == w.text) {
      out = w.value;
      return true;
    }
  }
  return false;
}

#endif
