// Texts of the picture readers: the Japanese ones as Shift-JIS bytes, the English
// ones as string-table ids.
#ifndef QVX_IMAGE_TEXTS_H
#define QVX_IMAGE_TEXTS_H

#include <cstddef>
#include <cstdint>

#include "image/read_code.h"

extern const char kJaErrorTitle[];
extern const char kEnErrorTitle[];
extern const char kJaReadPrefix[];
extern const char kJaNoMemory[];

// Returns the Japanese message of a reader failure (a format with one %s for kCantOpen).
const char* japanese_read_message(ReadCode code);

// Returns the string-table id of the English message of a reader failure.
int english_read_message_id(ReadCode code);

// Returns the English message of a reader failure, the text the string table
// holds under english_read_message_id(code) (a format with one %s for kCantOpen).
const char* english_read_message(ReadCode code);

// Returns the compression word appended to the caption ("  Normal", "  RLE8", ...).
const char* compression_word(uint32_t mask_byte_count, uint32_t compression);

// Formats "QUILLVEX- <file> <w> * <h> * <bits>" and the compression word into out.
void format_caption(const char* file_name, int32_t width, int32_t height, unsigned bit_count,
                    uint32_t mask_byte_count, uint32_t compression, char* out, size_t out_size);

// Formats the prefix followed by the code's message (for kCantOpen with the file name) into out.
void format_read_failure(const char* prefix, const char* message, ReadCode code, const char* file_name, char* out,
                         size_t out_size);

#endif
