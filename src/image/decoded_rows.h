// Pictures decoded by a library (or the browser) rather than the BMP reader: their
// samples become 0xRRGGBB colours, transparent ones laid over white as the plug-in
// lays them, and they get the 40-byte header of a 24-bit bottom-up picture, which
// the outputs copy.
#ifndef QVX_DECODED_ROWS_H
#define QVX_DECODED_ROWS_H

#include <cstdint>

// Fills out[0 .. width-1] from 8-bit samples of `bands` bands a pixel: grey, grey
// and alpha, RGB or RGBA.
void colours_of_samples(const uint8_t* samples, int32_t width, int bands, uint32_t* out);

// Writes the 40-byte header of a decoded picture (resolutions in pixels per metre).
void decoded_header(int32_t width, int32_t height, int32_t x_resolution, int32_t y_resolution, uint8_t* header40);

#endif
