// A helper of the preview worker, where the page is cross-origin isolated: converts
// bands of a result that converts in bands (local thresholds) side by side with the
// preview, from the picture's luminance the preview shares, and posts each band's rows.
// Its own core converts them with the same code, so the rows are the preview's own.
import { loadCore } from './core.js';
import { message } from './protocol.js';

const held = {
  core: null,
  pictureId: 0,
  work: null,  // {seq, bands}: the bands still to convert, the last first
};

const ready = (async () => {
  const response = await fetch(new URL('quillvex.wasm', import.meta.url));
  held.core = await loadCore(await WebAssembly.compile(await response.arrayBuffer()));
})();

// One band a task, so that new work that arrives meanwhile comes first.
const channel = new MessageChannel();
channel.port1.onmessage = () => next();

function next() {
  const { work, core } = held;
  if (!work || work.bands.length === 0) return;
  const band = work.bands.pop();
  const rows = core.convertBand(band);
  self.postMessage(message('band-done', { seq: work.seq, pictureId: held.pictureId, band, rows }), [rows.buffer]);
  channel.port2.postMessage(0);
}

self.onmessage = async (event) => {
  await ready;
  const m = event.data, { core } = held;
  held.work = null;
  if (m.type === 'band-picture') {
    held.pictureId = 0;
    if (core.openLuma(m.width, m.height, m.bottomUp)) return;  // no memory: the preview converts alone
    core.luma().set(new Uint8Array(m.luma));
    held.pictureId = m.pictureId;
  } else if (m.type === 'band-work') {
    if (m.pictureId !== held.pictureId || core.start(m.settings) || !core.bands()) return;
    held.work = { seq: m.seq, bands: [...m.bands] };
    channel.port2.postMessage(0);
  }
};
