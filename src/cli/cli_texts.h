// The English reasons quillvex-cli gives, the same texts as the program's reader messages.
#ifndef QVX_CLI_TEXTS_H
#define QVX_CLI_TEXTS_H

#include <string>

// Returns the reason for a reader result code 1..7; code 1 names the file.
std::string read_failure_reason(int code, const std::string& file);

#endif
