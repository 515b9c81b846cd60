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

#endif
