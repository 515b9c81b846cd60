// Saving the result: file names, the device formats' options, downloads and the clipboard.
import { failure } from './protocol.js';

// The command's own extension for each format.
const kExtensions = { bmp: '.bmp', png: '.png', pbm: '.pbm', pgm: '.pgm', ppm: '.ppm', xbm: '.xbm', c: '.h', bin: '.bin',
                      escpos: '.escpos', zpl: '.zpl' };

// The picture's name without folder and extension ('scan.v2.png' -> 'scan.v2'), or 'picture'.
export function baseName(name) {
  const file = String(name ?? '').split(/[\\/]/).pop();
  const dot = file.lastIndexOf('.');
  return (dot > 0 ? file.slice(0, dot) : file) || 'picture';
}

export function outputName(pictureName, format) { return baseName(pictureName) + kExtensions[format]; }

// The device options the user set that apply to a format (the others' fields may
// still hold values, hidden).
// A preset goes with every format: its layout, polarity and code map where the format
// takes them, and its name in a C header's comment.
export function deviceOptionsFor(format, { layout, on, name, band, planeOn, codes, preset }) {
  const options = {};
  const packed = format === 'c' || format === 'bin';
  if (layout && packed) options.layout = layout;
  if (on) options.on = on;
  if (name && (format === 'c' || format === 'xbm')) options.name = name;
  if (band && format === 'escpos') options.band = band;
  if (planeOn && packed) options.planeOn = planeOn;
  if (codes && packed) options.codes = codes;
  if (preset) options.preset = preset;
  return options;
}

// The planes' polarities as the command takes them: '' when neither is chosen, else
// both, a plane left at its default being white.
export const planeOnText = (first, second) => (first || second ? `${first || 'white'},${second || 'white'}` : '');

// The fields a preset fills, as the device fields hold them (rows-msb is the layout
// field's default).
export function presetFields(preset) {
  return { format: preset.format, layout: !preset.layout || preset.layout === 'rows-msb' ? '' : preset.layout,
           on: preset.on, codes: preset.codes ?? '' };
}

// Shows the device options that apply to the chosen format and layout.
export function showDeviceOptions() {
  const format = document.getElementById('device-format').value;
  const layout = document.getElementById('device-layout').value;
  for (const el of document.querySelectorAll('[data-device]')) {
    el.hidden = !el.dataset.device.split(' ').includes(format) ||
                (el.dataset.layout !== undefined && !el.dataset.layout.split(' ').includes(layout));
  }
}

export function readDeviceOptions() {
  const value = (id) => document.getElementById(id).value.trim();
  return { format: value('device-format'), layout: value('device-layout'), on: value('device-on'),
           name: value('device-name'), band: value('device-band'),
           planeOn: planeOnText(value('device-plane0'), value('device-plane1')), codes: value('device-codes'),
           preset: value('device-preset') };
}

// Sets the device fields a preset fills.
export function fillDeviceFields(fields) {
  const set = (id, value) => { document.getElementById(id).value = value; };
  set('device-format', fields.format);
  set('device-layout', fields.layout);
  set('device-on', fields.on);
  set('device-plane0', '');
  set('device-plane1', '');
  set('device-codes', fields.codes);
  showDeviceOptions();
}

// Hands the bytes to the browser as a download; nothing leaves the machine.
export function saveFile(bytes, fileName, mime) {
  const url = URL.createObjectURL(new Blob([bytes], { type: mime }));
  const link = document.createElement('a');
  link.href = url;
  link.download = fileName;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

// Puts a PNG on the clipboard. pngBlob is a promise, so the browser sees the click
// that asked for it even though the PNG is made afterwards. Returns null, or the
// failure: "no-clipboard" or "copy-refused".
export async function copyPng(pngBlob) {
  if (!navigator.clipboard?.write || typeof ClipboardItem === 'undefined') return failure('no-clipboard');
  try {
    await navigator.clipboard.write([new ClipboardItem({ 'image/png': pngBlob })]);
    return null;
  } catch (error) {
    return failure('copy-refused', error?.message || String(error));
  }
}
