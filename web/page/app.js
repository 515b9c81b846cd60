// The page's main thread: talks to the worker that holds the WebAssembly core, and
// keeps the panes, controls, messages and downloads in step with what it answers.
// Every request to the worker (settings and views alike) takes the next number of one
// counter, so "the newest request a painted frame answers" is a single growing number.
import { Controls } from './controls.js';
import { drawHistogram } from './histogram.js';
import { showInfo } from './info.js';
import { isEditable, wireOpening } from './open.js';
import { copyPng, deviceArguments, outputName, readDeviceOptions, saveFile, showDeviceOptions } from './out.js';
import { Panes } from './panes.js';
import { exportFailureText, languageFor, setLanguage, text } from './texts.js';
import { kLevels, levelName, parseLevel, zoomIn, zoomOut } from './zoom.js';

const $ = (id) => document.getElementById(id);
const body = document.body;

const state = {
  state: 'empty', picture: null, methods: [], maxPixels: 0,
  seq: 0, settingsSeq: 0, failedSeq: 0, frameSeq: 0, resultSeq: 0, convertedSeq: 0,
  firstViewSeq: 0,  // the first view of the picture opened last; Infinity until it is sent
  openId: 0,        // the number of the latest open; a picture keeps its open's number
  refused: null,    // {seq, field, message}: the latest settings, refused
};
let message = () => '';   // the message shown, re-made on a language switch
let messageIsError = false;
let notes = [];           // [{make, error}]: what the saves since the last open came to
const waiters = [];       // {test, resolve}: settled as frames and answers arrive

// Timing marks for tests and benchmarks. Numbered ones (qvx-view-N, qvx-settings-N,
// qvx-frame-N, qvx-result-N, qvx-converted-N) are let go once far behind, so a long
// session does not pile them up.
let marks = 0;
function mark(name) {
  performance.mark(name);
  if (++marks % 1000) return;
  for (const entry of performance.getEntriesByType('mark')) {
    const seq = Number(entry.name.match(/^qvx-\w+-(\d+)$/)?.[1]);
    if (seq < state.seq - 1000) performance.clearMarks(entry.name);
  }
}

function setState(name) {
  state.state = name;
  body.dataset.state = name;
  $('progress').hidden = name !== 'converting' && name !== 'opening';
  $('result-pane').setAttribute('aria-busy', String(name === 'converting' || name === 'opening'));
  updateSaves();
}

// Saves need a picture that is open, not being replaced, and settings the command takes.
function updateSaves() {
  const off = !state.picture || state.state === 'opening' || Boolean(state.refused);
  for (const el of document.querySelectorAll('[data-needs-picture]')) el.disabled = off;
}

// Ready once the latest settings are converted whole and shown in the panes.
function checkReady() {
  if (state.state === 'converting' && state.convertedSeq >= state.settingsSeq && state.resultSeq >= state.settingsSeq &&
      state.frameSeq >= state.firstViewSeq) {
    setState('ready');
  }
}

// The message line: what the page is doing or why it can't, then what the saves since
// the last open came to, so that no save's outcome is replaced unseen.
function showMessage(make, error = false) {
  message = make;
  messageIsError = error;
  renderMessage();
}

function addNote(make, error = false) {
  notes = [...notes.slice(-2), { make, error }];
  renderMessage();
}

function renderMessage() {
  const line = $('message');
  line.textContent = [message(), ...notes.map((n) => n.make())].filter(Boolean).join(' ');
  line.classList.toggle('error', messageIsError || notes.some((n) => n.error));
}

function settle() {
  for (let i = waiters.length - 1; i >= 0; --i) {
    const value = waiters[i].test();
    if (value !== undefined) waiters.splice(i, 1)[0].resolve(value);
  }
}
const waitFor = (test) => new Promise((resolve) => {
  waiters.push({ test, resolve });
  settle();
});

// --- the worker ---------------------------------------------------------------

const worker = new Worker('worker.js', { type: 'module' });
let readyResolve, readyReject;
const ready = new Promise((resolve, reject) => {
  readyResolve = resolve;
  readyReject = reject;
});
ready.catch(() => {});

const panes = new Panes($('source-pane'), $('result-pane'), (view) => {
  const seq = ++state.seq;
  if (state.firstViewSeq === Infinity) state.firstViewSeq = seq;
  mark(`qvx-view-${seq}`);
  worker.postMessage({ type: 'view', seq, ...view });
});
// The worker draws straight into the panes' canvases where the browser allows it.
if (HTMLCanvasElement.prototype.transferControlToOffscreen) panes.transferTo(worker);
const controls = new Controls(sendSettings);

