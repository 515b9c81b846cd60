// The page's main thread: keeps the panes, controls, messages and downloads in step
// with what the workers answer (protocol.js). Settings and views share one counter, so
// "the newest request a painted frame answers" is a single growing number.
import { Controls } from './controls.js';
import { drawHistogram } from './histogram.js';
import { showInfo } from './info.js';
import { isEditable, wireOpening } from './open.js';
import { copyPng, deviceOptionsFor, fillDeviceFields, outputName, presetFields, readDeviceOptions, saveFile,
         showDeviceOptions } from './out.js';
import { Panes } from './panes.js';
import { failure, message, Workers } from './protocol.js';
import { failureText, languageFor, openFailureText, setLanguage, text } from './texts.js';
import { kLevels, levelName, parseLevel, zoomIn, zoomOut } from './zoom.js';

const $ = (id) => document.getElementById(id);
const body = document.body;

// Everything the page holds.
const state = {
  phase: 'empty',  // empty | opening | converting | ready | error
  // The open picture: {id, name, file (a Blob), width, height, otsu, histogram, info,
  // decoded, mime, device: a device file's format or null, firstView: the request of
  // its first view, Infinity until sent}.
  picture: null,
  methods: [],
  presets: [],
  maxPixels: 0,
  lastPictureId: 0,
  seq: 0,  // the latest request of settings or a view
  // The latest settings sent, and their failure: refused ("setting": the result and the
  // saves wait until the field is good) or failed to start.
  settings: { seq: 0, failure: null },
  // The newest request a painted frame answers, and the settings whose result is
  // painted (in part: rows not yet converted show the result before) and whose result
  // is converted whole; the same of the frames whose rows in view were all converted.
  shown: { frame: 0, result: 0, converted: 0, completeFrame: 0, complete: 0 },
  line: { make: () => '', error: false },  // the message shown, re-made on a language switch
  notes: [],    // [{make, error}]: what the saves since the last open came to
  waiters: [],  // {test, resolve}: settled as frames and answers arrive
};

// A device file is not converted: settings refused don't keep its saves off.
const refused = () => state.settings.failure?.code === 'setting' && !state.picture?.device;

// Timing marks for tests and benchmarks. Numbered ones (qvx-view-N, qvx-settings-N,
// qvx-frame-N, qvx-result-N, qvx-complete-N, qvx-converted-N) are let go once far
// behind, so a long session does not pile them up.
let marks = 0;
function mark(name) {
  performance.mark(name);
  if (++marks % 1000) return;
  for (const entry of performance.getEntriesByType('mark')) {
    const seq = Number(entry.name.match(/^qvx-\w+-(\d+)$/)?.[1]);
    if (seq < state.seq - 1000) performance.clearMarks(entry.name);
  }
}

function setPhase(phase) {
  state.phase = phase;
  body.dataset.state = phase;
  const busy = phase === 'converting' || phase === 'opening';
  $('progress').hidden = !busy;
  $('result-pane').setAttribute('aria-busy', String(busy));
  updateSaves();
}

// Saves need a picture that is open, not being replaced, and settings the command takes.
function updateSaves() {
  const off = !state.picture || state.phase === 'opening' || refused();
  for (const el of document.querySelectorAll('[data-needs-picture]')) el.disabled = off;
}

// Ready once the latest settings are converted whole and shown in the panes.
function checkReady() {
  const { settings, shown, picture } = state;
  if (state.phase === 'converting' && shown.converted >= settings.seq && shown.complete >= settings.seq &&
      shown.completeFrame >= picture.firstView) {
    setPhase('ready');
  }
}

// The message line: what the page is doing or why it can't, then what the saves since
// the last open came to, so that no save's outcome is replaced unseen.
function showMessage(make, error = false) {
  state.line = { make, error };
  renderMessage();
}

function addNote(make, error = false) {
  state.notes = [...state.notes.slice(-2), { make, error }];
  renderMessage();
}

