// Pictures other than BMP files, decoded by the browser. Transparent pixels must keep
// their colour exactly (the core lays them over white), so the decoder's own RGBA is
// read where the browser offers it; a canvas, which stores premultiplied colours,
// serves only where it does not.
import { failure } from './protocol.js';

const kSignatures = [
  { type: 'image/png', bytes: [0x89, 0x50, 0x4e, 0x47] },
  { type: 'image/jpeg', bytes: [0xff, 0xd8, 0xff] },
  { type: 'image/gif', bytes: [0x47, 0x49, 0x46, 0x38] },
  { type: 'image/webp', bytes: [0x52, 0x49, 0x46, 0x46], at8: [0x57, 0x45, 0x42, 0x50] },
];

// Formats the command reads that the page does not: the browser has no TIFF or HEIF
// decoder, and its AVIF decoder's colours are not those of the command's library, so
// the page's files would not be the command's.
const kRefused = [
  { name: 'TIFF', bytes: [0x49, 0x49, 0x2a, 0x00] },
  { name: 'TIFF', bytes: [0x4d, 0x4d, 0x00, 0x2a] },
  { name: 'AVIF', bytes: [0x66, 0x74, 0x79, 0x70], offset: 4, brands: ['avif', 'avis'] },
  { name: 'HEIF', bytes: [0x66, 0x74, 0x79, 0x70], offset: 4, brands: ['heic', 'heix', 'heim', 'heis', 'mif1', 'msf1'] },
];

const startsWith = (bytes, list, offset = 0) => list.every((b, i) => bytes[offset + i] === b);
const latin1 = (bytes, at, size) => String.fromCharCode(...bytes.subarray(at, at + size));

// Returns the MIME type the file's first bytes announce, or ''.
export function sniffType(bytes) {
  for (const s of kSignatures) {
    if (startsWith(bytes, s.bytes, s.offset) && (!s.at8 || startsWith(bytes, s.at8, 8))) return s.type;
  }
  return '';
}

// Returns the name of a format the command reads and the page refuses ('TIFF', 'AVIF',
// 'HEIF'), or ''.
export function refusedFormat(bytes) {
  for (const r of kRefused) {
    if (!startsWith(bytes, r.bytes, r.offset)) continue;
    if (!r.brands || r.brands.includes(latin1(bytes, 8, 4))) return r.name;
  }
  return '';
}

const be16 = (b, at) => (b[at] << 8) | b[at + 1];
const le16 = (b, at) => b[at] | (b[at + 1] << 8);
const le24 = (b, at) => b[at] | (b[at + 1] << 8) | (b[at + 2] << 16);

// The size a JPEG's frame header gives, or null when it is not within `bytes`.
function jpegSize(b) {
  for (let at = 2; at + 9 <= b.length;) {
    if (b[at] !== 0xff) return null;
    const marker = b[at + 1];
    if (marker === 0xff) {
      at += 1;  // a fill byte
    } else if (marker === 0x01 || (marker >= 0xd0 && marker <= 0xd8)) {
      at += 2;  // no length
    } else if (marker >= 0xc0 && marker <= 0xcf && marker !== 0xc4 && marker !== 0xc8 && marker !== 0xcc) {
      return { width: be16(b, at + 7), height: be16(b, at + 5) };
    } else if (marker === 0xda || marker === 0xd9) {
      return null;
    } else {
      at += 2 + be16(b, at + 2);
    }
  }
  return null;
}

// The size a WebP's first chunk gives (lossy, lossless or extended), or null.
function webpSize(b) {
  if (b.length < 30) return null;
  switch (latin1(b, 12, 4)) {
    case 'VP8 ': return startsWith(b, [0x9d, 0x01, 0x2a], 23) ? { width: le16(b, 26) & 0x3fff, height: le16(b, 28) & 0x3fff } : null;
    case 'VP8L': return b[20] === 0x2f ? { width: 1 + (b[21] | ((b[22] & 0x3f) << 8)),
                                            height: 1 + ((b[22] >> 6) | (b[23] << 2) | ((b[24] & 0x0f) << 10)) } : null;
    case 'VP8X': return { width: 1 + le24(b, 24), height: 1 + le24(b, 27) };
    default: return null;
  }
}

