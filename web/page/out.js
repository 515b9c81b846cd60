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
export function deviceOptionsFor(format, { layout, on, name, band }) {
  const options = {};
  if (layout && (format === 'c' || format === 'bin')) options.layout = layout;
  if (on) options.on = on;
  if (name && (format === 'c' || format === 'xbm')) options.name = name;
  if (band && format === 'escpos') options.band = band;
  return options;
}

// Shows the device options that apply to the chosen format.
export function showDeviceOptions() {
  const format = document.getElementById('device-format').value;
  for (const el of document.querySelectorAll('[data-device]')) {
    el.hidden = !el.dataset.device.split(' ').includes(format);
  }
}

export function readDeviceOptions() {
  const value = (id) => document.getElementById(id).value.trim();
  return { format: value('device-format'), layout: value('device-layout'), on: value('device-on'),
           name: value('device-name'), band: value('device-band') };
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