function renderMessage() {
  const line = $('message');
  line.textContent = [state.line.make(), ...state.notes.map((n) => n.make())].filter(Boolean).join(' ');
  line.classList.toggle('error', state.line.error || state.notes.some((n) => n.error));
}

function settle() {
  const { waiters } = state;
  for (let i = waiters.length - 1; i >= 0; --i) {
    const value = waiters[i].test();
    if (value !== undefined) waiters.splice(i, 1)[0].resolve(value);
  }
}
const waitFor = (test) => new Promise((resolve) => {
  state.waiters.push({ test, resolve });
  settle();
});

const pictureLine = () => {
  const p = state.picture;
  if (!p) return '';
  return p.device ? text('openedDevice', p.name, p.width, p.height) : text('opened', p.name, p.width, p.height);
};

// Names the refused field and its rule in the page's language; a failure to start is
// said as the failure.
function showSettingsFailure() {
  const why = state.settings.failure;
  if (why.code !== 'setting') {
    showMessage(() => (why.code === 'memory' ? text('memory') : text('settingsFailed', failureText(why))), true);
    return;
  }
  const param = state.methods.flatMap((m) => m.params).find((p) => p.name === why.field);
  // A number out of its range is named with its range; other refusals (a palette's bad
  // entry, settings that don't go together) in the command's words.
  const ranged = param && (param.type === 'whole' || param.type === 'real') && / must be /.test(why.text);
  const rule = why.field === 'mode' ? text('modeRule') : ranged ? text('settingRule', param) : '';
  showMessage(() => (rule ? text('settingRefused', text(why.field), rule) : text('settingsFailed', why.text)), true);
}

// --- the workers ------------------------------------------------------------------

let readyResolve, readyReject;
const ready = new Promise((resolve, reject) => {
  readyResolve = resolve;
  readyReject = reject;
});
ready.catch(() => {});

const workers = new Workers('worker.js', {
  ready(m) {
    state.methods = m.methods;
    state.presets = m.presets;
    state.maxPixels = m.maxPixels;
    controls.fillModes(m.methods);
    $('device-preset').append(...m.presets.map((p) => Object.assign(new Option(p.name, p.name), { title: p.help })));
    sendSettings();
    readyResolve();
  },
  fatal(m) {
    setPhase('error');
    showMessage(() => text('fatal', m.text), true);
    readyReject(new Error(m.text));
  },
  frame(m) {
    const { picture, shown } = state;
    // A frame drawn for the view of the picture before is not this picture's.
    if (!picture || m.seq < picture.firstView) return;
    const first = shown.frame < picture.firstView;
    panes.paint(m);
    shown.frame = Math.max(shown.frame, m.seq, m.settingsSeq);
    body.dataset.frameSeq = String(shown.frame);
    mark(`qvx-frame-${shown.frame}`);
    const drawn = (name) => m.drawnAt && performance.mark(name, { startTime: m.drawnAt - performance.timeOrigin });
    if (m.settingsSeq > shown.result) {
      shown.result = m.settingsSeq;
      mark(`qvx-result-${m.settingsSeq}`);
      drawn(`qvx-drawn-${m.settingsSeq}`);
    }
    if (m.complete) {
      shown.completeFrame = Math.max(shown.completeFrame, m.seq, m.settingsSeq);
      if (m.settingsSeq > shown.complete) {
        shown.complete = m.settingsSeq;
        mark(`qvx-complete-${m.settingsSeq}`);
        drawn(`qvx-drawn-complete-${m.settingsSeq}`);
      }
    }
    if (first) mark('qvx-panes-shown');
    checkReady();
    settle();
  },
  converted(m) {
    state.shown.converted = Math.max(state.shown.converted, m.seq);
    body.dataset.convertedSeq = String(state.shown.converted);
    mark(`qvx-converted-${m.seq}`);
    checkReady();
    settle();
  },
  'settings-failed'(m) {
    if (m.seq !== state.settings.seq) return;
    state.settings.failure = m.failure;
    // Kept for the next picture; a device file shows its indexes whatever the settings.
    if (state.picture?.device && m.failure.code === 'setting') return settle();
    // A refused field keeps the result and the saves off until it is good; settings
    // that failed only when started (memory) are a failure of that start alone.
    if (state.picture || refused()) setPhase('error');
    showSettingsFailure();
    settle();
  },
  restarted(m) {
    addNote(() => text('restarted', m.failure.text), true);
    const { picture } = state;
    if (!picture || picture.id !== m.pictureId) return;
    if (m.lost) {
      state.picture = null;
      pictureChanged();
      setPhase('error');
      showMessage(() => text('failed', picture.name, openFailureText(m.lost, state.maxPixels)), true);
      return;
    }
    // The result is made again from the start.
    state.shown.converted = 0;
    if (state.phase === 'ready') setPhase('converting');
  },
});

