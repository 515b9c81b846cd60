// The settings file and the shell's extension setting through the platform's
// private-profile and registry calls.
#ifndef QVX_SETTINGS_WIN32_H
#define QVX_SETTINGS_WIN32_H

#include "app/settings.h"

// Fills s from the settings file at path; missing keys give keymode 0 and
// dialog3d 1. dialog3d is read only when newer_platform (version number > 862).
void read_settings(const char* path, bool newer_platform, Settings& s);

// Writes keymode, and dialog3d when newer_platform, to the settings file at path.
void write_settings(const char* path, bool newer_platform, const Settings& s);

// Returns 0 when the shell shows file-name extensions, 1 when it hides them,
// 2 when the registry does not say.
int query_shell_extension();

#endif
