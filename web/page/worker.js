// The page's worker: holds the picture and its result in the WebAssembly core, draws
// both panes for the view it is told, converts the rest of the picture in slices
// between messages, and writes the files for download. A new setting or view is
// taken between two slices, so work that is out of date is dropped at once.
import { settingsArguments } from './controls.js';
import { kMaxPixels, loadCore } from './core.js';
import { decodePicture, sniffType } from './decode.js';
import { pngFile } from './png.js';

const kSlicePixels = 1 << 19;  // a few milliseconds at most: a new setting waits no longer

let core = null;
let module = null;    // the compiled core, instantiated anew after a fault
let file = null;      // {id, name, bmp, source}: the open picture
let settings = null;  // the latest settings message, with its arguments and what is refused
let view = null;      // the latest view message
let canvases = null;  // the panes' canvases, when the page hands them over
let started = null;   // the settings the result was started with
let startTime = 0;
let needFrame = false;
let remaining = 0;
let scheduled = false;
let opening = Promise.resolve();  // opens run one after the other

const ready = (async () => {
  const response = await fetch(new URL('quillvex.wasm', import.meta.url));
  if (!response.ok) throw new Error(`quillvex.wasm: ${response.status} ${response.statusText}`);
  module = await WebAssembly.compile(await response.arrayBuffer());
  core = await loadCore(module);
  self.postMessage({ type: 'ready', methods: core.methods(), maxPixels: kMaxPixels });
})();
ready.catch((error) => self.postMessage({ type: 'fatal', message: String(error) }));

// Work is done in tasks of its own, so that messages that arrive meanwhile come first.
const channel = new MessageChannel();
channel.port1.onmessage = () => guarded(work);
function schedule() {
  if (scheduled) return;
  scheduled = true;
  channel.port2.postMessage(0);
}

function work() {
  scheduled = false;
  if (!file || !settings) return;
  if (settings !== started) {
    started = settings;
    startTime = performance.now();
    const refused = settings.refused ? settings.refused.why : core.start(settings.args);
    if (refused) {
      // Nothing of the settings before stays in view: the result pane empties.
      core.clearResult();
      remaining = 0;
      if (!settings.refused) self.postMessage({ type: 'settings-failed', seq: settings.seq, message: refused });
    } else {
      remaining = 1;
    }
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
    // The canvases show this frame from the end of this task on, whatever the page is doing.
    self.postMessage({ ...frame, ms: performance.now() - began, drawnAt: performance.timeOrigin + performance.now() });
    return;
  }
  const source = panes.source.slice(), result = panes.result.slice();
  self.postMessage({ ...frame, source: source.buffer, result: result.buffer, ms: performance.now() - began },
                   [source.buffer, result.buffer]);
}

function clearCanvases() {
  for (const canvas of canvases ? [canvases.source, canvases.result] : []) {
    canvas.width = 0;
    canvas.height = 0;
  }
}

const isBmp = (bytes) => bytes.length >= 2 && bytes[0] === 0x42 && (bytes[1] === 0x4d || bytes[1] === 0x41);

// Copies a file's bytes into `view` as they are read.
async function readInto(blob, view) {
  const reader = blob.stream().getReader();
  for (let at = 0; ;) {
    const { done, value } = await reader.read();
    if (done) return at === view.length;
    if (at + value.length > view.length) return false;
    view.set(value, at);
    at += value.length;
  }
}

async function open(message) {
  const began = performance.now();
  const source = message.file ?? new Blob([message.bytes]);
  const { name, id } = message;
  const fail = (reason) => {
    core.reset();
    clearCanvases();
    self.postMessage({ type: 'open-failed', id, name, reason });
  };
  let code, decodeMs = 0;
  file = null;
  core.reset();
  if (source.size === 0) return fail({ key: 'empty' });
  let head;
  try {
    head = new Uint8Array(await source.slice(0, 1 << 16).arrayBuffer());
  } catch {
    return fail({ key: 'unreadable' });
  }
  const bmp = isBmp(head);
  if (bmp) {
    const view = core.allocateFile(source.size);
    if (!view) return fail({ key: 'memory' });
    if (!(await readInto(source, view).catch(() => false))) return fail({ key: 'unreadable' });
    code = core.openBmp();
  } else {
    const decoded = await decodePicture(head, source, kMaxPixels, (size) => core.allocatePixels(size));
    decodeMs = performance.now() - began;
    if (!decoded) return fail({ key: 'not-picture' });
    if (decoded.refused) return fail({ key: 'refused-format', format: decoded.refused });
    if (decoded.tooLarge) return fail({ key: 'too-large', width: decoded.width, height: decoded.height });
    if (decoded.noMemory) return fail({ key: 'memory' });
    code = core.openDecoded(decoded.width, decoded.height, decoded.order, head);
  }
  // The previous picture is gone: after a failure the page shows none.
  if (code !== 0) return fail(code === 'memory' ? { key: 'memory' } : code === 6 ? { key: 'too-large' } : { key: 'damaged', code });
  file = { id, name, bmp, source };
  started = null;
  self.postMessage({ type: 'opened', id, name, kind: bmp ? 'bmp' : 'decoded', mime: bmp ? 'image/bmp' : sniffType(head),
                     ...core.picture(),
                     ms: performance.now() - began, decodeMs });
  needFrame = true;
  schedule();
}

