// The frame's picture commands: making a picture current (from the file named by the
// current file name, or pasted), converting it and saving the result.
#ifndef QVX_PICTURE_COMMANDS_WIN32_H
#define QVX_PICTURE_COMMANDS_WIN32_H

#include <windows.h>

#include "app/frame_state_win32.h"

// Returns true when the picture is loaded and shown, false when nothing was loaded.
bool open_picture(FrameState& state, bool paste);

// Converts the current picture; when the conversion can't get its memory, shows the
// memory message and leaves the frame with no picture. Returns true when converted.
bool convert_or_drop(FrameState& state);

// Converts the current picture at the density bar's position, with the progress drawn
// on the frame; false when the conversion can't get its memory.
bool convert(FrameState& state);

// Saves the result as a 1-bit BMP file under the current file name, with the
// writer's message when it can't; returns true when complete.
bool save_result(FrameState& state);

// Copies the result to the clipboard; returns true when the clipboard took it.
bool copy_result(FrameState& state);

#endif
