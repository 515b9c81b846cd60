// The settings file's name and values, and the shell-extension decision, apart
// from the platform calls that read them.
#ifndef QVX_SETTINGS_H
#define QVX_SETTINGS_H

#include <cstddef>

constexpr int kPathBufferSize = 260;

constexpr const char kSettingsFileName[] = "QUILLVEX.INI";
constexpr const char kSettingsSection[] = "QUILLVEX";
constexpr const char kKeymodeKey[] = "keymode";
constexpr const char kDialog3dKey[] = "dialog3d";

// The two persisted settings; dialog3d is read and written only on platform 3.95 or later.
struct Settings {
  int keymode = 0;
  int dialog3d = 1;
};

// Writes user_profile + "\QUILLVEX.INI" into out, or the bare "QUILLVEX.INI" when
// user_profile is null or empty; out is always zero-terminated when out_size > 0.
// Returns false when the path did not fit (out then holds the bare name).
bool settings_file_path(const char* user_profile, char* out, size_t out_size);

// Returns the decimal value of a setting's text: leading blanks, optional sign,
// digits up to the first other character; 0 without digits; clamped to int range.
int parse_setting_value(const char* text);

enum ShellExtensions { kExtensionsShown = 0, kExtensionsHidden = 1, kExtensionsUndetermined = 2 };

// Returns 0 (extensions shown), 1 (hidden) or 2 (undetermined) from the 16 bytes of
// "ShellState" when they were read, else from "HideFileExt" when it was read.
int shell_extension_decision(bool shell_state_read, const unsigned char* shell_state, bool hide_file_ext_read,
                             unsigned long hide_file_ext);

#endif
