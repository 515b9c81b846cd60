/* The English messages of the picture readers, one home for the string table of
   quillvex.exe (quillvex.rc includes this file) and for quillvex-cli's reasons
   (english_read_message in image_texts.h). Plain defines, so that the resource
   compiler reads it too. */
#ifndef QVX_ENGLISH_READ_TEXTS_H
#define QVX_ENGLISH_READ_TEXTS_H

#define QVX_EN_READ_FAILED "bitmap read failed."
#define QVX_EN_CANT_OPEN_FILE "Can't open file %s."
#define QVX_EN_NO_FILE_HEADER "Can't read bitmap file header."
#define QVX_EN_NOT_BITMAP "This file is not a bitmap file."
#define QVX_EN_NO_INFO_HEADER "Can't read bitmap info header."
#define QVX_EN_UNSUPPORTED "This file format is not supported."
#define QVX_EN_FILE_TOO_LARGE "File is too large."
#define QVX_EN_READ_ERROR "Read error."

#endif
