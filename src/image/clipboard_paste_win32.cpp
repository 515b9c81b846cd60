#include "image/clipboard_paste_win32.h"

#include <cstring>

#include "base/guards_win32.h"
#include "image/dib_layout.h"
#include "image/le_bytes.h"

namespace {

// The clipboard, opened for the frame and closed on every path.
class OpenedClipboard {
 public:
  explicit OpenedClipboard(HWND owner) : open_(OpenClipboard(owner) != 0) {}
  ~OpenedClipboard() {
    if (open_) CloseClipboard();
  }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;
  bool ok() const { return open_; }

 private:
  bool open_;
};

// A new global block, freed unless it is handed on.
class NewBlock {
 public:
  explicit NewBlock(SIZE_T size) : block_(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size)) {}
  ~NewBlock() {
    if (block_) GlobalFree(block_);
  }
  NewBlock(const NewBlock&) = delete;
  NewBlock& operator=(const NewBlock&) = delete;
  HGLOBAL get() const { return block_; }
  bool grow(SIZE_T size) {
    HGLOBAL grown = GlobalReAlloc(block_, size, GMEM_MOVEABLE | GMEM_ZEROINIT);
    if (!grown) return false;
    block_ = grown;
    return true;
  }
  HGLOBAL hand_over() {
    HGLOBAL block = block_;
    block_ = nullptr;
    return block;
  }

 private:
  HGLOBAL block_;
};

// The pixels of an 8-bit device bitmap are indices into the clipboard palette.
// Some platforms (Wine on a true-colour display) fill the table from the bitmap's
// own default colours even with the palette realised, so its entries are written
// over the table as the bitmap's colours. A monochrome bitmap keeps its black and
// white: its bits are no palette indices.
void take_palette_colours(HPALETTE palette, uint8_t* store, uint32_t colour_count) {
  PALETTEENTRY entries[256];
  const UINT wanted = colour_count < 256 ? colour_count : 256;
  const UINT got = GetPaletteEntries(palette, 0, wanted, entries);
  for (UINT i = 0; i < got && i < wanted; ++i) {
    uint8_t* entry = store + kStoreHeaderSize + 4 * i;
    entry[0] = entries[i].peBlue;
    entry[1] = entries[i].peGreen;
    entry[2] = entries[i].peRed;
    entry[3] = 0;
  }
}

}  // namespace

bool paste_device_independent(HWND frame, PastedPicture& pasted) {
  OpenedClipboard clipboard(frame);
  if (!clipboard.ok()) return false;
  HGLOBAL source = GetClipboardData(CF_DIB);
  if (!source) return false;
  const SIZE_T size = GlobalSize(source);
  if (size < kStoreHeaderSize || size > UINT32_MAX) return false;
  NewBlock copy(size);
  if (!copy.get()) return false;
  uint32_t needed = 0;
  {
    GlobalLockGuard from(source);
    GlobalLockGuard to(copy.get());
    if (!from.get() || !to.get()) return false;
    std::memcpy(to.get(), from.get(), size);
    needed = lay_out_pasted_dib(to.get(), static_cast<uint32_t>(size), pasted.description);
  }
  if (needed == 0) return false;
  // A block that stops short of its last row is padded with black rows, so that
  // nothing later reads beyond it.
  if (needed > size && !copy.grow(needed)) return false;
  pasted.block = copy.hand_over();
  return true;
}

bool paste_device_bitmap(HWND frame, PastedPicture& pasted) {
  OpenedClipboard clipboard(frame);
  if (!clipboard.ok()) return false;
  HBITMAP bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
  if (!bitmap) return false;
  BITMAP record = {};
  if (GetObjectA(bitmap, sizeof record, &record) != sizeof record) return false;
  NewBlock block(kStoreHeaderSize);
  if (!block.get()) return false;
  uint32_t size = 0;
  {
    GlobalLockGuard header(block.get());
    if (!header.get()) return false;
    size = lay_out_device_bitmap(header.get(), record.bmWidth, record.bmHeight,
                                 static_cast<uint16_t>(record.bmPlanes * record.bmBitsPixel), pasted.description);
  }
  if (size == 0 || !block.grow(size)) return false;
  GlobalLockGuard bytes(block.get());
  if (!bytes.get()) return false;
  WindowDc dc(frame);
  const HPALETTE clipboard_palette = static_cast<HPALETTE>(GetClipboardData(CF_PALETTE));
  SelectedPalette palette(dc.get(), clipboard_palette, true);
  GetDIBits(dc.get(), bitmap, 0, static_cast<UINT>(record.bmHeight), bytes.get() + pasted.description.offset_to_pixels,
            reinterpret_cast<BITMAPINFO*>(bytes.get()), DIB_RGB_COLORS);
  if (clipboard_palette && get_u16(bytes.get() + kBitCountField) == 8)
    take_palette_colours(clipboard_palette, bytes.get(), pasted.description.colour_count);
  pasted.block = block.hand_over();
  return true;
}

bool make_grey_ramp(PastedPicture& pasted) {
  NewBlock block(kGreyRampSize);
  if (!block.get()) return false;
  {
    GlobalLockGuard bytes(block.get());
    if (!bytes.get()) return false;
    fill_grey_ramp(bytes.get(), pasted.description);
  }
  pasted.block = block.hand_over();
  return true;
}

bool paste_from_clipboard(HWND frame, PastedPicture& pasted) {
  if (IsClipboardFormatAvailable(CF_DIB)) return paste_device_independent(frame, pasted);
  if (IsClipboardFormatAvailable(CF_BITMAP)) return paste_device_bitmap(frame, pasted);
  return make_grey_ramp(pasted);
}