const panes = new Panes($('source-pane'), $('result-pane'), (view) => {
  const seq = ++state.seq;
  if (state.picture?.firstView === Infinity) state.picture.firstView = seq;
  mark(`qvx-view-${seq}`);
  workers.post(message('view', { seq, view }));
});
// The worker draws straight into the panes' canvases where the browser allows it.
if (HTMLCanvasElement.prototype.transferControlToOffscreen) {
  const { source, result } = panes.takeCanvases();
  workers.post(message('canvases', { source, result }), [source, result]);
}
const controls = new Controls(sendSettings);

function sendSettings() {
  const seq = ++state.seq;
  const failed = state.settings.failure;
  state.settings = { seq, failure: null };
  if (failed) {
    // The worker answers these settings with a failure, or with their result.
    updateSaves();
    if (state.picture) {
      showMessage(pictureLine);
    } else {
      showMessage(() => '');
      setPhase('empty');
    }
  }
  mark(`qvx-settings-${seq}`);
  workers.post(message('settings', { seq, settings: controls.settings() }));
  if (state.picture) setPhase('converting');
  redrawHistogram();
  return seq;
}

// Shows what belongs to the picture, or clears it all when there is none.
function pictureChanged() {
  const p = state.picture;
  panes.setPicture(p && { width: p.width, height: p.height });
  updateSaves();
  $('otsu').disabled = !p;
  relabel();
}

function redrawHistogram() {
  const p = state.picture;
  drawHistogram($('histogram'), p?.histogram ?? null, controls.density(), p?.otsu ?? 0);
}

// Texts that depend on the state as well as on the language.
function relabel() {
  const name = state.picture?.name ?? '';
  $('source-pane').setAttribute('aria-label', text('sourcePane', name));
  $('result-pane').setAttribute('aria-label', text('resultPane', name));
  $('otsu').textContent = state.picture ? text('useOtsuValue', state.picture.otsu) : text('useOtsu');
  for (const option of $('zoom').options) option.textContent = levelLabel(Number(option.value));
  $('zoom-label').textContent = text('scale', levelLabel(panes.level));
  renderMessage();
  showPresetNote();
  showInfo(state.picture?.info ?? null, state.picture);
  redrawHistogram();
}

const levelLabel = (level) => (levelName(level) === 'fit' ? text('fit') : levelName(level));

// --- opening: one at a time, in the order asked --------------------------------

let openChain = Promise.resolve();

// Opens a File or {name, bytes}; resolves with the worker's answer: the picture's facts,
// or {failure}.
function open(file) {
  const run = async () => {
    await ready;
    const name = file.name ?? 'picture';
    const id = ++state.lastPictureId;
    mark('qvx-open-start');
    state.notes = [];
    setPhase('opening');
    showMessage(() => text('opening'));
    // The worker reads the file itself, straight into the core's memory.
    const blob = file instanceof Blob ? file : new Blob([file.bytes]);
    mark('qvx-open-read');
    const answer = await workers.open(id, name, blob);
    opened(id, name, blob, answer);
    return answer;
  };
  const result = openChain.then(run);
  openChain = result.catch(() => {});
  return result;
}

