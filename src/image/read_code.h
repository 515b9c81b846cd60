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
  // Memory ran out in a front end that reads in strips (the command, the page, the
  // Python module); the Windows program's readers say kTooLarge for a block they can't have.
  kNoMemory = 8,
  kNoSignature = -1,  // not a BMP file: the plug-in reader takes over
};

// The cause of short pixel data, the reader's most common failure.
constexpr char kShortPixelData[] = "file shorter than its header says";

#endif
