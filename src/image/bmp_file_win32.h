// Reading the file named by the current file name into the store.
#ifndef QVX_BMP_FILE_WIN32_H
#define QVX_BMP_FILE_WIN32_H

// Returns a reader result code 0..7; files without a BMP signature go to the plug-ins.
int read_file();

#endif
