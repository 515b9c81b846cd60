#include "app/picture_commands_win32.h"

#include <cstring>
#include <string>
#include <vector>

#include "app/control_bar.h"
#include "app/density_slider_win32.h"
#include "app/frame_state_win32.h"
#include "app/scroll_win32.h"
#include "image/bmp_file_win32.h"
#include "image/bmp_reader.h"
#include "image/clipboard_paste_win32.h"
#include "image/image_texts.h"
#include "image/le_bytes.h"
#include "image/store_win32.h"
#include "mono/clipboard_copy_win32.h"
#include "mono/conversion.h"
#include "mono/mono_texts.h"
#include "mono/convert_win32.h"
#include "mono/result_win32.h"
#include "mono/save_win32.h"
#include "res/resource_ids.h"

namespace {

void set_picture_commands(const FrameState& state, UINT menu_state) {
  EnableMenuItem(state.menu, IDM_SAVE_AS, MF_BYCOMMAND | menu_state);
  EnableMenuItem(state.menu, IDM_COPY, MF_BYCOMMAND | menu_state);
  EnableMenuItem(state.menu, IDM_INFO, MF_BYCOMMAND | menu_state);
}

void report_read_failure(FrameState& state, ReadCode code) {
  const std::string english_prefix = state.japanese ? "" : load_string(state, IDS_READ_FAILED);
  const std::string english_message = state.japanese ? "" : load_string(state, english_read_message_id(code));
  const char* prefix = state.japanese ? kJaReadPrefix : english_prefix.c_str();
  const char* message = state.japanese ? japanese_read_message(code) : english_message.c_str();
  char text[kScratchSize];
  format_read_failure(prefix, message, code, state.file_name, text, sizeof text);
  MessageBoxA(state.frame, text, state.japanese ? kJaErrorTitle : kEnErrorTitle, MB_OK | MB_ICONHAND);
}

// Leaves the frame as it is with no picture: commands grayed, plain caption, empty panes.
void show_no_picture(FrameState& state) {
  set_picture_commands(state, MF_GRAYED);
  state.picture.description.width = 0;
  state.picture.description.height = 0;
  SetWindowTextA(state.frame, "QUILLVEX");
  update_scroll_ranges(state, state.source_pane);
  repaint_source_pane(state);
  InvalidateRect(state.result_pane, nullptr, TRUE);
}

void show_failed_open(FrameState& state, ReadCode code) {
  report_read_failure(state, code);
  show_no_picture(state);
}

// A result bitmap that can't be sized leaves the picture unusable: it is treated
// like a failed open, so nothing reads the result beyond its real size. It is let go
// before the message, whose modal loop repaints the panes: a picture too large to
// convert is no picture the platform can be asked to draw either.
void show_no_memory(FrameState& state) {
  clean_up_picture(state.picture);
  state.picture.description.width = 0;
  state.picture.description.height = 0;
  MessageBoxA(state.frame, state.japanese ? kJaNoMemory : load_string(state, IDS_NO_MEMORY).c_str(), nullptr, MB_OK | MB_ICONHAND);
  show_no_picture(state);
}

// The writer's message names the file as it was given, also when that name was
// too long for the file-name buffer.
void show_save_failure(FrameState& state) {
  const char* name = state.file_name_too_long ? state.long_file_name.c_str() : state.file_name;
  std::vector<char> text(std::strlen(name) + kScratchSize);
  format_save_failure(state.japanese, name, text.data(), text.size());
  MessageBoxA(state.frame, text.data(), state.japanese ? kJaErrorTitle : kEnErrorTitle, MB_OK | MB_ICONHAND);
}

// The clipboard's refresh, given the frame window: converts the frame's picture.
bool convert_frame_result(HWND frame) {
  FrameState* state = frame_state(frame);
  return state && convert_or_drop(*state);
}

}  // namespace

bool open_picture(FrameState& state, bool paste) {
  if (paste) {
    PastedPicture pasted;
    if (!paste_from_clipboard(state.frame, pasted)) return false;
    clean_up_picture(state.picture);
    adopt_global_store(state.picture, pasted.block);
    state.picture.description = pasted.description;
  } else {
    clean_up_picture(state.picture);
    // A name that didn't fit the file-name buffer is never opened shortened.
    const ReadCode code = state.file_name_too_long           ? ReadCode::kCantOpen
                     : take_read_ahead(state.read_ahead, state.picture, state.file_name) ? ReadCode::kOk
                                                          : read_file(state.picture, state.file_name, state.version, state.plugins);
    if (code != ReadCode::kOk) {
      show_failed_open(state, code);
      return false;
    }
  }

  state.picture.loaded = true;
  {
    StoreLock lock(state.picture);
    const uint8_t* store = lock.get();
    if (!store) return false;
    describe_picture(store, state.picture.description);
    char caption[kScratchSize];
    format_caption(state.file_name, state.picture.description.width, state.picture.description.height,
                   get_u16(store + kBitCountField), state.picture.description.mask_byte_count,
                   get_u32(store + kCompressionField), caption, sizeof caption);
    SetWindowTextA(state.frame, caption);
  }
  if (!prepare_result_block(state.picture)) {
    show_no_memory(state);
    return false;
  }
  update_scroll_ranges(state, state.source_pane);
  // The platform must hold the decoded picture, or it would convert black.
  if (!set_up_read_back(state.picture, state.frame) || (!state.conversion.fast && !convert(state))) {
    show_no_memory(state);
    return false;
  }
  set_picture_commands(state, MF_ENABLED);
  repaint_source_pane(state);
  InvalidateRect(state.result_pane, nullptr, TRUE);
  if (state.palette_display) {
    StoreLock lock(state.picture);
    if (lock.get()) state.picture.display_palette = create_display_palette(state.picture, lock.get());
  }
  return true;
}

bool convert(FrameState& state) {
  int x = 0, y = 0;
  progress_text_position(state.metrics, state.text_height, x, y);
  return convert_into_result(state.picture, state.frame, current_density(state), state.conversion, state.random, x, y);
}

bool save_result(FrameState& state) {
  // A name that didn't fit is refused whole, never written under a shortened name.
  if (state.file_name_too_long || state.file_name[0] == 0) {
    show_save_failure(state);
    return false;
  }
  if (state.conversion.fast && !convert_or_drop(state)) return false;
  // A picture mapped from the very file being replaced lets the file go first.
  if (!release_store_file(state.picture, state.file_name)) {
    show_no_memory(state);
    return false;
  }
  if (!write_result_file(state.picture, state.file_name)) {
    show_save_failure(state);
    return false;
  }
  return true;
}

bool copy_result(FrameState& state) {
  // In fast mode the result is converted only when it is needed.
  return put_result_on_clipboard(state.picture, state.frame, state.conversion.fast ? convert_frame_result : nullptr);
}

bool convert_or_drop(FrameState& state) {
  if (convert(state)) return true;
  show_no_memory(state);
  return false;
}