function opened(id, name, file, m) {
  if (m.failure) {
    mark('qvx-open-failed');
    state.picture = null;
    pictureChanged();
    setPhase('error');
    showMessage(() => text('failed', name, openFailureText(m.failure, state.maxPixels)), true);
    return;
  }
  mark('qvx-opened');
  state.picture = { id, name, file, width: m.width, height: m.height, otsu: m.otsu, histogram: m.histogram,
                    info: m.info, decoded: m.decoded, mime: m.mime, device: m.device ?? null, firstView: Infinity };
  pictureChanged();
  if (refused()) {
    setPhase('error');
    showSettingsFailure();
  } else {
    showMessage(pictureLine);
    setPhase('converting');
  }
}

wireOpening(open, () => showMessage(() => text('pasteNothing')));

// --- zoom -----------------------------------------------------------------------

function setLevel(level) {
  panes.setLevel(level);
  $('zoom').value = String(level);
  relabel();
}

for (const level of kLevels) $('zoom').append(new Option(levelLabel(level), String(level)));
$('zoom').value = '1';
$('zoom').addEventListener('change', () => setLevel(Number($('zoom').value)));
$('zoom-in').addEventListener('click', (e) => setLevel(zoomIn(panes.level, e.ctrlKey)));
$('zoom-out').addEventListener('click', (e) => setLevel(zoomOut(panes.level, e.ctrlKey)));

// --- keyboard -------------------------------------------------------------------

document.addEventListener('keydown', (event) => {
  const target = event.target;
  if (event.altKey || event.metaKey || isEditable(target) || target instanceof HTMLSelectElement) return;
  const steps = { ArrowLeft: -1, ArrowDown: -1, ArrowRight: 1, ArrowUp: 1 };
  if (event.key in steps) {
    event.preventDefault();
    controls.step(steps[event.key] * (event.ctrlKey ? 16 : 1));
  } else if (event.key === '+' || event.key === '=') {
    event.preventDefault();
    setLevel(zoomIn(panes.level, event.ctrlKey));
  } else if (event.key === '-') {
    event.preventDefault();
    setLevel(zoomOut(panes.level, event.ctrlKey));
  }
});

// --- the other controls -------------------------------------------------------------

$('otsu').addEventListener('click', () => {
  if (!state.picture) return;
  controls.set({ density: state.picture.otsu });
  sendSettings();
});

$('lang').addEventListener('change', () => switchLanguage($('lang').value));
function switchLanguage(lang) {
  setLanguage(lang);
  $('lang').value = lang;
  controls.fillModes();
  relabel();
}

// --- out ------------------------------------------------------------------------------

// Writes a file of the open picture with the controls' settings: resolves with
// {fileName, mime, bytes} or {failure}. The file holds the picture its name is made
// from, however soon another is opened. `options.density` stands in for the slider's
// (the tests' hook asks for many), `options.device` gives a device format's options.
async function requestExport(format, options = {}) {
  const picture = state.picture;
  if (!picture || state.phase === 'opening') return { failure: failure('no-picture') };
  if (refused()) return { failure: failure('settings-refused') };
  const settings = controls.settings();
  if (options.density != null) settings.density = options.density;
  return workers.exportFile(picture, outputName(picture.name, format),
                            { format, settings, device: options.device ?? {} });
}

async function download(format, device) {
  const made = await requestExport(format, { device });
  if (made.failure) {
    addNote(() => text('exportFailed', failureText(made.failure)), true);
  } else {
    saveFile(made.bytes, made.fileName, made.mime);
    addNote(() => text('saved', made.fileName));
  }
  return made;
}

for (const format of ['bmp', 'png', 'pbm', 'pgm', 'ppm']) $(`download-${format}`).addEventListener('click', () => download(format));
$('device-format').addEventListener('change', showDeviceOptions);
$('device-layout').addEventListener('change', showDeviceOptions);
showDeviceOptions();

