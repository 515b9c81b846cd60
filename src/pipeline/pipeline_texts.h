// The English texts quillvex-cli gives: the program's reader messages, and names
// and library reasons made fit for a one-line message.
#ifndef QVX_PIPELINE_PIPELINE_TEXTS_H
#define QVX_PIPELINE_PIPELINE_TEXTS_H

#include <cstdint>
#include <string>

#include "image/read_code.h"

// What every front end says when memory ran out.
extern const char kNotEnoughMemory[];

// Returns the program's English message for a reader failure; kCantOpen names the file.
std::string read_failure_reason(ReadCode code, const std::string& file);

// Returns the reason for a picture of more pixels than --max-pixels allows, with its size.
std::string too_many_pixels_reason(uint64_t width, uint64_t height, uint64_t max_pixels);

// Returns the name as given, or, when it holds control characters, in double
// quotes with those characters (and quotes and backslashes) escaped.
std::string quoted_name(const std::string& name);

// Returns the first line of a library's message, without its trailing stop or spaces.
std::string first_line(const std::string& text);

#endif
