// Reading a picture file into the store.
#ifndef QVX_BMP_FILE_WIN32_H
#define QVX_BMP_FILE_WIN32_H

// Returns a reader result code 0..7; files without a BMP signature go to the
// plug-ins, which depend on the platform version (major * 256 + minor).
int read_file(const char* file_name, unsigned short platform_version);

#endif
