// The outcome of reading a picture, shared by the file reader, the plug-in reader
// and quillvex-cli. The numbers of the failures order the reader's messages.
#ifndef QVX_READ_CODE_H
#define QVX_READ_CODE_H

enum class ReadCode : int {
  kOk = 0,
  kCantOpen = 1,
  kNoFileHeader = 2,
  kNotBitmap = 3,
  kNoInfoHeader = 4,
  kUnsupported = 5,
  kTooLarge = 6,
  kShortData = 7,
  kNoSignature = -1,  // not a BMP file: the plug-in reader takes over
};

#endif
