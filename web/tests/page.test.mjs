// The page's pure rules: zoom stepping and naming, the view's centre kept across a
// zoom, the panes' scroll keys, the names and device options of the files it saves,
// the two languages' texts; and the page's server answering bad requests.
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { readFileSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { request } from 'node:http';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { test } from 'node:test';
import { deviceOptionsFor, outputName, planeOnText, presetFields } from '../page/out.js';
import { failure } from '../page/protocol.js';
import { failureText, kTexts, openFailureText, setLanguage } from '../page/texts.js';
import { keepCentre, kFit, levelName, parseLevel, scrollForKey, zoomIn, zoomOut, zoomRatio,
         zoomedSize } from '../page/zoom.js';

test('zoom steps, with and without Ctrl, stop at 8 and at fit', () => {
  const cases = [  // [function, level, ctrl, expected]
    [zoomIn, 8, false, 8], [zoomIn, 8, true, 8], [zoomIn, 3, true, 8], [zoomIn, 0, true, 1],
    [zoomIn, kFit, false, -6], [zoomOut, 1, false, 0], [zoomOut, 1, true, kFit], [zoomOut, 3, true, 1],
    [zoomOut, kFit, false, kFit], [zoomOut, -6, false, kFit],
  ];
  for (const [step, level, ctrl, expected] of cases) {
    assert.equal(step(level, ctrl), expected, `${step.name}(${level}, ${ctrl})`);
  }
});

test('zoom levels by name and factor', () => {
  assert.deepEqual([1, 0, -6, kFit].map(levelName), ['1', '1/2', '1/8', 'fit']);
  const cases = [['fit', kFit], ['1/4', -2], [0.125, -6], [4, 4], ['8', 8], [9, null], ['1/9', null], [0, null]];
  for (const [value, level] of cases) assert.equal(parseLevel(value), level, String(value));
});

test('fit takes the tighter axis; a zoom keeps the centre of the view', () => {
  const ratio = zoomRatio(kFit, { width: 4000, height: 3000 }, { width: 477, height: 672 });
  assert.deepEqual(ratio, { num: 477, den: 4000 });
  assert.deepEqual(zoomedSize({ width: 4000, height: 3000 }, ratio), { width: 477, height: 357 });
  // Centre 1000 + 238.5 at zoom 1 is 2477 at zoom 2, less half the pane.
  assert.equal(keepCentre(1000, 477, { num: 1, den: 1 }, { num: 2, den: 1 }), 2239);
  assert.equal(keepCentre(0, 400, { num: 2, den: 1 }, { num: 1, den: 4 }), 0);
});

test('saved files take the command extensions and only the options of their format', () => {
  assert.equal(outputName('scan.v2.png', 'c'), 'scan.v2.h');
  assert.equal(outputName('C:\\pics\\photo.BMP', 'pbm'), 'photo.pbm');
  assert.equal(outputName('', 'zpl'), 'picture.zpl');
  const all = { layout: 'pages', on: 'white', name: 'logo', band: '64' };
  assert.deepEqual(deviceOptionsFor('xbm', all), { on: 'white', name: 'logo' });
  assert.deepEqual(deviceOptionsFor('bin', all), { layout: 'pages', on: 'white' });
  assert.deepEqual(deviceOptionsFor('escpos', { band: '64' }), { band: '64' });
  // The packings' options go to c and bin only (the command refuses them elsewhere); a preset to every format.
  const packed = { layout: 'planes', planeOn: 'black,white', codes: '0,1,2', preset: 'epaper-bwr' };
  assert.deepEqual(deviceOptionsFor('c', packed), packed);
  assert.deepEqual(deviceOptionsFor('xbm', packed), { preset: 'epaper-bwr' });
  assert.deepEqual(deviceOptionsFor('zpl', packed), { preset: 'epaper-bwr' });
});

test('the planes\' polarities and a preset\'s fields as the command and the fields take them', () => {
  const cases = [['', '', ''], ['black', '', 'black,white'], ['', 'black', 'white,black'], ['white', 'white', 'white,white']];
  for (const [first, second, expected] of cases) assert.equal(planeOnText(first, second), expected, `${first}|${second}`);
  const preset = (layout, codes = null) => ({ format: 'c', layout, on: 'white', codes });
  // rows-msb is the layout field's empty default; a format without layouts has none.
  assert.deepEqual(presetFields(preset('rows-msb')), { format: 'c', layout: '', on: 'white', codes: '' });
  assert.deepEqual(presetFields(preset(null)).layout, '');
  assert.deepEqual(presetFields(preset('4bpp-msb', '0,1,2,3,5,6')),
                   { format: 'c', layout: '4bpp-msb', on: 'white', codes: '0,1,2,3,5,6' });
});

test('a picture one pixel thin keeps a pixel at every zoom', () => {
  const pane = { width: 477, height: 672 };
  const cases = [  // [picture, level, zoomed]
    [{ width: 1, height: 20000 }, kFit, { width: 1, height: 672 }],
    [{ width: 20000, height: 1 }, kFit, { width: 477, height: 1 }],
    [{ width: 1, height: 20000 }, -6, { width: 1, height: 2500 }],
    [{ width: 20000, height: 1 }, -6, { width: 2500, height: 1 }],
    [{ width: 7, height: 9 }, -6, { width: 1, height: 1 }],
    [{ width: 17, height: 9 }, -6, { width: 2, height: 1 }],
  ];
  for (const [picture, level, zoomed] of cases) {
    assert.deepEqual(zoomedSize(picture, zoomRatio(level, picture, pane)), zoomed, `${picture.width}x${picture.height}`);
  }
});

test('scroll keys move a line, a page or to an end, within the scroll range', () => {
  // A 1000 x 2000 zoomed picture in a 400 x 300 pane: x runs 0..600, y 0..1700.
  const pane = { scrollLeft: 100, scrollTop: 50, clientWidth: 400, clientHeight: 300, scrollWidth: 1000,
                 scrollHeight: 2000 };
  const cases = [  // [key, modifiers, x, y]
    ['ArrowRight', {}, 140, 50], ['ArrowLeft', {}, 60, 50], ['ArrowDown', {}, 100, 90], ['ArrowUp', {}, 100, 10],
    ['ArrowRight', { ctrl: true }, 460, 50], ['ArrowLeft', { ctrl: true }, 0, 50],
    ['ArrowDown', { ctrl: true }, 100, 310], ['PageDown', {}, 100, 310], ['PageUp', {}, 100, 0],
    ['PageDown', { shift: true }, 460, 50], ['PageUp', { shift: true }, 0, 50],
    ['Home', {}, 100, 0], ['End', {}, 100, 1700], ['Home', { ctrl: true }, 0, 50], ['End', { shift: true }, 600, 50],
  ];
  for (const [key, modifiers, x, y] of cases) {
    assert.deepEqual(scrollForKey(key, modifiers, pane), { x, y }, `${key} ${JSON.stringify(modifiers)}`);
  }
  assert.deepEqual(scrollForKey('ArrowRight', {}, { ...pane, scrollLeft: 590 }), { x: 600, y: 50 });
  assert.deepEqual(scrollForKey('End', {}, { ...pane, scrollHeight: 100 }), { x: 100, y: 0 });
  for (const key of ['+', '-', 'a', 'Enter']) assert.equal(scrollForKey(key, {}, pane), null, key);
});

test('both languages have every text, of the same kind, and every text the page names', () => {
  const { en, ja } = kTexts;
  assert.deepEqual(Object.keys(ja).sort(), Object.keys(en).sort());
  const shape = (v) => (Array.isArray(v) ? `array ${v.length}` : typeof v === 'function' ? `function ${v.length}`
                        : v && typeof v === 'object' ? `keys ${Object.keys(v).sort()}` : typeof v);
  for (const key of Object.keys(en)) assert.equal(shape(ja[key]), shape(en[key]), key);
  const html = readFileSync(new URL('../page/index.html', import.meta.url), 'utf8');
  for (const [, key] of html.matchAll(/data-text(?:-label|-title)?="([^"]+)"/g)) {
    assert.equal(typeof en[key], 'string', `index.html names ${key}`);
  }
});

