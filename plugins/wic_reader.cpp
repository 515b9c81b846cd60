// The shipped image-reader plug-in: decodes PNG, JPEG, GIF, TIFF and whatever else
// the platform's Windows Imaging Component can read, from the memory image of the
// file, into a 24-bit bottom-up picture. Transparent pixels are laid over white.
#include <windows.h>
#include <wincodec.h>

#include <cstdint>
#include <cstring>

#include "image/file_resolution.h"

namespace {

enum Failure { kOk = 0, kNotMemory = 1, kNoDecoder = 2, kDecodeFailed = 3, kNoMemory = 4, kTooLarge = 5 };

// Pictures beyond this many bytes of rows are refused rather than half-allocated.
constexpr unsigned long long kMaxPixelBytes = 0x7FFFFFFFull;
constexpr UINT kRowsPerStrip = 64;

// True when the first bytes are those of a format the imaging component reads.
bool known_signature(const unsigned char* b, size_t n) {
  static const unsigned char png[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (n >= 8 && std::memcmp(b, png, 8) == 0) return true;
  if (n >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return true;  // JPEG
  if (n >= 6 && (std::memcmp(b, "GIF87a", 6) == 0 || std::memcmp(b, "GIF89a", 6) == 0)) return true;
  if (n >= 4 && (std::memcmp(b, "II*\0", 4) == 0 || std::memcmp(b, "MM\0*", 4) == 0)) return true;  // TIFF
  if (n >= 4 && b[0] == 0 && b[1] == 0 && b[2] == 1 && b[3] == 0) return true;                       // icon
  if (n >= 4 && std::memcmp(b, "DDS ", 4) == 0) return true;
  if (n >= 4 && b[0] == 'I' && b[1] == 'I' && b[2] == 0xBC) return true;  // HD Photo
  return false;
}

template <class T>
class ComRef {
 public:
  ~ComRef() {
    if (p_) p_->Release();
  }
  T** out() { return &p_; }
  T* operator->() const { return p_; }
  T* get() const { return p_; }

 private:
  T* p_ = nullptr;
};

class ComApartment {
 public:
  ComApartment() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComApartment() {
    if (initialised_) CoUninitialize();
  }

 private:
  bool initialised_;
};

// Lays a straight-alpha BGRA row over white into 24-bit blue, green, red.
void composite_row(const unsigned char* bgra, UINT width, unsigned char* out) {
  for (UINT x = 0; x < width; ++x, bgra += 4, out += 3) {
    const unsigned a = bgra[3];
    if (a == 255) {
      out[0] = bgra[0];
      out[1] = bgra[1];
      out[2] = bgra[2];
    } else {
      for (int c = 0; c < 3; ++c) out[c] = static_cast<unsigned char>((bgra[c] * a + 255 * (255 - a) + 127) / 255);
    }
  }
}

struct Decoded {
  HLOCAL info = nullptr;
  HLOCAL pixels = nullptr;
  ~Decoded() {
    if (info) LocalFree(info);
    if (pixels) LocalFree(pixels);
  }
};

int decode(const unsigned char* file, UINT length, Decoded& out) {
  ComApartment apartment;
  ComRef<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                              reinterpret_cast<void**>(factory.out()))))
    return kNoDecoder;
  ComRef<IWICStream> stream;
  if (FAILED(factory->CreateStream(stream.out())) ||
      FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(file), length)))
    return kNoMemory;
  ComRef<IWICBitmapDecoder> decoder;
  if (FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.out())))
    return kNoDecoder;
  ComRef<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder->GetFrame(0, frame.out()))) return kDecodeFailed;
  UINT width = 0, height = 0;
  if (FAILED(frame->GetSize(&width, &height)) || width == 0 || height == 0) return kDecodeFailed;
  const unsigned long long stride = (3ull * width + 3) & ~3ull;
  if (width > 0x7FFFFFF || height > 0x7FFFFFFF || stride * height > kMaxPixelBytes) return kTooLarge;
  ComRef<IWICFormatConverter> converter;
  if (FAILED(factory->CreateFormatConverter(converter.out())) ||
      FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom)))
    return kDecodeFailed;

  // Decoders report a default for files without a resolution, and a PNG's own
  // figures are exact where the decoder's inch values would round.
  FileResolution resolution = file_resolution(file, length);
  double dpi_x = 0, dpi_y = 0;
  if (resolution.recorded && !resolution.exact && SUCCEEDED(frame->GetResolution(&dpi_x, &dpi_y))) {
    resolution.x = pixels_per_metre(dpi_x);
    resolution.y = pixels_per_metre(dpi_y);
  }

  out.pixels = LocalAlloc(LMEM_MOVEABLE, static_cast<SIZE_T>(stride * height));
  out.info = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, sizeof(BITMAPINFOHEADER));
  const UINT strip_rows = height < kRowsPerStrip ? height : kRowsPerStrip;
  unsigned char* strip = static_cast<unsigned char*>(HeapAlloc(GetProcessHeap(), 0, 4ull * width * strip_rows));
  if (!out.pixels || !out.info || !strip) {
    if (strip) HeapFree(GetProcessHeap(), 0, strip);
    return kNoMemory;
  }
  unsigned char* rows = static_cast<unsigned char*>(LocalLock(out.pixels));
  HRESULT copied = S_OK;
  // The imaging component delivers rows top-down; the picture is stored bottom-up.
  for (UINT top = 0; top < height && SUCCEEDED(copied); top += strip_rows) {
    const UINT count = height - top < strip_rows ? height - top : strip_rows;
    const WICRect rect = {0, static_cast<INT>(top), static_cast<INT>(width), static_cast<INT>(count)};
    copied = converter->CopyPixels(&rect, 4 * width, 4 * width * count, strip);
    for (UINT i = 0; SUCCEEDED(copied) && i < count; ++i) {
      const size_t row = height - 1 - (top + i);
      composite_row(strip + 4ull * width * i, width, rows + row * stride);
      const size_t padding = static_cast<size_t>(stride) - 3ull * width;
      if (padding) std::memset(rows + row * stride + 3ull * width, 0, padding);
    }
  }
  LocalUnlock(out.pixels);
  HeapFree(GetProcessHeap(), 0, strip);
  if (FAILED(copied)) return kDecodeFailed;

  BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(LocalLock(out.info));
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = static_cast<LONG>(width);
  header->biHeight = static_cast<LONG>(height);
  header->biPlanes = 1;
  header->biBitCount = 24;
  header->biCompression = BI_RGB;
  header->biSizeImage = static_cast<DWORD>(stride * height);
  header->biXPelsPerMeter = resolution.x;
  header->biYPelsPerMeter = resolution.y;
  LocalUnlock(out.info);
  return kOk;
}

}  // namespace

