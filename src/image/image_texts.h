// Texts of the picture readers: the Japanese ones as Shift-JIS bytes, the English
// ones as string-table ids.
#ifndef QVX_IMAGE_TEXTS_H
#define QVX_IMAGE_TEXTS_H

#include <cstddef>
#include <cstdint>

extern const char kJaErrorTitle[];
extern const char kEnErrorTitle[];
extern const char kJaReadPrefix[];
extern const char kJaNoMemory[];

// Returns the Japanese message of a reader result code 1..7 (a format with one %s for code 1).
const char* japanese_read_message(int code);

// Returns the string-table id of the English message of a reader result code 1..7.
int english_read_message_id(int code);

// Returns the English message of a reader result code 1..7, the text the string
// table holds under english_read_message_id(code) (a format with one %s for code 1).
const char* english_read_message(int code);

// Returns the compression word appended to the caption ("  Normal", "  RLE8", ...).
const char* compression_word(uint32_t mask_byte_count, uint32_t compression);

// Formats "QUILLVEX- <file> <w> * <h> * <bits>" and the compression word into out.
void format_caption(const char* file_name, int32_t width, int32_t height, unsigned bit_count,
                    uint32_t mask_byte_count, uint32_t compression, char* out, size_t out_size);

// Formats the prefix followed by the code's message (for code 1 with the file name) into out.
void format_read_failure(const char* prefix, const char* message, int code, const char* file_name, char* out,
                         size_t out_size);

#endif
