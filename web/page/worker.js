// The page's worker: holds the picture and its result in the WebAssembly core, draws
// both panes for the view it is told, converts the rest of the picture in slices
// between messages, and writes the files for download. A new setting or view is
// taken between two slices, so work that is out of date is dropped at once.
import { kMaxPixels, loadCore } from './core.js';
import { decodePicture } from './decode.js';
import { pngFile } from './png.js';

const kSlicePixels = 1 << 19;  // a few milliseconds at most: a new setting waits no longer

let core = null;
let file = null;      // {name, bytes, isBmp}
let settings = null;  // the latest settings message
let view = null;      // the latest view message
let canvases = null;  // the panes' canvases, when the page hands them over
let started = null;   // the settings the result was started with
let startTime = 0;
let needFrame = false;
let remaining = 0;
let scheduled = false;

const ready = (async () => {
  const response = await fetch(new URL('quillvex.wasm', import.meta.url));
  core = await loadCore(await response.arrayBuffer());
  self.postMessage({ type: 'ready', methods: core.methods(), maxPixels: kMaxPixels });
})();
ready.catch((error) => self.postMessage({ type: 'fatal', message: String(error) }));

// Work is done in tasks of its own, so that messages that arrive meanwhile come first.
const channel = new MessageChannel();
channel.port1.onmessage = work;
function schedule() {
  if (scheduled) return;
  scheduled = true;
  channel.port2.postMessage(0);
}

function work() {
  scheduled = false;
  if (!file) return;
  if (settings !== started) {
    started = settings;
    startTime = performance.now();
    const error = core.start(settings);
    if (error) {
      self.postMessage({ type: 'settings-failed', seq: settings.seq, message: error });
      remaining = 0;
      return;
    }
    remaining = 1;
    needFrame = true;
  }
  if (needFrame && view) {
    needFrame = false;
    drawFrame();
  }
  if (remaining > 0) {
    remaining = core.convertMore(kSlicePixels);
    if (remaining === 0) {
      self.postMessage({ type: 'converted', seq: started.seq, ms: performance.now() - startTime });
    } else {
      schedule();
    }
  }
}

// Draws both panes: straight into the page's canvases when the page handed them over,
// else as copies posted to the page.
function drawFrame() {
  const began = performance.now();
  const panes = core.draw(view);
  if (!panes) return;
  const frame = { type: 'frame', seq: view.seq, settingsSeq: started.seq, width: view.width, height: view.height };
  if (canvases) {
    for (const [canvas, pixels] of [[canvases.source, panes.source], [canvases.result, panes.result]]) {
      if (canvas.width !== view.width || canvas.height !== view.height) {
        canvas.width = view.width;
        canvas.height = view.height;
      }
      canvas.getContext('2d').putImageData(new ImageData(pixels, view.width, view.height), 0, 0);
    }
    self.postMessage({ ...frame, ms: performance.now() - began });
    return;
  }
  const source = panes.source.slice(), result = panes.result.slice();
  self.postMessage({ ...frame, source: source.buffer, result: result.buffer, ms: performance.now() - began },
                   [source.buffer, result.buffer]);
}

const isBmp = (bytes) => bytes.length >= 2 && bytes[0] === 0x42 && (bytes[1] === 0x4d || bytes[1] === 0x41);

async function open(message) {
  const began = performance.now();
  const bytes = new Uint8Array(message.bytes);
  const name = message.name;
  const fail = (reason) => self.postMessage({ type: 'open-failed', name, reason });
  if (bytes.length === 0) return fail({ key: 'empty' });
  let code, decodeMs = 0;
  file = null;
  core.reset();
  if (isBmp(bytes)) {
    code = core.openBmp(bytes);
  } else {
    const decoded = await decodePicture(bytes, kMaxPixels, (size) => core.allocatePixels(size));
    decodeMs = performance.now() - began;
    if (!decoded || !decoded.pixels) core.releasePixels();
    if (!decoded) return fail({ key: 'not-picture' });
    if (decoded.tooLarge) return fail({ key: 'too-large', width: decoded.width, height: decoded.height });
    if (decoded.noMemory) return fail({ key: 'memory' });
    code = core.openDecoded(decoded.width, decoded.height, decoded.order, bytes.subarray(0, 1 << 16));
  }
  if (code !== 0) {
    // The previous picture is gone: the page shows none now.
    core.reset();
    return fail(code === 'memory' ? { key: 'memory' } : code === 6 ? { key: 'too-large' } : { key: 'damaged', code });
  }
  file = { name, bytes: isBmp(bytes) ? bytes : null };
  started = null;
  self.postMessage({ type: 'opened', name, kind: file.bytes ? 'bmp' : 'decoded', ...core.picture(),
                     ms: performance.now() - began, decodeMs });
  needFrame = true;
  schedule();
}

// The command's arguments for the settings: the mode or method and its options.
function settingsArguments(s, methods) {
  const method = methods.find((m) => m.kind === s.kind);
  const args = ['-t', String(s.density), '-m', method ? method.name : ['letter', 'hard', 'soft'][s.kind]];
  if (s.invert) args.push('-i');
  if (method) {
    if (s.linear) args.push('--linear');
    if (s.serpentine && method.family === 0) args.push('--serpentine');
    if (method.family === 2) args.push('--radius', String(s.radius ?? 7));
    if (s.k != null && (method.name === 'sauvola' || method.name === 'niblack')) args.push('--k', String(s.k));
    if (method.name === 'bradley') args.push('--percent', String(s.percent ?? 15));
  }
  return args;
}

const kMime = { bmp: 'image/bmp', png: 'image/png', pbm: 'image/x-portable-bitmap', xbm: 'image/x-xbitmap',
                c: 'text/x-c', bin: 'application/octet-stream', escpos: 'application/octet-stream',
                zpl: 'application/octet-stream' };

async function exportFile(message) {
  const reply = (fields) => self.postMessage({ type: 'exported', id: message.id, ...fields });
  if (!file || !settings) return reply({ error: 'no picture' });
  const png = message.format === 'png';
  const args = [...settingsArguments(settings, core.methods()), '-f', png ? 'pbm' : message.format,
                '-o', message.fileName, ...(message.extra ?? [])];
  const made = core.exportFile(args, file.bytes);
  if (made.error) return reply({ error: made.error });
  const bytes = png ? await pngFile(made.bytes, made.xResolution, made.yResolution) : made.bytes;
  reply({ fileName: message.fileName, mime: kMime[message.format], bytes: bytes.buffer, args });
}

self.onmessage = async (event) => {
  await ready;
  const message = event.data;
  switch (message.type) {
    case 'open': await open(message); break;
    case 'settings': settings = message; schedule(); break;
    case 'view': view = message; needFrame = true; schedule(); break;
    case 'canvases': canvases = { source: message.source, result: message.result }; break;
    case 'export': await exportFile(message); break;
  }
};