function sendSettings() {
  const seq = ++state.seq;
  state.settingsSeq = seq;
  if (state.refused) {
    // The worker answers these settings with a refusal, or with their result.
    state.refused = null;
    updateSaves();
    if (state.picture) {
      showMessage(pictureLine);
    } else {
      showMessage(() => '');
      setState('empty');
    }
  }
  mark(`qvx-settings-${seq}`);
  worker.postMessage({ type: 'settings', seq, ...controls.settings() });
  if (state.picture) setState('converting');
  redrawHistogram();
  return seq;
}

const handlers = {
  ready(m) {
    state.methods = m.methods;
    state.maxPixels = m.maxPixels;
    controls.fillModes(m.methods);
    sendSettings();
    readyResolve();
  },
  fatal(m) {
    setState('error');
    showMessage(() => text('fatal', m.message), true);
    readyReject(new Error(m.message));
  },
  opened(m) {
    mark('qvx-opened');
    state.picture = { id: m.id, name: m.name, width: m.width, height: m.height, otsu: m.otsu, histogram: m.histogram,
                      info: m.info, kind: m.kind, mime: m.mime, ms: m.ms };
    state.firstViewSeq = Infinity;
    pictureChanged();
    if (state.refused) {
      setState('error');
      showRefusal();
    } else {
      state.failureShown = false;
      showMessage(pictureLine);
      setState('converting');
    }
    finishOpen(m);
  },
  'open-failed'(m) {
    mark('qvx-open-failed');
    state.picture = null;
    pictureChanged();
    setState('error');
    showMessage(() => text('failed', m.name, failureText(m.reason)), true);
    finishOpen(m);
  },
  restarted(m) {
    addNote(() => text('restarted', m.reason), true);
  },
  frame(m) {
    // A frame drawn for the view of the picture before is not this picture's.
    if (!state.picture || m.seq < state.firstViewSeq) return;
    const first = state.frameSeq < state.firstViewSeq;
    panes.paint(m);
    state.frameSeq = Math.max(state.frameSeq, m.seq, m.settingsSeq);
    body.dataset.frameSeq = String(state.frameSeq);
    mark(`qvx-frame-${state.frameSeq}`);
    if (m.settingsSeq > state.resultSeq) {
      state.resultSeq = m.settingsSeq;
      if (state.failureShown && m.settingsSeq > state.failedSeq && !state.refused) {
        state.failureShown = false;  // good settings again: back to the picture's line
        showMessage(pictureLine);
      }
      mark(`qvx-result-${m.settingsSeq}`);
      if (m.drawnAt) {
        performance.mark(`qvx-drawn-${m.settingsSeq}`, { startTime: m.drawnAt - performance.timeOrigin });
      }
    }
    if (first) mark('qvx-panes-shown');
    checkReady();
    settle();
  },
  converted(m) {
    state.convertedSeq = Math.max(state.convertedSeq, m.seq);
    body.dataset.convertedSeq = String(state.convertedSeq);
    mark(`qvx-converted-${m.seq}`);
    checkReady();
    settle();
  },
  'settings-failed'(m) {
    if (m.seq !== state.settingsSeq) return;
    state.failedSeq = m.seq;
    state.failureShown = true;
    // A field the parser refuses keeps the result and the saves off until it is good;
    // settings refused only when started (memory) are a failure of that start alone.
    if (m.field) state.refused = { seq: m.seq, field: m.field, message: m.message };
    if (state.picture || m.field) setState('error');
    if (m.field) showRefusal();
    else showMessage(() => (m.message === 'memory' ? text('memory') : text('settingsFailed', m.message)), true);
    settle();
  },
  exported(m) {
    const pending = exports.get(m.id);
    exports.delete(m.id);
    pending?.(m);
  },
};
worker.onmessage = (event) => handlers[event.data.type]?.(event.data);
worker.onerror = (event) => handlers.fatal({ message: event.message || 'worker error' });

// Names the refused field and its rule in the page's language.
function showRefusal() {
  const { field, message: why } = state.refused;
  const param = state.methods.flatMap((m) => m.params).find((p) => p.name === field);
  const rule = field === 'mode' ? text('modeRule') : param && param.kind !== 'flag' ? text('settingRule', param) : '';
  showMessage(() => (rule ? text('settingRefused', text(field), rule)
                          : text('settingsFailed', why)), true);
}

const pictureLine = () => (state.picture ? text('opened', state.picture.name, state.picture.width, state.picture.height) : '');

