// The result bitmap block and the operations on it that need the platform.
#ifndef QVX_RESULT_WIN32_H
#define QVX_RESULT_WIN32_H

#include <windows.h>

extern HGLOBAL g_result;

// Allocates the initial 48-byte result block (frame creation); false when it can't.
bool create_result_block();

// Frees the result block (frame destruction).
void free_result_block();

// Resizes the result block for the current picture and fills in its header; false when it can't.
bool prepare_result_block();

// Converts the current picture into the result block at a density, drawing the
// progress at (progress_x, progress_y) on the window; false when the conversion
// can't get its memory (nothing converted).
bool convert_into_result(HWND window, int density, int progress_x, int progress_y);

// Writes the result bitmap behind a file header to target through a new file beside
// it, which replaces the target only once every byte is written. Returns false, with
// the target as it was and no file left behind, when it can't.
bool write_result_file(const char* target);

#endif
