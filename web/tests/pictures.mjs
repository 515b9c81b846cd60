// Pictures the browser test opens that the project does not keep as files: PNGs
// written here with Node's zlib (straight alpha, 8 bits a sample).
import { deflateSync } from 'node:zlib';

const kCrcTable = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});

function chunk(type, data) {
  const out = Buffer.alloc(12 + data.length);
  out.writeUInt32BE(data.length, 0);
  out.write(type, 4, 'latin1');
  data.copy(out, 8);
  let c = 0xffffffff;
  for (const b of out.subarray(4, 8 + data.length)) c = kCrcTable[(c ^ b) & 0xff] ^ (c >>> 8);
  out.writeUInt32BE((c ^ 0xffffffff) >>> 0, 8 + data.length);
  return out;
}

// A PNG of `rows` (each a Buffer of the row's samples) with colour type and bit depth.
export function pngOf(width, height, colourType, bitDepth, rows, pixelsPerMetre = 0) {
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width, 0);
  header.writeUInt32BE(height, 4);
  header.set([bitDepth, colourType, 0, 0, 0], 8);
  const raw = Buffer.concat(rows.map((row) => Buffer.concat([Buffer.from([0]), row])));
  const parts = [Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]), chunk('IHDR', header)];
  if (pixelsPerMetre) {
    const phys = Buffer.alloc(9);
    phys.writeUInt32BE(pixelsPerMetre, 0);
    phys.writeUInt32BE(pixelsPerMetre, 4);
    phys[8] = 1;
    parts.push(chunk('pHYs', phys));
  }
  parts.push(chunk('IDAT', deflateSync(raw)), chunk('IEND', Buffer.alloc(0)));
  return Buffer.concat(parts);
}

// An RGBA picture with every level of alpha, colours that change along both axes.
export function alphaPng(width, height) {
  const rows = [];
  for (let y = 0; y < height; ++y) {
    const row = Buffer.alloc(width * 4);
    for (let x = 0; x < width; ++x) {
      row.set([(x * 255) / (width - 1), (y * 255) / (height - 1), (x * y) & 255, (x * 7 + y * 13) & 255], 4 * x);
    }
    rows.push(row);
  }
  return pngOf(width, height, 6, 8, rows, 3780);
}

// A greyscale picture far larger than the page opens (its rows compress to little).
export function hugePng(side) {
  const row = Buffer.alloc(Math.ceil(side / 8));
  return pngOf(side, side, 0, 1, Array(side).fill(row));
}

// The JPEG with an EXIF block holding only an orientation (1..8), after its JFIF segment.
export function withOrientation(jpeg, orientation) {
  const tiff = Buffer.alloc(26);
  tiff.write('II', 0, 'latin1');
  tiff.writeUInt16LE(42, 2);
  tiff.writeUInt32LE(8, 4);
  tiff.writeUInt16LE(1, 8);  // one entry: Orientation, SHORT, 1
  tiff.writeUInt16LE(274, 10);
  tiff.writeUInt16LE(3, 12);
  tiff.writeUInt32LE(1, 14);
  tiff.writeUInt16LE(orientation, 18);
  const body = Buffer.concat([Buffer.from('Exif\0\0', 'latin1'), tiff]);
  const segment = Buffer.from([0xff, 0xe1, 0, 0]);
  segment.writeUInt16BE(body.length + 2, 2);
  const at = jpeg[3] === 0xe0 ? 4 + jpeg.readUInt16BE(4) : 2;
  return Buffer.concat([jpeg.subarray(0, at), segment, body, jpeg.subarray(at)]);
}

// Headers claiming a picture of width x height, with nothing to decode behind them.
export function jpegClaiming(width, height) {
  const frame = Buffer.from([0xff, 0xc0, 0, 17, 8, 0, 0, 0, 0, 3, 1, 0x11, 0, 2, 0x11, 0, 3, 0x11, 0]);
  frame.writeUInt16BE(height, 5);
  frame.writeUInt16BE(width, 7);
  return Buffer.concat([Buffer.from([0xff, 0xd8]), frame, Buffer.from([0xff, 0xd9])]);
}

export function gifClaiming(width, height) {
  const g = Buffer.from('GIF89a\0\0\0\0\xf0\0\0\0\0\0\xff\xff\xff,\0\0\0\0\0\0\0\0\0\x02\x02\x4c\x01\0;', 'latin1');
  g.writeUInt16LE(width, 6);
  g.writeUInt16LE(height, 8);
  g.writeUInt16LE(width, 23);
  g.writeUInt16LE(height, 25);
  return g;
}

export function webpClaiming(width, height) {
  const w = Buffer.alloc(38);
  w.write('RIFF\x1e\0\0\0WEBPVP8L\x12\0\0\0\x2f', 0, 'latin1');
  w.writeUInt32LE(((width - 1) | ((height - 1) << 14)) >>> 0, 21);
  return w;
}