test('a failure reads in the page\'s language by its code, not in the core\'s words', () => {
  const page = { documentElement: {}, title: '', querySelectorAll: () => [] };
  const { ja } = kTexts;
  try {
    setLanguage('ja', page);
    const cases = [  // [the failure, the Japanese text]
      [failure('setting', '--band must be a number from 1 to 2303: 0', { field: 'band' }), ja.optionRules.band],
      [failure('no-picture'), ja.noPicture],
      [failure('memory'), ja.memory],
      [failure('not-bitmap', 'This file is not a bitmap file.'), 'このファイルはBMPファイルではありません。'],
      [failure('too-large', '', { width: 9000, height: 9000 }), ja.tooLargeSize(9000, 9000, (100).toLocaleString())],
      [failure('something-new', 'something new'), 'something new'],
    ];
    for (const [f, expected] of cases) assert.equal(failureText(f, 100), expected, f.code);
    // Opening: the BMP reader's codes say the file is damaged; the page's own do not.
    assert.equal(openFailureText(failure('short-data', 'Read error.')), ja.damaged('読み込みエラーが発生しました。'));
    assert.equal(openFailureText(failure('empty')), ja.empty);
  } finally {
    setLanguage('en', page);
  }
  // In English the core's own words.
  assert.equal(openFailureText(failure('short-data', 'Read error.')), kTexts.en.damaged('Read error.'));
});

// Sends one request with the path as it is written; resolves with {status, body}.
function get(port, path) {
  return new Promise((resolve, reject) => {
    request({ host: '127.0.0.1', port, path }, (response) => {
      let body = '';
      response.on('data', (d) => { body += d; });
      response.on('end', () => resolve({ status: response.statusCode, body }));
    }).on('error', reject).end();
  });
}

test('the server answers a malformed or outside path and keeps serving', async () => {
  const folder = mkdtempSync(join(tmpdir(), 'qvx-serve-'));
  writeFileSync(join(folder, 'index.html'), 'the page\n');
  const server = spawn('node', [new URL('../serve.mjs', import.meta.url).pathname, folder, '0']);
  try {
    const port = await new Promise((resolve, reject) => {
      server.stdout.on('data', (d) => resolve(Number(String(d).match(/:(\d+)\//)[1])));
      server.on('exit', () => reject(new Error('the server did not start')));
    });
    const cases = [['/%', 400], ['/%E0%A4%A', 400], ['/a%00b', 400], ['/..%2f..%2fetc%2fpasswd', 403],
                   ['/missing.js', 404], ['/', 200]];
    for (const [path, status] of cases) assert.equal((await get(port, path)).status, status, path);
    assert.deepEqual(await get(port, '/index.html'), { status: 200, body: 'the page\n' });
    assert.equal(server.exitCode, null, 'the server stopped');
  } finally {
    server.kill();
    rmSync(folder, { recursive: true, force: true });
  }
});
