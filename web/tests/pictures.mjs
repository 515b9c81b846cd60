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
