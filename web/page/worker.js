// A worker of the page (protocol.js): holds a picture and its result in the
// WebAssembly core, draws both panes for the view it is told, converts the rest of the
// picture in slices between messages, and writes the files for download. A new
// setting or view is taken between two slices, so work that is out of date is dropped
// at once. The page runs two: one for the preview, one for the saves.
import { kMaxPixels, loadCore } from './core.js';
import { decodePicture, kOrders, sniffType } from './decode.js';
import { indexedPngFile, pngFile } from './png.js';
import { answer, failedAnswer, failure, message } from './protocol.js';

const kSlicePixels = 1 << 19;  // a few milliseconds at most: a new setting waits no longer
// Where rows in view take longer than a frame to convert (error diffusion from the top,
// local thresholds a band at a time), a new result shows after this long at most, the
// result before standing in for the rows not yet converted, and is shown again as
// often as this until its rows in view are all converted.
const kFirstFrameMs = 8;
const kPartialFrameMs = 50;

// Everything the worker holds.
const held = {
  module: null,     // the compiled core, instantiated anew after a fault
  core: null,
  picture: null,    // {id, name, file (a Blob)}: the open picture
  settings: null,   // {seq, settings, refused: Failure | null}: the latest settings
  view: null,       // the latest view message
  canvases: null,   // the panes' canvases, when the page hands them over
  result: null,     // {seq, began, remaining, told}: the settings the result was started with
  needFrame: false,
  partial: false,   // the frame shown has rows of the result before, or none
  drawnAt: 0,
  scheduled: false,
  opening: Promise.resolve(),  // opens run one after the other
  helpers: null,    // {workers, pictureId}: see shareBands
};

// Where the page is cross-origin isolated, helpers (helper.js) convert the bands of a
// result that converts in bands side by side with this worker, from the luminance in
// shared memory: each takes a part of the bands from its end, this worker the rows in
// view and then the bands from the top, so they meet in between.
const kHelpers = self.crossOriginIsolated ? Math.min(3, (navigator.hardwareConcurrency || 1) - 1) : 0;

const ready = (async () => {
  const response = await fetch(new URL('quillvex.wasm', import.meta.url));
  if (!response.ok) throw new Error(`quillvex.wasm: ${response.status} ${response.statusText}`);
  held.module = await WebAssembly.compile(await response.arrayBuffer());
  held.core = await loadCore(held.module);
  self.postMessage(message('ready', { methods: held.core.methods(), presets: held.core.presets(),
                                     maxPixels: kMaxPixels }));
})();
ready.catch((error) => self.postMessage(message('fatal', { text: String(error) })));

// Work is done in tasks of its own, so that messages that arrive meanwhile come first.
const channel = new MessageChannel();
channel.port1.onmessage = () => guarded(work);
function schedule() {
  if (held.scheduled) return;
  held.scheduled = true;
  channel.port2.postMessage(0);
}

function work() {
  held.scheduled = false;
  const { core, settings } = held;
  if (!held.picture || !settings) return;
  if (held.result?.seq !== settings.seq) {
    held.result = { seq: settings.seq, began: performance.now(), remaining: 0, told: false };
    // A device file's result is its own indexes, whatever the settings.
    const failed = (held.picture.device ? null : settings.refused) ?? core.start(settings.settings);
    if (failed) {
      // Nothing of the settings before stays in view: the result pane empties.
      core.clearResult();
      held.result.told = true;
      if (!settings.refused) self.postMessage(message('settings-failed', { seq: settings.seq, failure: failed }));
    } else {
      held.result.remaining = 1;
      if (!held.picture.device) shareBands();
    }
    held.needFrame = true;
  }
  if (held.needFrame && held.view) {
    held.needFrame = false;
    drawFrame(true);
  }
  const result = held.result;
  if (result.remaining > 0) result.remaining = core.convertMore(kSlicePixels, held.view?.view);
  if (held.partial && held.view && (result.remaining === 0 || core.viewConverted(held.view.view) ||
                                    performance.now() - held.drawnAt >= kPartialFrameMs)) {
    drawFrame(false);
  }
  if (result.remaining > 0) {
    schedule();
  } else if (!result.told) {
    // A whole result is told once, after its last frame.
    result.told = true;
    self.postMessage(message('converted', { seq: result.seq, ms: performance.now() - result.began }));
  }
}