// Takes new settings: their command arguments, and the first field the command's
// parser refuses ({field, why}), found by checking the arguments field by field.
function takeSettings(message) {
  const args = [];
  let refused = null;
  for (const group of settingsArguments(message, core.methods())) {
    args.push(...group.args);
    const why = core.checkSettings(args);
    if (why) {
      refused = { field: group.field, why };
      break;
    }
  }
  settings = { ...message, args, refused };
  if (refused) self.postMessage({ type: 'settings-failed', seq: message.seq, field: refused.field, message: refused.why });
  schedule();
}

const kMime = { bmp: 'image/bmp', png: 'image/png', pbm: 'image/x-portable-bitmap', xbm: 'image/x-xbitmap',
                c: 'text/x-c', bin: 'application/octet-stream', escpos: 'application/octet-stream',
                zpl: 'application/octet-stream' };

async function exportFile(message) {
  const reply = (fields) => self.postMessage({ type: 'exported', id: message.id, ...fields });
  // A save holds the picture its name was made from, or nothing.
  if (!file || file.id !== message.pictureId) return reply({ error: { key: 'replaced' } });
  if (!settings || settings.refused) return reply({ error: { key: 'settings' } });
  const png = message.format === 'png';
  const args = [...settings.args];
  if (message.density != null) args[args.indexOf('-t') + 1] = String(message.density);
  args.push('-f', png ? 'pbm' : message.format, '-o', message.fileName, ...(message.extra ?? []));
  const made = core.exportFile(args);
  if (made.error) return reply({ error: made.error });
  const bytes = png ? await pngFile(made.bytes, made.xResolution, made.yResolution) : made.bytes;
  reply({ fileName: message.fileName, mime: kMime[message.format], bytes: bytes.buffer, args });
}

// A fault of the module (a trap) leaves its memory in no known state: the core is made
// anew from the compiled module and the open picture read again, with the latest
// settings and view. A second fault while reading it gives the picture up.
async function recover(error) {
  const reopen = file;
  file = null;
  started = null;
  remaining = 0;
  core = await loadCore(module);
  self.postMessage({ type: 'restarted', reason: error.message, name: reopen?.name ?? null });
  if (!reopen) return;
  try {
    await open({ id: reopen.id, name: reopen.name, file: reopen.source });
  } catch (again) {
    if (!(again instanceof WebAssembly.RuntimeError)) throw again;
    file = null;
    core = await loadCore(module);
    clearCanvases();
    self.postMessage({ type: 'open-failed', id: reopen.id, name: reopen.name, reason: { key: 'memory' } });
  }
}

// Runs a task; after a fault, `answer` tells the page what became of its request.
async function guarded(task, answer = () => {}) {
  try {
    await task();
  } catch (error) {
    if (!(error instanceof WebAssembly.RuntimeError)) throw error;
    answer(error);
    await recover(error);
  }
}

// Makes the module fault, as a test of the recovery.
function fault() {
  core.x.qvx_export(core.page, 0xfffffff0, 0, 0);  // arguments past the module's memory
}

self.onmessage = async (event) => {
  await ready;
  const message = event.data;
  switch (message.type) {
    case 'open': {
      // The module faults mostly where memory runs out.
      const failed = () => self.postMessage({ type: 'open-failed', id: message.id, name: message.name, reason: { key: 'memory' } });
      opening = opening.then(() => guarded(() => open(message), failed));
      await opening;
      break;
    }
    case 'settings': await guarded(() => takeSettings(message)); break;
    case 'view': view = message; needFrame = true; schedule(); break;
    case 'canvases': canvases = { source: message.source, result: message.result }; break;
    case 'export': {
      const failed = (error) => self.postMessage({ type: 'exported', id: message.id, error: { key: 'fault', message: error.message } });
      await guarded(() => exportFile(message), failed);
      break;
    }
    case 'fault': await guarded(fault); break;
  }
};
