// The refusals of the device options' values, in the command's words: the command's
// option rows and the page's settings both say them.
#ifndef QVX_PIPELINE_DEVICE_OPTION_TEXTS_H
#define QVX_PIPELINE_DEVICE_OPTION_TEXTS_H

inline constexpr char kLayoutRefusal[] =
    "--layout must be rows-msb, rows-lsb, pages, columns-msb, 2bpp-msb, 4bpp-msb or planes";
inline constexpr char kOnRefusal[] = "--on must be black or white";
inline constexpr char kNameRefusal[] = "--name must not be empty";
inline constexpr char kBandRefusal[] = "--band must be a number from 1 to 2303";
inline constexpr char kPlaneOnRefusal[] = "--plane-on must be black or white, or two of them: white,black";
inline constexpr char kCodesRefusal[] = "--codes must be a list of codes 0..15, one for each index: 0,1,2,3,5,6";
inline constexpr char kPresetRefusal[] = "--preset must be a name --list-presets prints";

#endif
