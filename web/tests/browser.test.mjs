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
import { alphaPng, hugePng } from './pictures.mjs';

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
    return m.error ? { error: m.error } : { bytes: [...new Uint8Array(m.bytes)] };
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
    assert.equal(opened.state, 'ready', `${picture}: ${opened.message}`);
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

test('a device format with its options is the command\'s file', async () => {
  const picture = join(suite, 'rgb24.bmp');
  await openFile(picture);
  await settle({ density: 140, mode: 'atkinson', invert: false });
  await page.selectOption('#device-format', 'zpl');
  const zpl = await download('#download-device');
  assert.ok(zpl.equals(command(['-t', '140', '-m', 'atkinson', '-f', 'zpl'], picture, '.zpl')));
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
    ['huge.png', hugePng(30000)],
  ];
  for (const [name, bytes] of cases) {
    const path = join(scratch, name);
    writeFileSync(path, bytes);
    const failed = await openFile(path);
    assert.equal(failed.state, 'error', name);
    assert.ok(failed.message.length > 10 && !failed.message.includes('\n'), `${name}: "${failed.message}"`);
    assert.ok(await page.isDisabled('#download-bmp'), `${name}: a download is offered without a picture`);
    const again = await openFile(join(suite, 'pal8.bmp'));
    assert.equal(again.state, 'ready', `after ${name}: ${again.message}`);
  }
});

test('both panes show: the picture and its black and white', async () => {
  await openFile(join(suite, 'rgb24.bmp'));
  await settle({ density: 127, mode: 'hard' });
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
});

test('nothing goes to the network after the page has loaded', () => {
  const outside = requests.filter((url) => !url.startsWith(address) && !/^(blob|data):/.test(url));
  assert.deepEqual(outside, []);
  const after = requests.filter((url) => url.startsWith(address) && !url.endsWith('.wasm') && !url.endsWith('.js'));
  assert.deepEqual(after, [], 'the page fetched files after it had loaded');
});
