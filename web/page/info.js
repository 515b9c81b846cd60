// The Info panel: the picture's header field by field, its colour cells as the
// program's Info dialog lays them out, and the whole colour table as swatches. A
// picture the browser decoded has the header of its 24-bit copy and no colour table.
import { text } from './texts.js';

const kLabels = ['biSize', 'biWidth', 'biHeight', 'biPlanes', 'biBitCount', 'biCompression', 'biSizeImage',
                 'biXPelsPerMeter', 'biYPelsPerMeter', 'biColorUsed', 'biClrImportant'];
// Cells 13..20 are the left column, 21..28 the right one.
const kFirstCell = 13, kRows = 8;

const kFormats = { 'image/png': 'PNG', 'image/jpeg': 'JPEG', 'image/gif': 'GIF', 'image/webp': 'WebP' };

// Shows the picture's Info, or that there is none; `file` is {decoded: whether the
// browser decoded it (not the BMP reader), mime: the file's MIME type, device: a device
// file's format ('xbm', 'c') or null}. Called again on
// a language switch.
export function showInfo(info, file) {
  const $ = (id) => document.getElementById(id);
  $('info-empty').hidden = Boolean(info);
  $('info-body').hidden = !info;
  if (!info) return;
  $('info-header').textContent = file?.device ? text('deviceHeader', file.device)
    : file?.decoded ? text('decodedHeader', kFormats[file.mime]) : text('header');
  $('info-colours').hidden = !info.cells.length && !info.table.length;

  $('info-values').replaceChildren(...kLabels.map((label, i) => {
    const row = document.createElement('tr');
    const th = document.createElement('th');
    th.scope = 'row';
    th.textContent = label;
    const td = document.createElement('td');
    td.textContent = info.values[i] ?? '';
    row.append(th, td);
    return row;
  }));

  const cells = new Map(info.cells.map((c) => [c.id, c.text]));
  const rows = [];
  let used = 0;  // rows up to the last one with a cell
  for (let r = 0; r < kRows; ++r) {
    if (cells.has(kFirstCell + r) || cells.has(kFirstCell + kRows + r)) used = r + 1;
  }
  for (let r = 0; r < used; ++r) {
    const left = cells.get(kFirstCell + r), right = cells.get(kFirstCell + kRows + r);
    const row = document.createElement('tr');
    for (const value of [left, right]) {
      const td = document.createElement('td');
      td.textContent = value ?? '';
      row.append(td);
    }
    rows.push(row);
  }
  $('info-cells').replaceChildren(...rows);

  $('info-table').replaceChildren(...info.table.map((hex, i) => {
    const item = document.createElement('li');
    const chip = document.createElement('span');
    chip.className = 'chip';
    chip.style.background = `#${hex}`;
    item.append(chip, `${i}: ${hex}`);
    return item;
  }));
}