// Hands the helpers their parts of the bands of the result just started, the picture's
// luminance first when they don't hold it.
function shareBands() {
  const { core, picture } = held;
  const bands = kHelpers > 0 && !held.helpers?.broken ? core.bands() : null;
  if (!bands || bands.count < 2) return;
  if (!held.helpers) {
    const workers = Array.from({ length: kHelpers }, () => {
      const helper = new Worker(new URL('helper.js', import.meta.url), { type: 'module' });
      helper.onmessage = (event) => guarded(() => takeBand(event.data));
      // A helper that fails is let go with the others: this worker converts alone.
      helper.onerror = () => stopHelpers();
      return helper;
    });
    held.helpers = { workers, pictureId: 0 };
  }
  const { helpers } = held;
  if (helpers.pictureId !== picture.id) {
    const luma = new SharedArrayBuffer(picture.width * picture.height);
    new Uint8Array(luma).set(core.luma());
    helpers.pictureId = picture.id;
    for (const helper of helpers.workers) {
      helper.postMessage(message('band-picture', { pictureId: picture.id, luma, width: picture.width,
                                                   height: picture.height, bottomUp: core.bottomUp() }));
    }
  }
  // The bands in view are shared out as the rest are: part 0 of each is this worker's.
  // A helper converts its part of the view first, from the bottom up, then its part of
  // the rest, from the bottom up.
  const view = held.view?.view;
  const top = view ? Math.floor(view.scrollY * view.den / view.num) : 0;
  const bottom = view ? Math.floor((view.scrollY + view.height - 1) * view.den / view.num) : -1;
  const inView = (band) => band * bands.rows <= bottom && (band + 1) * bands.rows > top;
  const all = Array.from({ length: bands.count }, (_, band) => band);
  const shown = all.filter(inView), rest = all.filter((band) => !inView(band));
  const parts = helpers.workers.length + 1;
  const part = (list, i) => list.slice(Math.floor(list.length * i / parts), Math.floor(list.length * (i + 1) / parts));
  helpers.workers.forEach((helper, i) => {
    helper.postMessage(message('band-work', { seq: held.result.seq, pictureId: picture.id,
                                              settings: held.settings.settings,
                                              bands: [...part(rest, i + 1), ...part(shown, i + 1)] }));
  });
}

function stopHelpers() {
  for (const helper of held.helpers?.workers ?? []) helper.terminate();
  held.helpers = { workers: [], pictureId: 0, broken: true };
}

// Takes a band a helper converted, when it is of the result being converted.
function takeBand(m) {
  const { result, picture } = held;
  if (!picture || !result || result.seq !== m.seq || m.pictureId !== picture.id || result.remaining === 0) {
    return;
  }
  result.remaining = held.core.takeBand(m.band, m.rows);
  schedule();
}

// Draws both panes: straight into the page's canvases when the page handed them over,
// else as copies posted to the page. `waitForView`: rows in view that wait for the rows
// above them are converted first, for kFirstFrameMs at most.
function drawFrame(waitForView) {
  const { core } = held, converting = held.result;
  const began = performance.now(), view = held.view.view;
  const bySlices = core.convertsBySlices();
  if (bySlices && waitForView) {
    while (converting.remaining > 0 && !core.viewConverted(view) && performance.now() - began < kFirstFrameMs) {
      converting.remaining = core.convertMore(kSlicePixels, view);
    }
  }
  const panes = core.draw(view, !bySlices);
  if (!panes) return;
  held.partial = !panes.complete;
  held.drawnAt = performance.now();
  const frame = { seq: held.view.seq, settingsSeq: converting.seq, width: view.width, height: view.height,
                  complete: panes.complete };
  const { canvases } = held;
  if (canvases) {
    for (const [canvas, pixels] of [[canvases.source, panes.source], [canvases.result, panes.result]]) {
      if (canvas.width !== view.width || canvas.height !== view.height) {
        canvas.width = view.width;
        canvas.height = view.height;
      }
      canvas.getContext('2d').putImageData(new ImageData(pixels, view.width, view.height), 0, 0);
    }
    // The canvases show this frame from the end of this task on, whatever the page is doing.
    self.postMessage(message('frame', { ...frame, ms: performance.now() - began,
                                        drawnAt: performance.timeOrigin + performance.now() }));
    return;
  }
  const source = panes.source.slice(), result = panes.result.slice();
  self.postMessage(message('frame', { ...frame, source: source.buffer, result: result.buffer,
                                      ms: performance.now() - began }), [source.buffer, result.buffer]);
}

