// The module's table: libpng's writer from png_output.cpp, libtiff's here.
#include "pipeline/codec_module.h"

#if defined(QVX_CLI_PNG) || defined(QVX_CLI_TIFF)
#include "pipeline/png_output.h"

#ifdef QVX_CLI_TIFF
#include <tiffio.h>
#include <unistd.h>
#endif

namespace {

#ifdef QVX_CLI_TIFF
bool begin_tiff(void** codec, FILE* file, int32_t width, int32_t height, int32_t x_resolution, int32_t y_resolution) {
  TIFFSetErrorHandler(nullptr);
  TIFFSetWarningHandler(nullptr);
  std::fflush(file);
  // libtiff closes the descriptor it is given: hand it a copy.
  TIFF* t = TIFFFdOpen(dup(fileno(file)), "output", "w");
  if (!t) return false;
  *codec = t;
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(width));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(height));
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);  // a set bit is white, as in the result
  TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  // Strips of about 8 KiB of rows, so the encoder holds only a few rows at a time.
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
  if (x_resolution > 0 && y_resolution > 0) {
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_CENTIMETER);
    TIFFSetField(t, TIFFTAG_XRESOLUTION, static_cast<float>(x_resolution / 100.0));
    TIFFSetField(t, TIFFTAG_YRESOLUTION, static_cast<float>(y_resolution / 100.0));
  }
  return true;
}

bool write_tiff_row(void* codec, int32_t top, const uint8_t* row) {
  return TIFFWriteScanline(static_cast<TIFF*>(codec), const_cast<uint8_t*>(row), static_cast<uint32_t>(top), 0) == 1;
}

bool end_tiff(void* codec) { return TIFFFlush(static_cast<TIFF*>(codec)) == 1; }

void free_tiff(void** codec) {
  if (*codec) TIFFClose(static_cast<TIFF*>(*codec));
  *codec = nullptr;
}
#endif

const CodecFunctions kCodecFunctions = {
#ifdef QVX_CLI_PNG
    begin_png, write_png_row, end_png, free_png,
#else
    nullptr, nullptr, nullptr, nullptr,
#endif
#ifdef QVX_CLI_TIFF
    begin_tiff, write_tiff_row, end_tiff, free_tiff,
#else
    nullptr, nullptr, nullptr, nullptr,
#endif
};

}  // namespace

extern "C" __attribute__((visibility("default"))) const CodecFunctions* qvx_codec_functions() {
  return &kCodecFunctions;
}
#endif