// Returns {width, height} from a picture's header before anything is decoded (PNG,
// JPEG, GIF's screen, WebP), or null when the bytes don't hold it.
export function headerSize(bytes) {
  switch (sniffType(bytes)) {
    case 'image/png':
      if (bytes.length < 24) return null;
      return { width: new DataView(bytes.buffer, bytes.byteOffset).getUint32(16),
               height: new DataView(bytes.buffer, bytes.byteOffset).getUint32(20) };
    case 'image/jpeg': return jpegSize(bytes);
    case 'image/gif': return bytes.length >= 10 ? { width: le16(bytes, 6), height: le16(bytes, 8) } : null;
    case 'image/webp': return webpSize(bytes);
    default: return null;
  }
}

// The decoder's own layouts that the core takes as they are (page_picture.h PixelOrder).
export const kOrders = { RGBA: 0, RGBX: 1, BGRA: 2, BGRX: 3 };

// Decodes into memory from `allocate(bytes)` (a Uint8Array, or null when memory runs
// out), in the decoder's own layout where the core takes it. Null when the browser
// has no such decoder, or hands back a frame of another layout: its conversion of
// YUV frames rounds otherwise than the canvas does, and not always the same way.
async function decodeWithDecoder(blob, type, maxPixels, allocate) {
  if (typeof ImageDecoder === 'undefined' || !(await ImageDecoder.isTypeSupported(type))) return null;
  // Decoding goes on while the file is read.
  const decoder = new ImageDecoder({ data: blob.stream(), type, premultiplyAlpha: 'none', colorSpaceConversion: 'none' });
  try {
    const { image } = await decoder.decode({ frameIndex: 0 });
    try {
      const width = image.displayWidth, height = image.displayHeight;
      if (width * height > maxPixels) return { failure: tooLarge(width, height) };
      if (!(image.format in kOrders)) return null;
      const pixels = allocate(width * height * 4);
      if (!pixels) return { failure: failure('memory') };
      await image.copyTo(pixels, { rect: { x: 0, y: 0, width, height } });
      return { width, height, order: kOrders[image.format], pixels };
    } finally {
      image.close();
    }
  } finally {
    decoder.close();
  }
}

// The browser's RGB path: the picture upright as its EXIF orientation says, CMYK
// JPEGs converted, no colour profile applied.
async function decodeWithCanvas(blob, type, maxPixels, allocate) {
  const bitmap = await createImageBitmap(blob,
                                         { premultiplyAlpha: 'none', colorSpaceConversion: 'none' });
  const { width, height } = bitmap;
  if (width * height > maxPixels) {
    bitmap.close();
    return { failure: tooLarge(width, height) };
  }
  const canvas = new OffscreenCanvas(width, height);
  const context = canvas.getContext('2d', { willReadFrequently: true });
  context.drawImage(bitmap, 0, 0);
  bitmap.close();
  const data = context.getImageData(0, 0, width, height).data;
  const pixels = allocate(data.length);
  if (!pixels) return { failure: failure('memory') };
  pixels.set(data);
  return { width, height, order: kOrders.RGBA, pixels };
}

// JPEG headers may run past the first bytes read (large EXIF or colour profiles).
const kJpegHeaderLimit = 1 << 24;

const tooLarge = (width, height) => failure('too-large', '', { width, height });

// Decodes a picture file (`head`: its first bytes): {width, height, order, pixels}, or
// {failure}: "too-large" for a picture of more than maxPixels pixels, "memory",
// "refused-format" for a format the command reads and the page does not, or
// "not-picture" when the browser can't decode it.
export async function decodePicture(head, blob, maxPixels, allocate) {
  return (await decode(head, blob, maxPixels, allocate)) ?? { failure: failure('not-picture') };
}

async function decode(head, blob, maxPixels, allocate) {
  const refused = refusedFormat(head);
  if (refused) return { failure: failure('refused-format', '', { format: refused }) };
  const type = sniffType(head);
  if (!type) return null;
  let known = headerSize(head);
  if (!known && type === 'image/jpeg' && blob.size > head.length) {
    known = headerSize(new Uint8Array(await blob.slice(0, kJpegHeaderLimit).arrayBuffer()));
  }
  if (known && known.width * known.height > maxPixels) return { failure: tooLarge(known.width, known.height) };
  try {
    // A JPEG has no alpha to keep: the canvas gives its pixels the same way every time.
    return (type !== 'image/jpeg' && (await decodeWithDecoder(blob, type, maxPixels, allocate))) ||
           (await decodeWithCanvas(blob, type, maxPixels, allocate));
  } catch {
    try {
      return await decodeWithCanvas(blob, type, maxPixels, allocate);
    } catch {
      return null;
    }
  }
}
