// Texts of the writer.
#ifndef QVX_MONO_TEXTS_H
#define QVX_MONO_TEXTS_H

#include <cstddef>

// Formats the message for a file that can't be written, in the chosen language.
void format_save_failure(bool japanese, const char* file_name, char* out, size_t out_size);

#endif
