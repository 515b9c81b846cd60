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

void set_picture_commands(UINT state) {
  EnableMenuItem(g_frame.menu, IDM_SAVE_AS, MF_BYCOMMAND | state);
  EnableMenuItem(g_frame.menu, IDM_COPY, MF_BYCOMMAND | state);
  EnableMenuItem(g_frame.menu, IDM_INFO, MF_BYCOMMAND | state);
}

void report_read_failure(HWND frame, ReadCode code) {
  const std::string english_prefix = g_frame.japanese ? "" : load_string(IDS_READ_FAILED);
  const std::string english_message = g_frame.japanese ? "" : load_string(english_read_message_id(code));
  const char* prefix = g_frame.japanese ? kJaReadPrefix : english_prefix.c_str();
  const char* message = g_frame.japanese ? japanese_read_message(code) : english_message.c_str();
  char text[kScratchSize];
  format_read_failure(prefix, message, code, g_frame.file_name, text, sizeof text);
  MessageBoxA(frame, text, g_frame.japanese ? kJaErrorTitle : kEnErrorTitle, MB_OK | MB_ICONHAND);
}

// Leaves the frame as it is with no picture: commands grayed, plain caption, empty panes.
void show_no_picture(HWND frame) {
  set_picture_commands(MF_GRAYED);
  g_frame.picture.description.width = 0;
  g_frame.picture.description.height = 0;
  SetWindowTextA(frame, "QUILLVEX");
  update_scroll_ranges(g_frame.source_pane);
  repaint_source_pane();
  InvalidateRect(g_frame.result_pane, nullptr, TRUE);
}

void show_failed_open(HWND frame, ReadCode code) {
  report_read_failure(frame, code);
  show_no_picture(frame);
}

// A result bitmap that can't be sized leaves the picture unusable: it is treated
// like a failed open, so nothing reads the result beyond its real size. It is let go
// before the message, whose modal loop repaints the panes: a picture too large to
// convert is no picture the platform can be asked to draw either.
void show_no_memory(HWND frame) {
  clean_up_picture(g_frame.picture);
  g_frame.picture.description.width = 0;
  g_frame.picture.description.height = 0;
  MessageBoxA(frame, g_frame.japanese ? kJaNoMemory : load_string(IDS_NO_MEMORY).c_str(), nullptr, MB_OK | MB_ICONHAND);
  show_no_picture(frame);
}

// The writer's message names the file as it was given, also when that name was
// too long for the file-name buffer.
void show_save_failure(HWND frame) {
  const char* name = g_frame.file_name_too_long ? g_frame.long_file_name.c_str() : g_frame.file_name;
  std::vector<char> text(std::strlen(name) + kScratchSize);
  format_save_failure(g_frame.japanese, name, text.data(), text.size());
  MessageBoxA(frame, text.data(), g_frame.japanese ? kJaErrorTitle : kEnErrorTitle, MB_OK | MB_ICONHAND);
}

}  // namespace

bool open_picture(HWND frame, bool paste) {
  if (paste) {
    PastedPicture pasted;
    if (!paste_from_clipboard(frame, pasted)) return false;
    clean_up_picture(g_frame.picture);
    adopt_global_store(g_frame.picture, pasted.block);
    g_frame.picture.description = pasted.description;
  } else {
    clean_up_picture(g_frame.picture);
    // A name that didn't fit the file-name buffer is never opened shortened.
    const ReadCode code = g_frame.file_name_too_long           ? ReadCode::kCantOpen
                     : take_read_ahead(g_frame.read_ahead, g_frame.picture, g_frame.file_name) ? ReadCode::kOk
                                                          : read_file(g_frame.picture, g_frame.file_name, g_frame.version, g_frame.plugins);
    if (code != ReadCode::kOk) {
      show_failed_open(frame, code);
      return false;
    }
  }

  g_frame.picture.loaded = true;
  {
    StoreLock lock(g_frame.picture);
    const uint8_t* store = lock.get();
    if (!store) return false;
    describe_picture(store, g_frame.picture.description);
    char caption[kScratchSize];
    format_caption(g_frame.file_name, g_frame.picture.description.width, g_frame.picture.description.height,
                   get_u16(store + kBitCountField), g_frame.picture.description.mask_byte_count,
                   get_u32(store + kCompressionField), caption, sizeof caption);
    SetWindowTextA(frame, caption);
  }
  if (!prepare_result_block(g_frame.picture)) {
    show_no_memory(frame);
    return false;
  }
  update_scroll_ranges(g_frame.source_pane);
  // The platform must hold the decoded picture, or it would convert black.
  if (!set_up_read_back(g_frame.picture, frame) || (!g_frame.conversion.fast && !convert(frame))) {
    show_no_memory(frame);
    return false;
  }
  set_picture_commands(MF_ENABLED);
  repaint_source_pane();
  InvalidateRect(g_frame.result_pane, nullptr, TRUE);
  if (g_frame.palette_display) {
    StoreLock lock(g_frame.picture);
    if (lock.get()) g_frame.picture.display_palette = create_display_palette(g_frame.picture, lock.get());
  }
  return true;
}

bool convert(HWND frame) {
  int x = 0, y = 0;
  progress_text_position(g_frame.metrics, g_frame.text_height, x, y);
  return convert_into_result(g_frame.picture, frame, current_density(), g_frame.conversion, g_frame.random, x, y);
}

bool save_result(HWND frame) {
  // A name that didn't fit is refused whole, never written under a shortened name.
  if (g_frame.file_name_too_long || g_frame.file_name[0] == 0) {
    show_save_failure(frame);
    return false;
  }
  if (g_frame.conversion.fast && !convert_or_drop(frame)) return false;
  // A picture mapped from the very file being replaced lets the file go first.
  if (!release_store_file(g_frame.picture, g_frame.file_name)) {
    show_no_memory(frame);
    return false;
  }
  if (!write_result_file(g_frame.picture, g_frame.file_name)) {
    show_save_failure(frame);
    return false;
  }
  return true;
}

bool copy_result(HWND frame) {
  // In fast mode the result is converted only when it is needed.
  return put_result_on_clipboard(g_frame.picture, frame, g_frame.conversion.fast ? convert_or_drop : nullptr);
}

bool convert_or_drop(HWND frame) {
  if (convert(frame)) return true;
  show_no_memory(frame);
  return false;
}