function clearCanvases() {
  for (const canvas of held.canvases ? [held.canvases.source, held.canvases.result] : []) {
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

// Takes again the pixels of a picture another worker decoded (an ArrayBuffer of opaque
// RGBX rows), sparing the decoder; returns as decodePicture does.
function samePicture(pixels, width, height) {
  const block = held.core.allocatePixels(pixels.byteLength);
  if (!block) return { failure: failure('memory') };
  block.set(new Uint8Array(pixels));
  return { width, height, order: kOrders.RGBX };
}

// Reads a device file into the core: its indexes are shown and written as they are.
async function readDevice(file, format) {
  const { core } = held;
  const view = core.allocateFile(file.size);
  if (!view) return { failure: failure('memory') };
  if (!(await readInto(file, view).catch(() => false))) return { failure: failure('unreadable') };
  const failed = core.openDevice(format);
  if (failed) return { failure: failed };
  return { decoded: false, device: format, grey: core.deviceGrey(), mime: 'text/plain', ...core.picture() };
}

// Reads the picture into the core (`shared`: {pixels, width, height} of the same
// picture decoded before); returns its facts, or {failure}.
async function readPicture(name, file, shared) {
  const { core } = held;
  const began = performance.now();
  if (file.size === 0) return { failure: failure('empty') };
  let head;
  try {
    head = new Uint8Array(await file.slice(0, 1 << 16).arrayBuffer());
  } catch (error) {
    return { failure: failure('unreadable', String(error)) };
  }
  const device = core.deviceFormat(name, head);
  if (device) return readDevice(file, device);
  const decoded = !isBmp(head);
  let failed, decodeMs = 0;
  if (!decoded) {
    const view = core.allocateFile(file.size);
    if (!view) return { failure: failure('memory') };
    if (!(await readInto(file, view).catch(() => false))) return { failure: failure('unreadable') };
    failed = core.openBmp();
  } else {
    const picture = shared ? samePicture(shared.pixels, shared.width, shared.height)
                           : await decodePicture(head, file, kMaxPixels, (size) => core.allocatePixels(size));
    decodeMs = performance.now() - began;
    if (picture.failure) return picture;
    failed = core.openDecoded(picture.width, picture.height, picture.order, head);
  }
  if (failed) return { failure: failed };
  return { decoded, mime: decoded ? sniffType(head) : 'image/bmp', ...core.picture(),
           ms: performance.now() - began, decodeMs };
}

// Opens a picture in place of the one held; returns its facts, or {failure}.
async function open(pictureId, name, file, shared = null) {
  const { core } = held;
  held.picture = null;
  core.reset();
  const read = await readPicture(name, file, shared);
  if (read.failure) {
    // The previous picture is gone: after a failure the page shows none.
    core.reset();
    clearCanvases();
    return read;
  }
  held.picture = { id: pictureId, name, file, decoded: read.decoded, width: read.width, height: read.height,
                   device: read.device ?? null, grey: read.grey ?? false };
  held.result = null;
  held.needFrame = true;
  schedule();
  return read;
}

// Takes new settings, refused at once when the command's rules refuse a field.
function takeSettings(m) {
  const refused = held.core.checkSettings(m.settings);
  held.settings = { seq: m.seq, settings: m.settings, refused };
  if (refused) self.postMessage(message('settings-failed', { seq: m.seq, failure: refused }));
  schedule();
}

const kMime = { bmp: 'image/bmp', png: 'image/png', pbm: 'image/x-portable-bitmap', pgm: 'image/x-portable-graymap',
                ppm: 'image/x-portable-pixmap', xbm: 'image/x-xbitmap',
                c: 'text/x-c', bin: 'application/octet-stream', escpos: 'application/octet-stream',
                zpl: 'application/octet-stream' };

// True when settings make grey levels or a palette's colours rather than black and white.
const makesIndexes = (settings) => settings.palette != null || Number(settings.levels) > 2;

// Writes a file of the picture: the PNG from the command's PBM, or for grey levels and
// palettes from its indexed BMP, compressed by the browser.
async function exportFile(m) {
  // A save holds the picture its name was made from, or nothing.
  if (held.picture?.id !== m.pictureId) return self.postMessage(failedAnswer(m.id, failure('replaced')));
  // A device file is written as it is, its indexes with their levels or colours: the
  // conversion's settings don't apply to it.
  const { device, grey } = held.picture;
  const settings = device ? { kind: 0 } : m.request.settings;
  const png = m.request.format === 'png', indexed = device !== null || makesIndexes(settings);
  const made = held.core.exportFile({ ...m.request, settings, format: png ? (indexed ? 'bmp' : 'pbm') : m.request.format },
                                    m.fileName);
  if (made.failure) return self.postMessage(failedAnswer(m.id, made.failure));
  let bytes = made.bytes;
  if (png) {
    bytes = indexed ? await indexedPngFile(made.bytes, device ? grey : settings.palette == null)
                    : await pngFile(made.bytes, made.xResolution, made.yResolution);
  }
  self.postMessage(answer(m.id, { fileName: m.fileName, mime: kMime[m.request.format], bytes: bytes.buffer }),
                   [bytes.buffer]);
}

// A fault of the module (a trap) leaves its memory in no known state: the core is made
// anew from the compiled module and the open picture read again, with the latest
// settings and view. A second fault while reading it gives the picture up.
async function recover(error) {
  const reopen = held.picture;
  held.picture = null;
  held.result = null;
  held.core = await loadCore(held.module);
  let lost = null;
  if (reopen) {
    try {
      lost = (await open(reopen.id, reopen.name, reopen.file)).failure ?? null;
    } catch (again) {
      if (!(again instanceof WebAssembly.RuntimeError)) throw again;
      held.picture = null;
      held.core = await loadCore(held.module);
      clearCanvases();
      lost = failure('memory', again.message);
    }
  }
  self.postMessage(message('restarted', { failure: failure('fault', error.message), pictureId: reopen?.id ?? 0, lost }));
}

// Runs a task; after a fault, `answerFault` tells the page what became of its request.
async function guarded(task, answerFault = () => {}) {
  try {
    await task();
  } catch (error) {
    if (!(error instanceof WebAssembly.RuntimeError)) throw error;
    answerFault(error);
    await recover(error);
  }
}

// Makes the module fault, as a test of the recovery: a request past the module's memory.
function fault() {
  const { core } = held;
  core.exports.qvx_export(core.page, 0xfffffff0, 0, 0, 0);
}

self.onmessage = async (event) => {
  await ready;
  const m = event.data;
  // The module faults mostly where memory runs out.
  const faulted = (code) => (error) => self.postMessage(failedAnswer(m.id, failure(code, error.message)));
  switch (m.type) {
    case 'open': {
      const opened = async () => {
        const read = await open(m.pictureId, m.name, m.file, m.pixels && { pixels: m.pixels, width: m.width, height: m.height });
        self.postMessage(read.failure ? failedAnswer(m.id, read.failure) : answer(m.id, read));
      };
      held.opening = held.opening.then(() => guarded(opened, faulted('memory')));
      await held.opening;
      break;
    }
    case 'close':
      held.opening = held.opening.then(() => {
        held.picture = null;
        held.core.reset();
      });
      break;
    case 'share': {
      await held.opening;
      const { picture } = held;
      const pixels = picture?.id === m.pictureId && picture.decoded ? held.core.colours().buffer : null;
      self.postMessage(answer(m.id, { pixels, width: picture?.width, height: picture?.height }), pixels ? [pixels] : []);
      break;
    }
    case 'settings': await guarded(() => takeSettings(m)); break;
    case 'view': held.view = m; held.needFrame = true; schedule(); break;
    case 'canvases': held.canvases = { source: m.source, result: m.result }; break;
    case 'export':
      // A save asked for after an open is of that picture.
      await held.opening;
      await guarded(() => exportFile(m), faulted('fault'));
      break;
    case 'fault': await guarded(fault); break;
  }
};
