#include "mono/mono_texts.h"

#include <cstdio>

void format_save_failure(bool japanese, const char* file_name, char* out, size_t out_size) {
  if (japanese) {
    std::snprintf(out, out_size, "%s%s%s", "\x83t\x83@\x83" "C\x83\x8B '", file_name,
                  "' \x82\xF0\x8AJ\x82\xAF\x82\xDC\x82\xB9\x82\xF1\x81" "B");
  } else {
    std::snprintf(out, out_size, "cant open %s", file_name);
  }
}
