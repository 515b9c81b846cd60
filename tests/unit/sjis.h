// Shift-JIS bytes of a UTF-8 text, so tests can state Japanese texts readably and
// check the stored bytes against an independent encoder.
#ifndef QVX_TEST_SJIS_H
#define QVX_TEST_SJIS_H

#include <iconv.h>

#include <stdexcept>
#include <string>

inline std::string sjis(const std::string& utf8) {
  iconv_t converter = iconv_open("CP932", "UTF-8");
  if (converter == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("no CP932 converter");
  std::string out(utf8.size() * 2 + 4, '\0');
  char* in_bytes = const_cast<char*>(utf8.data());
  size_t in_left = utf8.size();
  char* out_bytes = &out[0];
  size_t out_left = out.size();
  const size_t done = iconv(converter, &in_bytes, &in_left, &out_bytes, &out_left);
  iconv_close(converter);
  if (done == static_cast<size_t>(-1)) throw std::runtime_error("not encodable: " + utf8);
  out.resize(out.size() - out_left);
  return out;
}

#endif
