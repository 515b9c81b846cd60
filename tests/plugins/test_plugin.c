/* A plug-in for the tests, built once per behaviour (QVX_KIND). It takes files
   that start with "QVXT" followed by their own length (32-bit, little-endian),
   and checks every argument the reader passes, so a wrong call shows as a refusal. */
#include <windows.h>
#include <string.h>

#define KIND_REFUSE 1
#define KIND_FAIL 2
#define KIND_PIC8 3
#define KIND_PIC24 4
#define KIND_TOP_DOWN 5
#define KIND_SIZE0 6
#define KIND_BITFIELDS 7
#define KIND_NO_GETPICTURE 8
#define KIND_EMPTY 9

static DWORD le32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | ((DWORD)p[3] << 24); }

__declspec(dllexport) int WINAPI IsSupported(LPCSTR name, DWORD data) {
  unsigned char head[4];
  if (QVX_KIND == KIND_REFUSE || name != NULL) return 0;
  /* The reader puts the file at its start before asking. */
  if (_lread((HFILE)data, head, 4) != 4) return 0;
  return memcmp(head, "QVXT", 4) == 0;
}

#if QVX_KIND != KIND_NO_GETPICTURE

struct Picture {
  LONG width, height;
  WORD bit_count;
  DWORD compression, image_size, colours_used, table_entries;
  const unsigned char* rows;
  DWORD row_bytes;
};

/* 8 bits: 4 x 2, 256 grey entries, colours used 0. */
static const unsigned char rows8[] = {0, 85, 170, 255, 255, 170, 85, 0};
/* 24 bits: 3 x 2, blue green red per pixel, rows padded to 12 bytes. */
static const unsigned char rows24[] = {255, 255, 255, 0, 0, 0, 0, 0, 255, 0, 0, 0,
                                       0, 255, 0, 255, 0, 0, 128, 128, 128, 0, 0, 0};
/* 32 bits with compression 3: 2 x 2, read as plain 32-bit values. */
static const unsigned char rows32[] = {255, 255, 255, 0, 0, 0, 0, 0, 0, 0, 255, 0, 10, 200, 10, 0};

static struct Picture picture_of_kind(void) {
  struct Picture p;
  memset(&p, 0, sizeof p);
  switch (QVX_KIND) {
    case KIND_PIC8:
      p.width = 4; p.height = 2; p.bit_count = 8; p.image_size = 8; p.table_entries = 256;
      p.rows = rows8; p.row_bytes = sizeof rows8;
      break;
    case KIND_PIC24:
      p.width = 3; p.height = 2; p.bit_count = 24; p.image_size = 24;
      p.rows = rows24; p.row_bytes = sizeof rows24;
      break;
    case KIND_TOP_DOWN:
      p.width = 3; p.height = -2; p.bit_count = 24; p.image_size = 24;
      p.rows = rows24; p.row_bytes = sizeof rows24;
      break;
    case KIND_SIZE0:
      p.width = 3; p.height = -2; p.bit_count = 24; p.image_size = 0;
      p.rows = rows24; p.row_bytes = sizeof rows24;
      break;
    case KIND_BITFIELDS:
      p.width = 2; p.height = 2; p.bit_count = 32; p.compression = 3; p.image_size = 16;
      p.rows = rows32; p.row_bytes = sizeof rows32;
      break;
    case KIND_EMPTY: /* 0 x 2: no pixels; one byte delivered all the same */
      p.width = 0; p.height = 2; p.bit_count = 24; p.image_size = 0;
      p.rows = rows24; p.row_bytes = 1;
      break;
  }
  return p;
}

__declspec(dllexport) int WINAPI GetPicture(LPCSTR buffer, LONG length, UINT flags, HLOCAL* info, HLOCAL* pixels,
                                            FARPROC progress, LONG data) {
  struct Picture p;
  BITMAPINFOHEADER* header;
  unsigned char* bytes;
  DWORD i;
  if (!buffer || length < 8 || flags != 1 || !info || !pixels || progress || data) return 2;
  if (memcmp(buffer, "QVXT", 4) != 0 || le32((const unsigned char*)buffer + 4) != (DWORD)length) return 2;
  if (QVX_KIND == KIND_FAIL) return 1;
  p = picture_of_kind();
  *info = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, sizeof(BITMAPINFOHEADER) + 4 * p.table_entries);
  *pixels = LocalAlloc(LMEM_MOVEABLE, p.row_bytes);
  if (!*info || !*pixels) return 3;
  header = (BITMAPINFOHEADER*)LocalLock(*info);
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = p.width;
  header->biHeight = p.height;
  header->biPlanes = 1;
  header->biBitCount = p.bit_count;
  header->biCompression = p.compression;
  header->biSizeImage = p.image_size;
  header->biXPelsPerMeter = 2835;
  header->biYPelsPerMeter = 3780;
  header->biClrUsed = p.colours_used;
  for (i = 0; i < p.table_entries; ++i) {
    unsigned char* entry = (unsigned char*)(header + 1) + 4 * i;
    entry[0] = entry[1] = entry[2] = (unsigned char)i;
  }
  LocalUnlock(*info);
  bytes = (unsigned char*)LocalLock(*pixels);
  memcpy(bytes, p.rows, p.row_bytes);
  LocalUnlock(*pixels);
  return 0;
}

#endif
