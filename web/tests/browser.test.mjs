// The page in Debian's chromium, served as ./run --web serves it: files opened through
// the picker come out byte for byte as quillvex-cli writes them; bad files end in one
// message and leave the page usable; keys, labels and no network after the load.
import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import { mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { after, before, test } from 'node:test';
import { chromium } from 'playwright-core';
import { alphaPng, gifClaiming, hugePng, jpegClaiming, pngOf, webpClaiming, withOrientation } from './pictures.mjs';

const root = new URL('../..', import.meta.url).pathname;
const cli = join(root, 'build/release/quillvex-cli');
const suite = join(root, 'tests/data/bmpsuite/g');
const scratch = mkdtempSync(join(tmpdir(), 'qvx-page-'));
const shots = join(root, 'build/web-test');
const outputs = join(scratch, 'out');
mkdirSync(outputs);
let server, browser, page, address;
const requests = [];

before(async () => {
  server = spawn('node', [join(root, 'web/serve.mjs'), join(root, 'build/web'), '0']);
  address = await new Promise((resolve, reject) => {
    server.stdout.on('data', (d) => resolve(String(d).match(/http:\S+/)[0]));
    server.on('exit', () => reject(new Error('the page server did not start')));
  });
  browser = await chromium.launch({
    executablePath: '/usr/bin/chromium',
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--no-first-run', '--disable-quic'],
  });
  page = await newPage();
  page.on('request', (r) => requests.push(r.url()));
});

// A page of its own: the browser allows a tab only a few downloads without asking.
async function newPage() {
  const context = await browser.newContext({ viewport: { width: 1280, height: 800 }, locale: 'en-US' });
  const fresh = await context.newPage();
  fresh.on('pageerror', (e) => console.error('page error:', e.message));
  await fresh.goto(address);
  await fresh.evaluate(() => window.quillvex.ready);
  return fresh;
}

after(async () => {
  await browser?.close();
  server?.kill();
  rmSync(scratch, { recursive: true, force: true });
});

async function openFile(path) {
  await page.setInputFiles('#file', path);
  await page.waitForFunction(() => ['ready', 'error'].includes(document.body.dataset.state) &&
                                   window.quillvex.state.name !== null || document.body.dataset.state === 'error');
  return page.evaluate(() => window.quillvex.state);
}

async function settle(settings) {
  const done = await page.evaluate((s) => window.quillvex.setSettings(s), settings);
  assert.ok(!done.error, done.error);
}

// Downloads through the button and returns the file's bytes.
async function download(button) {
  const [file] = await Promise.all([page.waitForEvent('download'), page.click(button)]);
  return readFileSync(await file.path());
}

// The bytes the page's save would hand over, from the hook the buttons call.
async function exported(format) {
  const made = await page.evaluate(async (f) => {
    const m = await window.quillvex.export(f);
    return m.failure ? { error: JSON.stringify(m.failure) } : { bytes: [...new Uint8Array(m.bytes)] };
  }, format);
  assert.ok(!made.error, made.error);
  return Buffer.from(made.bytes);
}

// The command's file, written under the name the page gives it (device formats name
// their array after the file).
function command(args, input, extension) {
  const out = join(outputs, input.split('/').pop().replace(/\.[^.]*$/, '') + extension);
  execFileSync(cli, [...args, '-q', '-o', out, input]);
  return readFileSync(out);
}

test('downloads are the command\'s files, for every depth, RLE, top-down, an alpha PNG and a JPEG', async () => {
  const png = join(scratch, 'alpha.png'), jpeg = join(scratch, 'photo.jpg');
  writeFileSync(png, alphaPng(203, 61));
  execFileSync('convert', ['-size', '160x90', 'gradient:red-blue', '-swirl', '90', '-quality', '85', jpeg]);
  const pictures = ['pal1.bmp', 'pal4.bmp', 'pal4rle.bmp', 'pal8rle.bmp', 'pal8topdown.bmp', 'rgb16-565.bmp',
                    'rgb24.bmp', 'rgb32bf.bmp'].map((f) => join(suite, f)).concat(png, jpeg);
  const settings = [
    [{ density: 127, mode: 'letter', invert: false }, ['-t', '127', '-m', 'letter']],
    [{ density: 200, mode: 'hard', invert: true }, ['-t', '200', '-m', 'hard', '-i']],
    [{ density: 90, mode: 'soft', invert: false }, ['-t', '90', '-m', 'soft']],
    [{ density: 127, mode: 'floyd-steinberg', invert: false, serpentine: true }, ['-m', 'floyd-steinberg', '--serpentine']],
  ];
  const main = page;
  for (const picture of pictures) {
    page = await newPage();
    const opened = await openFile(picture);
    assert.equal(opened.phase, 'ready', `${picture}: ${opened.message}`);
    for (const [i, [chosen, args]] of settings.entries()) {
      await settle(chosen);
      const what = `${picture} ${args.join(' ')}`;
      // The buttons once a picture, the hook they call for the other settings.
      const bytes = (format) => (i === 1 ? download(`#download-${format}`) : exported(format));
      assert.ok(Buffer.from(await bytes('bmp')).equals(command(args, picture, '.bmp')), `${what}: BMP`);
      assert.ok(Buffer.from(await bytes('pbm')).equals(command(args, picture, '.pbm')), `${what}: PBM`);
      assert.ok(Buffer.from(await bytes('png')).equals(command(args, picture, '.png')), `${what}: PNG`);
    }
    await page.context().close();
  }
  page = main;
});

test('grey levels and palettes: PNG, BMP, PGM and PPM are the command\'s files', async () => {
  const photo = join(scratch, 'colours.jpg');
  execFileSync('convert', ['-size', '203x121', 'gradient:gold-purple', '-swirl', '160', '-quality', '90', photo]);
  const none = { levels: null, palette: null, invert: false, density: 127, serpentine: false, linear: false };
  const cases = [
    [{ mode: 'floyd-steinberg', palette: 'acep7-measured' }, ['-m', 'floyd-steinberg', '--palette', 'acep7-measured']],
    // Four greys are 2-bit grey samples; five an indexed PNG of greys; three colours 2-bit indexes.
    [{ mode: 'floyd-steinberg', levels: 4, density: 140 }, ['-m', 'floyd-steinberg', '--levels', '4', '-t', '140']],
    [{ mode: 'letter', levels: 5, invert: true }, ['-m', 'letter', '--levels', '5', '-i']],
    [{ mode: 'bayer8', levels: 16, linear: true }, ['-m', 'bayer8', '--levels', '16', '--linear']],
    [{ mode: 'atkinson', palette: '#ff0000,#00ff00,#0000ff' }, ['-m', 'atkinson', '--palette', '#ff0000,#00ff00,#0000ff']],
  ];
  const main = page;
  page = await newPage();
  assert.equal((await openFile(photo)).phase, 'ready');
  for (const [i, [chosen, args]] of cases.entries()) {
    await settle({ ...none, ...chosen });
    const what = args.join(' ');
    const formats = chosen.palette ? ['png', 'bmp', 'ppm'] : ['png', 'bmp', 'ppm', 'pgm'];
    for (const format of formats) {
      const bytes = i === 0 && format === 'png' ? await download('#download-png') : await exported(format);
      assert.ok(bytes.equals(command([...args, '-f', format], photo, `.${format}`)), `${what}: ${format}`);
    }
  }
  // A palette's bad entry is refused in the command's words; the levels wait while a palette is chosen.
  const done = await page.evaluate((s) => window.quillvex.setSettings(s), { mode: 'letter', palette: '#ff0000,#12345x' });
  assert.match(done.error ?? '', /^These settings can't be used: palette entry 2 "#12345x"/);
  assert.equal(await page.evaluate(() => document.getElementById('levels').disabled), true);
  await page.context().close();
  page = main;
});

// --- JPEG: the page's pixels, level by level ----------------------------------------
//
// A pixel is white in Letter mode when its luminance is above the density, so the
// files of every density from one at which the whole picture is white to one at which
// it is black give each pixel's luminance exactly: a difference of one level in any
// pixel changes one of them. The pictures' levels span a narrow band, so that few
// densities are needed.

const pbmRows = (pbm) => pbm.subarray(pbm.indexOf(10, pbm.indexOf(10) + 1) + 1);

// Each pixel's luminance from Letter files {density: PBM} of width x height.
function levelsOfLetters(files, width, height) {
  const densities = Object.keys(files).map(Number).sort((a, b) => a - b);
  const stride = (width + 7) >> 3, levels = new Uint8Array(width * height).fill(densities[0]);
  for (const d of densities) {
    const rows = pbmRows(files[d]);
    assert.equal(rows.length, stride * height, `the file of density ${d} is ${width} x ${height}`);
    for (let y = 0; y < height; ++y) {
      for (let x = 0; x < width; ++x) levels[y * width + x] += (~rows[y * stride + (x >> 3)] >> (7 - (x & 7))) & 1;
    }
  }
  return levels;
}

// The number of black pixels of a PBM file.
function blackPixels(pbm) {
  const [, width, height] = /^P4\s+(\d+)\s+(\d+)/.exec(pbm.toString('latin1')).map(Number);
  const rows = pbmRows(pbm), stride = (width + 7) >> 3;
  let black = 0;
  for (let y = 0; y < height; ++y) {
    for (let x = 0; x < width; ++x) black += (rows[y * stride + (x >> 3)] >> (7 - (x & 7))) & 1;
  }
  return { black, pixels: width * height };
}

// The command's Letter files of each picture, {density: PBM}, from a density at which
// the picture is all white to one at which it is all black.
function commandLetters(pictures) {
  const files = new Map(pictures.map((p) => [p, {}]));
  const folder = join(scratch, 'letters');
  for (const [start, step] of [[127, -1], [128, 1]]) {
    let active = [...pictures];
    for (let d = start; active.length && d >= 0 && d <= 254; d += step) {
      rmSync(folder, { recursive: true, force: true });
      mkdirSync(folder);
      execFileSync(cli, ['-q', '-t', String(d), '-m', 'letter', '-f', 'pbm', '-d', folder, ...active]);
      active = active.filter((p) => {
        const pbm = readFileSync(join(folder, p.split('/').pop().replace(/\.[^.]*$/, '.pbm')));
        files.get(p)[d] = pbm;
        const { black, pixels } = blackPixels(pbm);
        return black !== (step < 0 ? 0 : pixels);
      });
    }
  }
  return files;
}

// The page's Letter files of its open picture at the given densities.
async function pageLetters(densities) {
  await settle({ mode: 'letter', invert: false });
  const files = await page.evaluate(async (list) => {
    const out = {};
    for (const d of list) {
      const made = await window.quillvex.export('pbm', { density: d });
      if (made.failure) return { error: JSON.stringify(made.failure) };
      out[d] = [...new Uint8Array(made.bytes)];
    }
    return out;
  }, densities);
  assert.ok(!files.error, files.error);
  return Object.fromEntries(Object.entries(files).map(([d, bytes]) => [d, Buffer.from(bytes)]));
}

function assertSameLevels(got, expected, width, what) {
  let differing = 0, first = '';
  for (let i = 0; i < expected.length; ++i) {
    if (got[i] === expected[i]) continue;
    if (!differing++) first = ` (first at ${i % width}, ${Math.floor(i / width)}: ${got[i]}, not ${expected[i]})`;
  }
  assert.equal(differing, 0, `${what}: ${differing} pixels differ${first}`);
}

test('JPEGs: the command\'s pixels at every level, CMYK, EXIF orientation and a recorded resolution', async () => {
  const base = ['-size', '200x150', '-seed', '7', 'plasma:red-blue', '-blur', '0x1', '+level', '40%,60%', '-quality', '90'];
  const jpeg = (name, ...args) => {
    const path = join(scratch, name);
    execFileSync('convert', [...base, ...args, path]);
    return path;
  };
  const gradient = jpeg('gradient.jpg', '-sampling-factor', '2x2');
  const dpi = jpeg('dpi300.jpg', '-density', '300', '-units', 'PixelsPerInch');
  const cmyk = jpeg('cmyk.jpg', '-colorspace', 'CMYK');
  const rotated = join(scratch, 'turned.jpg');
  writeFileSync(rotated, withOrientation(readFileSync(gradient), 6));
  const expected = commandLetters([gradient, dpi, rotated, cmyk]);

  const main = page;
  try {
    for (const picture of [gradient, dpi]) {
      page = await newPage();
      assert.equal((await openFile(picture)).phase, 'ready');
      const files = expected.get(picture), densities = Object.keys(files).map(Number);
      assertSameLevels(levelsOfLetters(await pageLetters(densities), 200, 150), levelsOfLetters(files, 200, 150), 200,
                       picture);
      // The recorded resolution goes into both files' headers.
      const args = ['-m', 'floyd-steinberg'];
      await settle({ mode: 'floyd-steinberg', density: 127 });
      assert.ok((await exported('bmp')).equals(command(args, picture, '.bmp')), `${picture}: BMP`);
      assert.ok((await exported('png')).equals(command(args, picture, '.png')), `${picture}: PNG`);
      await page.context().close();
    }

    // Orientation 6: the stored picture turned a quarter clockwise, 150 x 200.
    page = await newPage();
    const turned = await openFile(rotated);
    assert.deepEqual([turned.width, turned.height], [150, 200]);
    const stored = levelsOfLetters(expected.get(gradient), 200, 150), upright = new Uint8Array(150 * 200);
    for (let y = 0; y < 200; ++y) {
      for (let x = 0; x < 150; ++x) upright[y * 150 + x] = stored[(149 - x) * 200 + y];
    }
    const densities = Object.keys(expected.get(gradient)).map(Number);
    assertSameLevels(levelsOfLetters(await pageLetters(densities), 150, 200), upright, 150, 'orientation 6');
    // The command turns it upright on reading too.
    assertSameLevels(levelsOfLetters(expected.get(rotated), 150, 200), upright, 150, 'the command, orientation 6');
    await page.context().close();

    // CMYK, stored inverted (Adobe): red = (255 - C)(255 - K) / 255, truncated, from the
    // inks as ImageMagick reads them.
    const inks = execFileSync('convert', [cmyk, '-depth', '8', 'cmyk:-'], { maxBuffer: 1 << 24 });
    const levels = new Uint8Array(200 * 150);
    for (let i = 0; i < levels.length; ++i) {
      const [c, m, y, k] = inks.subarray(4 * i, 4 * i + 4), w = 255 - k;
      const [r, g, b] = [c, m, y].map((ink) => Math.floor(((255 - ink) * w) / 255));
      levels[i] = Math.floor((299 * r + 587 * g + 114 * b) / 1000);
    }
    page = await newPage();
    await openFile(cmyk);
    const low = Math.max(0, Math.min(...levels) - 1), high = Math.max(...levels);
    const range = Array.from({ length: high - low + 1 }, (_, i) => low + i);
    assertSameLevels(levelsOfLetters(await pageLetters(range), 200, 150), levels, 200, 'CMYK');
    assertSameLevels(levelsOfLetters(expected.get(cmyk), 200, 150), levels, 200, 'the command, CMYK');
    await page.context().close();
  } finally {
    page = main;
  }
});

test('a device format with its options is the command\'s file', async () => {
  const picture = join(suite, 'rgb24.bmp');
  await openFile(picture);
  await settle({ density: 140, mode: 'atkinson', invert: false });
  await page.selectOption('#device-format', 'zpl');
  const zpl = await download('#download-device');
  assert.ok(zpl.equals(command(['-t', '140', '-m', 'atkinson', '-f', 'zpl'], picture, '.zpl')));
});

test('grey and colour packings and presets: the device downloads are the command\'s files', async () => {
  const photo = join(scratch, 'panel.jpg');
  execFileSync('convert', ['-size', '203x61', 'gradient:gold-purple', '-swirl', '160', '-quality', '90', photo]);
  const none = { levels: null, palette: null, invert: false, density: 127, serpentine: false, linear: false };
  const field = { preset: '', format: 'c', layout: '', on: '', codes: '', plane0: '', plane1: '' };
  // [settings, the device fields set one by one, the command's arguments]; a preset is
  // chosen first and fills the fields, which the fields after it change.
  const cases = [
    [{ mode: 'atkinson', levels: 4 }, { layout: '2bpp-msb', codes: '3,2,1,0' },
     ['-m', 'atkinson', '--levels', '4', '--layout', '2bpp-msb', '--codes', '3,2,1,0', '-f', 'c']],
    [{ mode: 'floyd-steinberg', levels: 4 }, { format: 'bin', layout: 'planes', plane0: 'black' },
     ['-m', 'floyd-steinberg', '--levels', '4', '--layout', 'planes', '--plane-on', 'black,white', '-f', 'bin']],
    [{ mode: 'letter', levels: 11 }, { format: 'bin', layout: '4bpp-msb', on: 'black' },
     ['-m', 'letter', '--levels', '11', '--layout', '4bpp-msb', '--on', 'black', '-f', 'bin']],
    [{ mode: 'floyd-steinberg' }, { preset: 'acep7' }, ['-m', 'floyd-steinberg', '--preset', 'acep7', '-f', 'c']],
    // hard takes no palette: the preset chooses floyd-steinberg, the method the gallery shows presets with.
    [{ mode: 'hard' }, { preset: 'epaper-bwr', plane1: 'black' },
     ['-m', 'floyd-steinberg', '--preset', 'epaper-bwr', '--plane-on', 'white,black', '-f', 'c']],
    [{ mode: 'atkinson' }, { preset: 'epaper-4gray' }, ['-m', 'atkinson', '--preset', 'epaper-4gray', '-f', 'c']],
  ];
  const main = page;
  page = await newPage();
  try {
    assert.equal((await openFile(photo)).phase, 'ready');
    for (const [chosen, fields, args] of cases) {
      await settle({ ...none, ...chosen });
      await page.evaluate((values) => {
        for (const [name, value] of Object.entries(values)) document.getElementById(`device-${name}`).value = value;
        document.getElementById('device-format').dispatchEvent(new Event('change'));
      }, field);
      // As a user sets them: the preset, the format and layout, then the fields they show.
      for (const name of Object.keys(field).filter((n) => n in fields)) {
        if (name === 'codes') await page.fill('#device-codes', fields[name]);
        else await page.selectOption(`#device-${name}`, fields[name]);
      }
      await page.waitForFunction(() => document.body.dataset.state === 'ready');
      const extension = args.at(-1) === 'bin' ? '.bin' : '.h';
      const bytes = await download('#download-device');
      assert.ok(bytes.equals(command(args, photo, extension)), `${args.join(' ')}\n${bytes.toString('latin1').slice(0, 300)}`);
    }
  } finally {
    await page.context().close();
    page = main;
  }
});

test('device files the command wrote open as their indexes, and their PNG is the command\'s', async () => {
  const photo = join(scratch, 'device.jpg'), folder = join(scratch, 'device');
  mkdirSync(folder, { recursive: true });
  execFileSync('convert', ['-size', '77x45', 'gradient:teal-orange', '-swirl', '200', photo]);
  const written = (name, ...args) => {
    const path = join(folder, name);
    execFileSync(cli, ['-q', ...args, '-o', path, photo]);
    return path;
  };
  const files = [
    written('acep7.h', '-m', 'floyd-steinberg', '--preset', 'acep7'),
    written('bwr.h', '-m', 'atkinson', '--preset', 'epaper-bwr', '--plane-on', 'white,black'),
    written('grey.c', '-m', 'floyd-steinberg', '--levels', '4', '--layout', '2bpp-msb', '--codes', '3,2,1,0'),
    written('logo.xbm', '-m', 'hard'),
  ];
  const main = page;
  page = await newPage();
  try {
    // Settings the command refuses keep a picture's saves off, not a device file's: it is not converted.
    const refused = await page.evaluate(() => window.quillvex.setSettings({ mode: 'sauvola', radius: 0 }));
    assert.ok(!refused.error, refused.error);
    for (const path of files) {
      const opened = await openFile(path);
      assert.equal(opened.phase, 'ready', `${path}: ${opened.message}`);
      assert.deepEqual([opened.width, opened.height], [77, 45]);
      assert.match(opened.message, /as the device file holds them/);
      const png = await download('#download-png');
      const expected = join(folder, 'expected.png');
      execFileSync(cli, ['-q', path, '-o', expected]);
      assert.ok(png.equals(readFileSync(expected)), `${path}: PNG`);
      // Each index in its level's grey or its palette's colour.
      assert.ok((await exported('ppm')).equals(command([], path, '.ppm')), `${path}: PPM`);
    }
    // Raw bytes, and a C array without the comment that says how it was written: one
    // message saying what to do.
    const bare = join(folder, 'bare.h');
    writeFileSync(bare, readFileSync(files[2], 'latin1').replace(/^\/\*[^]*?\*\/\n/, ''));
    const raw = written('raw.bin', '-m', 'hard');
    for (const path of [bare, raw]) {
      const failed = await openFile(path);
      assert.equal(failed.phase, 'error', path);
      assert.match(failed.message, /does not say how it was written\. Read it with quillvex-cli/, path);
    }
  } finally {
    await page.context().close();
    page = main;
  }
});

// The state of the saves and the message line, as a user sees them.
const saves = () => page.evaluate(() => ({
  disabled: ['bmp', 'png', 'pbm', 'device'].filter((f) => document.getElementById(`download-${f}`).disabled).length,
  message: document.getElementById('message').textContent,
  error: getComputedStyle(document.getElementById('message')).color === 'rgb(179, 38, 30)',
}));

test('refused settings: one message naming the field, no result and no saves, until the field is good', async () => {
  const photo = join(scratch, 'photo640.jpg');
  execFileSync('convert', ['-size', '640x480', 'gradient:navy-orange', '-swirl', '120', photo]);
  await openFile(join(suite, 'rgb24.bmp'));
  const cases = [
    [{ mode: 'sauvola', radius: 0, density: 127, invert: false }, 'Radius'],
    [{ mode: 'bradley', radius: 7, percent: 101 }, 'Percent'],
    [{ mode: 'sauvola', percent: 15, radius: 2.5 }, 'Radius'],
  ];
  for (const [settings, field] of cases) {
    const done = await page.evaluate((s) => window.quillvex.setSettings(s), settings);
    const what = JSON.stringify(settings);
    assert.ok(done.error, `${what} converts`);
    const seen = await saves();
    assert.match(seen.message, new RegExp(`^These settings can't be used: ${field} must be a whole number`), what);
    assert.equal(seen.disabled, 4, `${what}: a save is offered`);
    assert.ok(seen.error, `${what}: the message is not in the error style`);
    assert.deepEqual(await page.evaluate(() => window.quillvex.export('bmp')).then((m) => m.failure?.code), 'settings-refused');
  }
  // A picture opened meanwhile opens, and keeps the refusal; the result pane stays empty.
  const opened = await openFile(photo);
  assert.equal(opened.name, 'photo640.jpg');
  assert.match(opened.message, /Radius must be a whole number/);
  assert.equal((await saves()).disabled, 4);
  await page.evaluate(() => window.quillvex.setZoom(2));
  assert.equal(await page.evaluate(() => window.quillvex.state.phase), 'error');
  // The good value converts: the saves are the command's again.
  await settle({ radius: 12 });
  const seen = await saves();
  assert.equal(seen.disabled, 0);
  assert.ok(!seen.error, seen.message);
  assert.ok((await exported('bmp')).equals(command(['-m', 'sauvola', '--radius', '12'], photo, '.bmp')), 'BMP');
  assert.equal((await openFile(join(suite, 'pal8.bmp'))).phase, 'ready');
});

test('a save holds the picture its name says, and saves are off while a picture opens', async () => {
  const first = join(suite, 'rgb24.bmp'), big = join(scratch, 'big.jpg');
  execFileSync('convert', ['-size', '3000x2000', 'plasma:', '-quality', '80', big]);
  const main = page;
  page = await newPage();
  try {
    await savesFollowThePicture(first, big);
  } finally {
    await page.context().close();
    page = main;
  }
});

async function savesFollowThePicture(first, big) {
  await openFile(first);
  await settle({ mode: 'hard', density: 127, invert: false });
  // Disabled whenever the page is opening, watched from inside the page.
  await page.evaluate(() => {
    window.offWhileOpening = [];
    new MutationObserver(() => {
      if (document.body.dataset.state === 'opening') window.offWhileOpening.push(document.getElementById('download-bmp').disabled);
    }).observe(document.body, { attributes: true, attributeFilter: ['data-state'] });
  });
  const bytes = readFileSync(big);
  // A save asked for just before the next picture is opened: the first picture's file,
  // or nothing, never the next one's under the first one's name.
  const made = await page.evaluate(async (list) => {
    const saved = window.quillvex.download('bmp');
    const opening = window.quillvex.open({ name: 'big.jpg', bytes: new Uint8Array(list) });
    const [file] = await Promise.all([saved, opening]);
    return file.failure ? { error: file.failure.code } : { name: file.fileName, bytes: [...new Uint8Array(file.bytes)] };
  }, [...bytes]);
  if (!made.error) {
    assert.equal(made.name, 'rgb24.bmp');
    assert.ok(Buffer.from(made.bytes).equals(command(['-m', 'hard', '-t', '127'], first, '.bmp')), 'the save holds another picture');
  }
  await page.waitForFunction(() => document.body.dataset.state === 'ready');
  const after = await saves();
  assert.deepEqual(await page.evaluate(() => window.offWhileOpening), [true]);
  // The save's outcome is still on the line once the next picture has opened.
  assert.match(after.message, made.error ? /Nothing was saved: another picture was opened/ : /rgb24\.bmp is ready/);
  assert.ok(after.message.startsWith('big.jpg: 3000 × 2000 pixels.'), after.message);
  const next = await download('#download-bmp');
  assert.ok(next.equals(command(['-m', 'hard', '-t', '127'], big, '.bmp')));
}

test('a fault of the converter restarts it with the open picture', async () => {
  const picture = join(suite, 'pal8.bmp');
  await openFile(picture);
  await settle({ mode: 'floyd-steinberg', density: 110 });
  await page.evaluate(() => window.quillvex.fault());
  await page.waitForFunction(() => /started again/.test(document.getElementById('message').textContent));
  await page.waitForFunction(() => document.body.dataset.state === 'ready');
  assert.equal(await page.evaluate(() => window.quillvex.state.name), 'pal8.bmp');
  assert.ok((await exported('bmp')).equals(command(['-m', 'floyd-steinberg', '-t', '110'], picture, '.bmp')));
});

test('the density follows the keys, the zoom follows + and -', async () => {
  await openFile(join(suite, 'rgb24.bmp'));
  await settle({ density: 100, mode: 'letter' });
  await page.focus('#density');
  await page.keyboard.press('ArrowRight');
  await page.keyboard.press('Control+ArrowRight');
  await page.keyboard.press('ArrowLeft');
  assert.equal(await page.inputValue('#density'), '116');
  const zoom = () => page.evaluate(() => window.quillvex.state.zoom);
  await page.evaluate(() => window.quillvex.setZoom(1));
  await page.keyboard.press('+');
  assert.equal(await zoom(), '2');
  await page.keyboard.press('-');
  await page.keyboard.press('-');
  assert.equal(await zoom(), '1/2');
});

test('every control has a name a screen reader reads, and Tab reaches it', async () => {
  const unnamed = await page.evaluate(() => [...document.querySelectorAll('input, select, button, textarea')]
    .filter((e) => !e.disabled && e.offsetParent !== null)
    .filter((e) => !(e.labels?.length || e.getAttribute('aria-label') || e.getAttribute('aria-labelledby') ||
                     e.textContent.trim() || e.title))
    .map((e) => e.id || e.outerHTML.slice(0, 60)));
  assert.deepEqual(unnamed, []);
  const reached = new Set();
  for (let i = 0; i < 60; ++i) {
    await page.keyboard.press('Tab');
    reached.add(await page.evaluate(() => document.activeElement?.id));
  }
  for (const id of ['file', 'density', 'mode', 'invert', 'zoom', 'download-bmp', 'download-png', 'copy']) {
    assert.ok(reached.has(id), `Tab does not reach #${id}`);
  }
});

test('bad files end in one message each and the page stays usable', async () => {
  const good = readFileSync(join(suite, 'rgb24.bmp'));
  const cases = [
    ['empty.bmp', Buffer.alloc(0)],
    ['damaged.bmp', good.subarray(0, 700)],
    ['words.png', Buffer.from('not a picture at all\n')],
    ['huge.png', hugePng(30000), /: File is too large\./],
    ['huge.jpg', jpegClaiming(65500, 65500), /: File is too large\./],
    ['huge.gif', gifClaiming(65535, 65535), /: File is too large\./],
    ['huge.webp', webpClaiming(16000, 16000), /: File is too large\./],
    ['icon.ico', execFileSync('convert', ['-size', '32x32', 'xc:red', 'ico:-']), /not a picture this page can read/],
    ['scan.tif', execFileSync('convert', ['-size', '32x32', 'xc:red', 'tif:-']), /does not read TIFF pictures/],
  ];
  for (const [name, bytes, reason] of cases) {
    const path = join(scratch, name);
    writeFileSync(path, bytes);
    const failed = await openFile(path);
    assert.equal(failed.phase, 'error', name);
    assert.ok(failed.message.length > 10 && !failed.message.includes('\n'), `${name}: "${failed.message}"`);
    if (reason) assert.match(failed.message, reason, name);
    assert.ok(await page.isDisabled('#download-bmp'), `${name}: a download is offered without a picture`);
    const again = await openFile(join(suite, 'pal8.bmp'));
    assert.equal(again.phase, 'ready', `after ${name}: ${again.message}`);
  }
});

test('both panes show: the picture and its black and white, grey levels or colours', async () => {
  await openFile(join(suite, 'rgb24.bmp'));
  await settle({ density: 127, mode: 'hard', levels: null, palette: null });
  await page.evaluate(() => window.quillvex.setZoom(2));
  mkdirSync(shots, { recursive: true });
  const screenshot = join(shots, 'panes.png');
  await page.screenshot({ path: screenshot });
  const colours = async (selector) => {
    const box = await page.locator(selector).boundingBox();
    const shot = await page.screenshot({ clip: { x: box.x + 4, y: box.y + 4, width: 100, height: 100 } });
    return page.evaluate(async (b64) => {
      const bitmap = await createImageBitmap(new Blob([Uint8Array.from(atob(b64), (c) => c.charCodeAt(0))]));
      const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
      canvas.getContext('2d').drawImage(bitmap, 0, 0);
      const data = canvas.getContext('2d').getImageData(0, 0, bitmap.width, bitmap.height).data;
      const seen = new Set();
      for (let i = 0; i < data.length; i += 4) seen.add((data[i] << 16) | (data[i + 1] << 8) | data[i + 2]);
      return [...seen];
    }, shot.toString('base64'));
  };
  const source = await colours('#source-pane'), result = await colours('#result-pane');
  assert.ok(source.length > 50, `the source pane shows ${source.length} colours`);
  assert.deepEqual(result.sort((a, b) => a - b), [0, 0xffffff], 'the result pane is black and white');
  // The levels' greys, the palette's colours: no others, and more than two of them.
  const shown = [
    [{ mode: 'floyd-steinberg', levels: 4 }, [0, 0x555555, 0xaaaaaa, 0xffffff]],
    [{ mode: 'floyd-steinberg', levels: null, palette: 'acep7-measured' },
     [0x393039, 0xffffff, 0x3a5b46, 0x3d3b5e, 0x9c484b, 0xd0be47, 0xb16a49]],
  ];
  for (const [chosen, entries] of shown) {
    await settle(chosen);
    const seen = await colours('#result-pane');
    assert.ok(seen.length > 2 && seen.every((c) => entries.includes(c)),
              `${JSON.stringify(chosen)}: ${seen.map((c) => c.toString(16))}`);
  }
  await settle({ palette: null });
});

// A picture large enough that error diffusion and local thresholds take longer than
// the first frame waits: the pane first shows the result before in the rows not yet
// converted, and once the result is whole it shows the command's bits alone.
test('a result that takes a while shows at last the command\'s bits, not rows of the result before', async () => {
  const width = 2400, height = 1800;
  let seed = 7;
  const rows = Array.from({ length: height }, (_, y) => Buffer.from(Array.from({ length: width }, (_, x) => {
    seed = (seed * 1103515245 + 12345) >>> 0;
    return (x * 255 / width + y * 64 / height + ((seed >>> 24) & 63)) & 255;
  })));
  const path = join(scratch, 'wide.png');
  writeFileSync(path, pngOf(width, height, 0, 8, rows));
  assert.equal((await openFile(path)).phase, 'ready');
  await page.evaluate(() => window.quillvex.setZoom(1));
  const canvas = await page.locator('#result-pane canvas').boundingBox();
  const side = 160;
  for (const mode of ['floyd-steinberg', 'sauvola']) {
    await settle({ mode, density: 60, levels: null, palette: null, invert: false, serpentine: false, linear: false,
                   radius: null, k: null });
    const done = await page.evaluate(() => window.quillvex.setSettings({ density: 190 }));
    assert.ok(!done.error, done.error);
    assert.equal(await page.evaluate(() => window.quillvex.state.completeSeq), done.seq, `${mode}: last frame in part`);
    const out = join(outputs, `wide-${mode}.pbm`);
    execFileSync(cli, ['-q', '-m', mode, '-t', '190', '-f', 'pbm', '-o', out, path]);
    const pbm = readFileSync(out), bits = pbm.subarray(pbm.length - (width / 8) * height);
    const shot = await page.screenshot({ clip: { x: canvas.x, y: canvas.y, width: side, height: side } });
    const shown = await page.evaluate(async (b64) => {
      const bitmap = await createImageBitmap(new Blob([Uint8Array.from(atob(b64), (c) => c.charCodeAt(0))]));
      const c = new OffscreenCanvas(bitmap.width, bitmap.height);
      c.getContext('2d').drawImage(bitmap, 0, 0);
      return [...c.getContext('2d').getImageData(0, 0, bitmap.width, bitmap.height).data];
    }, shot.toString('base64'));
    let differing = 0, first = '';
    for (let y = 0; y < side; ++y) {
      for (let x = 0; x < side; ++x) {
        const black = (bits[y * (width / 8) + (x >> 3)] >> (7 - (x & 7))) & 1;  // PBM: a set bit black
        if ((shown[4 * (y * side + x)] === 0) === Boolean(black)) continue;
        if (!differing++) first = ` (the first at ${x}, ${y})`;
      }
    }
    assert.equal(differing, 0, `${mode}: ${differing} of the pane's pixels differ from the command's${first}`);
  }
  await settle({ mode: 'hard', density: 127 });
});

test('nothing goes to the network after the page has loaded', () => {
  const outside = requests.filter((url) => !url.startsWith(address) && !/^(blob|data):/.test(url));
  assert.deepEqual(outside, []);
  const after = requests.filter((url) => url.startsWith(address) && !url.endsWith('.wasm') && !url.endsWith('.js'));
  assert.deepEqual(after, [], 'the page fetched files after it had loaded');
});