// A preset fills the fields it sets, the grey levels or palette among them (with a
// method that takes them), as quillvex-cli --preset sets them; a field changed after
// it wins, as an option given beside --preset does. The preset itself stays chosen:
// the C header's comment names it.
$('device-preset').addEventListener('change', () => {
  const preset = state.presets.find((p) => p.name === $('device-preset').value);
  showPresetNote();
  if (!preset) return;
  fillDeviceFields(presetFields(preset));
  const takes = (name) => Boolean(controls.method()?.params.some((p) => p.name === name));
  const indexes = preset.palette ? { palette: preset.palette, levels: null }
                                 : { palette: null, levels: preset.count === 2 ? null : preset.count };
  const needs = preset.palette ? 'palette' : preset.count > 2 ? 'levels' : null;
  controls.set({ ...(needs && !takes(needs) && { mode: 'floyd-steinberg' }), ...indexes });
  sendSettings();
});

// What the chosen preset sets, and that the page does not resize a picture to its size.
function showPresetNote() {
  const preset = state.presets.find((p) => p.name === $('device-preset').value);
  const note = $('device-preset-note');
  note.hidden = !preset;
  note.textContent = preset ? text('presetNote', preset) : '';
}
$('download-device').addEventListener('click', () => {
  const { format, ...device } = readDeviceOptions();
  download(format, deviceOptionsFor(format, device));
});

$('copy').addEventListener('click', async () => {
  let exportFailure = null;
  const png = requestExport('png').then((made) => {
    if (made.failure) throw new Error((exportFailure = made.failure).text);
    return new Blob([made.bytes], { type: 'image/png' });
  });
  const copyFailure = await copyPng(png);
  if (!copyFailure) addNote(() => text('copied'));
  else if (exportFailure) addNote(() => text('exportFailed', failureText(exportFailure)), true);
  else addNote(() => failureText(copyFailure), true);
});

// --- start ------------------------------------------------------------------------------

switchLanguage(languageFor(navigator.language));
setPhase('empty');
pictureChanged();

// Hooks for tests and benchmarks.
window.quillvex = {
  ready,
  open,
  // Sets some settings ({density, mode: 'hard' | method name, kind, invert, serpentine, linear,
  // radius, k, percent}); resolves with {seq} once that result is whole, or {seq, error}.
  setSettings(partial) {
    const error = controls.set(partial);
    if (error) return Promise.resolve({ error });
    const seq = sendSettings();
    if (!state.picture) return Promise.resolve({ seq });
    return waitFor(() => {
      if (state.settings.seq === seq && state.settings.failure) return { seq, error: $('message').textContent };
      if (state.shown.converted >= seq) return { seq };
      if (state.settings.seq !== seq || !state.picture) return { seq, superseded: true };
      return undefined;
    });
  },
  // Sets the zoom: 1..8, 0.5 or '1/2' .. '1/8', or 'fit'; resolves once a frame for it is painted.
  setZoom(value) {
    const level = parseLevel(value);
    if (level === null) return Promise.resolve({ error: `no zoom level ${value}` });
    const after = state.seq;
    setLevel(level);
    if (!state.picture) return Promise.resolve({ level });
    return waitFor(() => (state.shown.completeFrame > after || !state.picture ? { level } : undefined));
  },
  // export(format, {density, device}): resolves as requestExport does.
  export: requestExport,
  download,
  // Makes the preview's converter fault, as the recovery's test.
  fault() { workers.post(message('fault')); },
  get state() {
    const p = state.picture;
    return { phase: state.phase, name: p?.name ?? null, width: p?.width ?? 0, height: p?.height ?? 0,
             otsu: p?.otsu ?? null, zoom: levelName(panes.level), settings: controls.settings(),
             settingsSeq: state.settings.seq, frameSeq: state.shown.frame, convertedSeq: state.shown.converted,
             completeSeq: state.shown.complete,
             message: $('message').textContent, methods: state.methods };
  },
};
