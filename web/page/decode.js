// Pictures other than BMP files, decoded by the browser. Transparent pixels must keep
// their colour exactly (the core lays them over white), so the decoder's own RGBA is
// read where the browser offers it; a canvas, which stores premultiplied colours,
// serves only where it does not.

const kSignatures = [
  { type: 'image/png', bytes: [0x89, 0x50, 0x4e, 0x47] },
  { type: 'image/jpeg', bytes: [0xff, 0xd8, 0xff] },
  { type: 'image/gif', bytes: [0x47, 0x49, 0x46, 0x38] },
  { type: 'image/webp', bytes: [0x52, 0x49, 0x46, 0x46], at8: [0x57, 0x45, 0x42, 0x50] },
  { type: 'image/x-icon', bytes: [0x00, 0x00, 0x01, 0x00] },
  { type: 'image/avif', bytes: [0x66, 0x74, 0x79, 0x70], offset: 4 },
];

const startsWith = (bytes, list, offset = 0) => list.every((b, i) => bytes[offset + i] === b);

// Returns the MIME type the file's first bytes announce, or ''.
export function sniffType(bytes) {
  for (const s of kSignatures) {
    if (startsWith(bytes, s.bytes, s.offset) && (!s.at8 || startsWith(bytes, s.at8, 8))) return s.type;
  }
  return '';
}

// Returns {width, height} from a PNG's header before anything is decoded, or null.
export function pngSize(bytes) {
  if (bytes.length < 24 || sniffType(bytes) !== 'image/png') return null;
  const view = new DataView(bytes.buffer, bytes.byteOffset, 24);
  return { width: view.getUint32(16), height: view.getUint32(20) };
}

// The decoder's own layouts that the core takes as they are.
const kOrders = { RGBA: 0, RGBX: 1, BGRA: 2, BGRX: 3 };

// Decodes into memory from `allocate(bytes)` (a Uint8Array, or null when memory runs
// out), in the decoder's own layout where the core takes it.
async function decodeWithDecoder(blob, type, maxPixels, allocate) {
  if (typeof ImageDecoder === 'undefined' || !(await ImageDecoder.isTypeSupported(type))) return null;
  // Decoding goes on while the file is read.
  const decoder = new ImageDecoder({ data: blob.stream(), type, premultiplyAlpha: 'none', colorSpaceConversion: 'none' });
  try {
    const { image } = await decoder.decode({ frameIndex: 0 });
    try {
      const width = image.displayWidth, height = image.displayHeight;
      if (width * height > maxPixels) return { width, height, tooLarge: true };
      const order = kOrders[image.format] ?? 0;
      const pixels = allocate(width * height * 4);
      if (!pixels) return { width, height, noMemory: true };
      const rect = { x: 0, y: 0, width, height };
      await image.copyTo(pixels, image.format in kOrders ? { rect } : { rect, format: 'RGBA' });
      return { width, height, order, pixels };
    } finally {
      image.close();
    }
  } finally {
    decoder.close();
  }
}

async function decodeWithCanvas(blob, type, maxPixels, allocate) {
  const bitmap = await createImageBitmap(blob,
                                         { premultiplyAlpha: 'none', colorSpaceConversion: 'none' });
  const { width, height } = bitmap;
  if (width * height > maxPixels) {
    bitmap.close();
    return { width, height, tooLarge: true };
  }
  const canvas = new OffscreenCanvas(width, height);
  const context = canvas.getContext('2d', { willReadFrequently: true });
  context.drawImage(bitmap, 0, 0);
  bitmap.close();
  const data = context.getImageData(0, 0, width, height).data;
  const pixels = allocate(data.length);
  if (!pixels) return { width, height, noMemory: true };
  pixels.set(data);
  return { width, height, order: kOrders.RGBA, pixels };
}

// Decodes a picture file (`head`: its first bytes): {width, height, order, pixels},
// {width, height, tooLarge} for a picture of more than maxPixels pixels, {noMemory},
// or null when the browser can't decode it.
export async function decodePicture(head, blob, maxPixels, allocate) {
  const type = sniffType(head);
  if (!type) return null;
  const known = pngSize(head);
  if (known && known.width * known.height > maxPixels) return { ...known, tooLarge: true };
  try {
    return (await decodeWithDecoder(blob, type, maxPixels, allocate)) ??
           (await decodeWithCanvas(blob, type, maxPixels, allocate));
  } catch {
    try {
      return await decodeWithCanvas(blob, type, maxPixels, allocate);
    } catch {
      return null;
    }
  }
}
