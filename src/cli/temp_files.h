// Temporary files of quillvex-cli: nameless ones where the system allows, and the
// few named ones removed again when the process is interrupted.
#ifndef QVX_CLI_TEMP_FILES_H
#define QVX_CLI_TEMP_FILES_H

#include <cstddef>
#include <cstdint>
#include <string>

// The most threads that make temporary files at once (each holds one named file at a time).
constexpr int kMaxPendingThreads = 256;

// Returns a descriptor of a new read-write file in `folder` that has no name (so
// that nothing is left whatever ends the process), or -1 with errno set.
// `can_link` says whether it can later be given a name with name_anonymous_file.
int open_anonymous_file(const std::string& folder, bool& can_link);

// Gives an anonymous file a new unique name beside `target` and renames it over the
// target. Returns false with errno set; nothing named is left then.
bool name_anonymous_file(int fd, const std::string& target);

// Creates a named temporary file beside `target`, removed on SIGINT, SIGTERM,
// SIGHUP and SIGPIPE until it is renamed; returns its descriptor or -1.
int open_named_temp(const std::string& target, std::string& path);

// Makes a picture file that another program cuts short while it is read through a
// mapping end the process with one message and status 1, its named temporary files
// removed, instead of a bus error.
void handle_cut_inputs();

// Renames a named temporary file over the target; false with errno set.
bool rename_named_temp(std::string& path, const std::string& target);

// Removes a named temporary file (when path is not empty) and forgets it.
void remove_named_temp(std::string& path);

// Writes every byte, retrying after signals; false with errno set.
bool write_fully(int fd, const uint8_t* bytes, size_t count);

// The folder of a path ("." for a bare name).
std::string folder_of(const std::string& path);

// TMPDIR, else /tmp.
std::string temp_folder();

#endif