extern "C" {

// Recognises the file from its first bytes, read through the handle the reader passes.
__declspec(dllexport) int WINAPI IsSupported(LPCSTR name, DWORD data) {
  if (name != nullptr) return 0;
  unsigned char head[16] = {};
  const UINT got = _lread(static_cast<HFILE>(data), head, sizeof head);
  if (got == static_cast<UINT>(HFILE_ERROR)) return 0;
  return known_signature(head, got) ? 1 : 0;
}

// Decodes the memory image of the file (flags 1) into an information block and a
// pixel block, both of the local family; returns 0 on success.
__declspec(dllexport) int WINAPI GetPicture(LPCSTR buffer, LONG length, UINT flags, HLOCAL* info, HLOCAL* pixels,
                                            FARPROC, LONG) {
  if ((flags & 7) != 1 || !buffer || length <= 0 || !info || !pixels) return kNotMemory;
  Decoded decoded;
  int outcome = kDecodeFailed;
  try {
    outcome = decode(reinterpret_cast<const unsigned char*>(buffer), static_cast<UINT>(length), decoded);
  } catch (...) {
    outcome = kNoMemory;
  }
  if (outcome != kOk) return outcome;
  *info = decoded.info;
  *pixels = decoded.pixels;
  decoded.info = decoded.pixels = nullptr;
  return kOk;
}

}  // extern "C"