function failureText(reason) {
  switch (reason?.key) {
    case 'empty': return text('empty');
    case 'not-picture': return text('notPicture');
    case 'too-large':
      return reason.width ? text('tooLargeSize', reason.width, reason.height, state.maxPixels.toLocaleString())
                          : text('tooLarge', state.maxPixels.toLocaleString());
    case 'refused-format': return text('formatRefused', reason.format);
    case 'damaged': return text('damaged', text('bmpCodes')[reason.code] ?? String(reason.code));
    case 'memory': return text('memory');
    case 'unreadable': return text('bmpCodes')[1];
    default: return text('notPicture');
  }
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
  showInfo(state.picture?.info ?? null, state.picture);
  redrawHistogram();
}

const levelLabel = (level) => (levelName(level) === 'fit' ? text('fit') : levelName(level));

// --- opening: one at a time, in the order asked --------------------------------

let openChain = Promise.resolve();
let openResolve = null;

function finishOpen(m) {
  openResolve?.(m);
  openResolve = null;
}

// Opens a File or {name, bytes}; resolves with the worker's answer ('opened' or 'open-failed').
function open(file) {
  const run = async () => {
    await ready;
    const name = file.name ?? 'picture';
    const id = ++state.openId;
    mark('qvx-open-start');
    notes = [];
    setState('opening');
    showMessage(() => text('opening'));
    // The worker reads the file itself, straight into the core's memory.
    const blob = file instanceof Blob ? file : new Blob([file.bytes]);
    mark('qvx-open-read');
    const answer = new Promise((resolve) => { openResolve = resolve; });
    worker.postMessage({ type: 'open', id, name, file: blob });
    return answer;
  };
  const result = openChain.then(run);
  openChain = result.catch(() => {});
  return result;
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

const exports = new Map();
let exportId = 0;

// The text of an export's failure: the worker's reason, or the command's message.
function exportFailure(m) {
  switch (m.error?.key) {
    case 'replaced': return text('saveReplaced');
    case 'settings': return state.refused ? text('saveRefused') : text('noPicture');
    case 'fault': return m.error.message;
    default: return exportFailureText(m);
  }
}

// Resolves with {fileName, mime, bytes} or {error} (a text). The request names the
// picture its file name is made from: the worker saves that picture or nothing.
// `density`, when given, stands in for the slider's (the tests' hook asks for many).
function requestExport(format, extra = [], density = null) {
  if (!state.picture || state.state === 'opening') return Promise.resolve({ error: text('noPicture') });
  const id = ++exportId, picture = state.picture;
  return new Promise((resolve) => {
    exports.set(id, (m) => resolve(m.error ? { ...m, error: exportFailure(m) } : m));
    worker.postMessage({ type: 'export', id, pictureId: picture.id, format, fileName: outputName(picture.name, format),
                         extra, density });
  });
}

async function download(format, extra) {
  const made = await requestExport(format, extra);
  if (made.error) {
    addNote(() => text('exportFailed', made.error), true);
  } else {
    saveFile(made.bytes, made.fileName, made.mime);
    addNote(() => text('saved', made.fileName));
  }
  return made;
}

for (const format of ['bmp', 'png', 'pbm']) $(`download-${format}`).addEventListener('click', () => download(format));
$('device-format').addEventListener('change', showDeviceOptions);
showDeviceOptions();
$('download-device').addEventListener('click', () => {
  const options = readDeviceOptions();
  download(options.format, deviceArguments(options.format, options));
});

$('copy').addEventListener('click', async () => {
  let exportError = '';
  const png = requestExport('png').then((made) => {
    if (made.error) throw new Error((exportError = made.error));
    return new Blob([made.bytes], { type: 'image/png' });
  });
  const refused = await copyPng(png);
  if (!refused) addNote(() => text('copied'));
  else if (exportError) addNote(() => text('exportFailed', exportError), true);
  else if (refused === 'unsupported') addNote(() => text('noClipboard'), true);
  else addNote(() => text('copyRefused', refused), true);
});

// --- start ------------------------------------------------------------------------------

switchLanguage(languageFor(navigator.language));
setState('empty');
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
      if (state.failedSeq === seq) return { seq, error: $('message').textContent };
      if (state.convertedSeq >= seq) return { seq };
      if (!state.picture || state.settingsSeq !== seq) return { seq, superseded: true };
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
    return waitFor(() => (state.frameSeq > after || !state.picture ? { level } : undefined));
  },
  export: requestExport,
  download,
  // Makes the converter fault, as the recovery's test.
  fault() { worker.postMessage({ type: 'fault' }); },
  get state() {
    const p = state.picture;
    return { state: state.state, name: p?.name ?? null, width: p?.width ?? 0, height: p?.height ?? 0,
             otsu: p?.otsu ?? null, zoom: levelName(panes.level), settings: controls.settings(),
             settingsSeq: state.settingsSeq, frameSeq: state.frameSeq, convertedSeq: state.convertedSeq,
             message: $('message').textContent, methods: state.methods };
  },
};
