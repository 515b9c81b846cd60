// PNGs made from the command's files: 1-bit greyscale from its PBM (the same rows, white
// as 1, where PBM has black as 1), grey levels and palettes from its indexed BMP; the
// resolution in a pHYs chunk, compressed by the browser.
// The browser's deflate at its default level gives the command's compressed bytes;
// the stream's header and its cut into IDAT chunks follow the command's PNG library,
// so the two files are the same byte for byte.

const kCrcTable = (() => {
  const table = new Uint32Array(256);
  for (let n = 0; n < 256; ++n) {
    let c = n;
    for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    table[n] = c >>> 0;
  }
  return table;
})();

function crc32(bytes) {
  let c = 0xffffffff;
  for (let i = 0; i < bytes.length; ++i) c = kCrcTable[(c ^ bytes[i]) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

function chunk(type, data) {
  const out = new Uint8Array(12 + data.length);
  const view = new DataView(out.buffer);
  view.setUint32(0, data.length);
  for (let i = 0; i < 4; ++i) out[4 + i] = type.charCodeAt(i);
  out.set(data, 8);
  view.setUint32(8 + data.length, crc32(out.subarray(4, 8 + data.length)));
  return out;
}

function uint32s(...values) {
  const out = new Uint8Array(4 * values.length);
  values.forEach((v, i) => new DataView(out.buffer).setUint32(4 * i, v));
  return out;
}

// Returns the header fields of a P4 file: {width, height, start}.
function pbmHeader(pbm) {
  const text = new TextDecoder('latin1').decode(pbm.subarray(0, 64));
  const match = /^P4\s+(\d+)\s+(\d+)\s/.exec(text);
  return { width: Number(match[1]), height: Number(match[2]), start: match[0].length };
}

async function deflate(bytes) {
  const stream = new Blob([bytes]).stream().pipeThrough(new CompressionStream('deflate'));
  return new Uint8Array(await new Response(stream).arrayBuffer());
}

// The zlib header of a stream of `size` bytes as the command's library writes it: for
// small pictures it claims a window just large enough (every distance fits), then
// names the smallest window that still holds the data. Level 6 (FLEVEL 2).
function zlibHeader(size) {
  let bits = 15;
  for (let half = 1 << 14; size <= 16384 && size + 262 <= half; half >>= 1) --bits;
  let info = bits - 8;
  if (size <= 16384) {
    for (let half = 1 << (info + 7); info > 0 && size <= half; half >>= 1) --info;
  }
  const cmf = (info << 4) | 8, level = 2 << 6;
  return [cmf, level | ((31 - ((cmf * 256 + level) % 31)) % 31)];
}

const kIdatSize = 8192;

// The file around the unfiltered rows `raw` (a filter byte before each): IHDR, the
// palette (an Uint8Array of red, green, blue) when there is one, pHYs, IDAT, IEND, in
// the order the command's library writes them.
async function pngOf(width, height, depth, palette, xResolution, yResolution, raw) {
  const header = new Uint8Array(13);
  header.set(uint32s(width, height));
  header.set([depth, palette ? 3 : 0, 0, 0, 0], 8);  // grey or indexed, deflate, no filters, not interlaced
  const parts = [new Uint8Array([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]), chunk('IHDR', header)];
  if (palette) parts.push(chunk('PLTE', palette));
  if (xResolution > 0 && yResolution > 0) parts.push(chunk('pHYs', new Uint8Array([...uint32s(xResolution, yResolution), 1])));
  const data = await deflate(raw);
  data.set(zlibHeader(raw.length), 0);
  for (let at = 0; at < data.length; at += kIdatSize) parts.push(chunk('IDAT', data.subarray(at, at + kIdatSize)));
  parts.push(chunk('IEND', new Uint8Array(0)));
  const out = new Uint8Array(parts.reduce((n, p) => n + p.length, 0));
  let at = 0;
  for (const p of parts) {
    out.set(p, at);
    at += p.length;
  }
  return out;
}

export async function pngFile(pbm, xResolution, yResolution) {
  const { width, height, start } = pbmHeader(pbm);
  const rowBytes = (width + 7) >> 3;
  const raw = new Uint8Array(height * (rowBytes + 1));
  for (let y = 0; y < height; ++y) {
    const from = start + y * rowBytes, to = y * (rowBytes + 1) + 1;  // filter byte 0: none
    for (let i = 0; i < rowBytes; ++i) raw[to + i] = ~pbm[from + i] & 0xff;
    if (width & 7) raw[to + rowBytes - 1] &= 0xff00 >> (width & 7);
  }
  return pngOf(width, height, 1, null, xResolution, yResolution, raw);
}

// A PNG of grey levels or palette indexes made from the command's indexed BMP of them
// (1 or 4 bits a pixel, rows bottom-up, the greys or colours as its table): grey samples
// of 2 or 4 bits for 4 or 16 levels, whose values are the levels' greys; otherwise
// indexed at the least depth of 1, 2 or 4 bits that holds them. `grey`: levels, not a palette.
export async function indexedPngFile(bmp, grey) {
  const view = new DataView(bmp.buffer, bmp.byteOffset, bmp.byteLength);
  const width = view.getInt32(18, true), height = view.getInt32(22, true), bits = view.getUint16(28, true);
  const count = view.getUint32(46, true), pixelsAt = view.getUint32(10, true);
  const xResolution = view.getInt32(38, true), yResolution = view.getInt32(42, true);
  const depth = count <= 2 ? 1 : count <= 4 ? 2 : 4;
  let palette = null;
  if (!(grey && count === 1 << depth)) {
    palette = new Uint8Array(3 * count);
    for (let k = 0; k < count; ++k) palette.set([bmp[56 + 4 * k], bmp[55 + 4 * k], bmp[54 + 4 * k]], 3 * k);
  }
  const stride = ((width * bits + 31) >> 5) * 4, rowBytes = (width * depth + 7) >> 3;
  const raw = new Uint8Array(height * (rowBytes + 1));
  const perByte = 8 / bits, mask = (1 << bits) - 1, outPerByte = 8 / depth;
  for (let y = 0; y < height; ++y) {
    const from = pixelsAt + (height - 1 - y) * stride, to = y * (rowBytes + 1) + 1;
    if (bits === depth) {
      raw.set(bmp.subarray(from, from + rowBytes), to);
      continue;
    }
    for (let x = 0; x < width; ++x) {
      const index = (bmp[from + Math.floor(x / perByte)] >> ((perByte - 1 - (x % perByte)) * bits)) & mask;
      raw[to + Math.floor(x / outPerByte)] |= index << ((outPerByte - 1 - (x % outPerByte)) * depth);
    }
  }
  return pngOf(width, height, depth, palette, xResolution, yResolution, raw);
}
