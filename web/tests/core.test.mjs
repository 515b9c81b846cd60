// The page's WebAssembly core under Node, on every conformance picture: it opens
// what the command opens, refuses what the command refuses, and its files are the
// command's, byte for byte (32-bit sizes and the module's own stack and memory are
// what differ from the native build).
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { test } from 'node:test';
import { loadCore } from '../page/core.js';

const root = new URL('../..', import.meta.url).pathname;
const cli = join(root, 'build/release/quillvex-cli');
const suite = join(root, 'tests/data/bmpsuite');

// The page's settings and the command's arguments for them.
const settings = [
  [{ mode: 'hard', density: 200, invert: true }, ['-t', '200', '-m', 'hard', '-i']],
  [{ mode: 'floyd-steinberg' }, ['-m', 'floyd-steinberg']],
  [{ mode: 'sauvola', density: 100, radius: '3' }, ['-t', '100', '-m', 'sauvola', '--radius', '3']],
];

// Settings as the controls give them: the method's kind in place of its name.
function pageSettings(core, { mode, ...values }) {
  return { kind: core.methods().find((m) => m.name === mode).kind, ...values };
}

test('every conformance picture: opened or refused as the command does, and the same files', async () => {
  const core = await loadCore(readFileSync(join(root, 'build/wasm/quillvex.wasm')));
  const scratch = mkdtempSync(join(tmpdir(), 'qvx-core-'));
  try {
    for (const folder of ['g', 'q', 'x', 'b']) {
      for (const name of readdirSync(join(suite, folder)).filter((f) => f.endsWith('.bmp'))) {
        const path = join(suite, folder, name), bytes = readFileSync(path);
        core.reset();
        core.allocateFile(bytes.length).set(bytes);
        const opened = core.openBmp() === null;
        for (const [i, [chosen, args]] of settings.entries()) {
          for (const format of i === 0 ? ['bmp', 'zpl'] : ['bmp']) {
            const out = join(scratch, `picture.${format}`);
            let expected = null;
            try {
              execFileSync(cli, [...args, '-q', '-f', format, '-o', out, path], { stdio: 'ignore' });
              expected = readFileSync(out);
            } catch {
              // the command refuses the picture
            }
            assert.equal(opened, expected !== null, `${folder}/${name}: the page ${opened ? 'opens' : 'refuses'} it`);
            if (!opened) continue;
            const made = core.exportFile({ format, settings: pageSettings(core, chosen), device: {} }, `picture.${format}`);
            assert.ok(Buffer.from(made.bytes ?? []).equals(expected), `${folder}/${name} ${args.join(' ')} ${format}`);
          }
        }
      }
    }
  } finally {
    rmSync(scratch, { recursive: true, force: true });
  }
});

// The module's method descriptors reach the page whole: every parameter has a field
// (the input whose id is its name), and the page's settings pass the command's rules
// at its default and are refused past its range, naming the field and the range.
test('every descriptor parameter has a field on the page and reaches the command', async () => {
  const core = await loadCore(readFileSync(join(root, 'build/wasm/quillvex.wasm')));
  const page = readFileSync(join(root, 'web/page/index.html'), 'utf8');
  const methods = core.methods();
  assert.deepEqual(methods.filter((m) => m.kind < 100).map((m) => m.name), ['letter', 'hard', 'soft']);
  for (const m of methods) {
    for (const p of m.params) {
      const what = `${m.name} ${p.name}`;
      assert.match(page, new RegExp(`<input id="${p.name}" type="(checkbox|range|number|text)"[ >]`), `${what}: its field`);
      const check = (value) => core.checkSettings({ kind: m.kind, [p.name]: value });
      assert.equal(check(p.type === 'flag' ? true : p.default), null, what);
      if (p.type === 'whole') {
        const refused = check(p.max + 1);
        assert.equal(refused?.field, p.name, what);
        assert.match(refused.text, new RegExp(`from ${p.min} to ${p.max}`), what);
      }
      if (p.type === 'text') {
        // Every palette the chooser offers is one the command takes.
        assert.ok(p.choices.length > 0, what);
        for (const choice of p.choices) assert.equal(check(choice.name), null, `${what} ${choice.name}`);
        assert.equal(check('#zzzzzz,#000000')?.field, p.name, what);
      }
    }
  }
});

// A grey 24-bit BMP file, bottom-up.
function greyBmp(width, height) {
  const stride = (width * 3 + 3) & ~3, out = Buffer.alloc(54 + stride * height, 0x80);
  out.fill(0, 0, 54);
  out.write('BM', 0, 'latin1');
  for (const [at, value] of [[2, out.length], [10, 54], [14, 40], [18, width], [22, height], [34, 0]]) {
    out.writeUInt32LE(value, at);
  }
  out.writeUInt16LE(1, 26);
  out.writeUInt16LE(24, 28);
  return out;
}

// Out of memory is said as such wherever the module meets it, never as settings the
// command refuses: the result's own rows fail as "memory"; the library's containers
// (the converter's error rows) fault, for the worker to start anew, rather than
// write at address 0.
test('a result that finds no memory fails as out of memory, or faults', async () => {
  const wasm = readFileSync(join(root, 'build/wasm/quillvex.wasm'));
  // Its rows take 64 KiB; the request and its check take much less.
  const bytes = greyBmp(2048, 256);
  for (const [method, expected] of [['letter', { code: 'memory', text: '' }], ['floyd-steinberg', 'fault']]) {
    const core = await loadCore(wasm);
    core.allocateFile(bytes.length).set(bytes);
    assert.equal(core.openBmp(), null);
    const kind = core.methods().find((m) => m.name === method).kind;
    // The check's tables are made at its first call, as when the page starts.
    assert.equal(core.checkSettings({ kind, density: 127 }), null);
    const room = core.exports.qvx_alloc(16384), blocks = [];
    for (let size = 1 << 30; size >= 256; size >>= 1) {
      for (let at; (at = core.exports.qvx_alloc(size));) blocks.push(at);
    }
    core.exports.qvx_free(room);
    let failed;
    try {
      failed = core.start({ kind, density: 127 });
    } catch (error) {
      assert.ok(error instanceof WebAssembly.RuntimeError, String(error));
      failed = 'fault';
    }
    assert.deepEqual(failed, expected, method);
    if (failed === 'fault') continue;
    for (const at of blocks) core.exports.qvx_free(at);
    assert.equal(core.start({ kind, density: 127 }), null, `${method}: the memory given back is used again`);
  }
});

// Opens a device file's bytes in the core; returns its failure, or null.
function openDevice(core, name, bytes) {
  core.reset();
  const format = core.deviceFormat(name, bytes.subarray(0, 1 << 16));
  if (!format) return { code: 'not-device' };
  core.allocateFile(bytes.length).set(bytes);
  return core.openDevice(format);
}

// Every preset the chooser offers, written by the command as a C header or X bitmap,
// opens with no question and is written again as the command writes it back: the
// same BMP of its indexes and the same header. The preset's own settings are checked
// by the command's rules.
test('every preset\'s device file opens as the command reads it back; files that don\'t say how are refused', async () => {
  const core = await loadCore(readFileSync(join(root, 'build/wasm/quillvex.wasm')));
  const scratch = mkdtempSync(join(tmpdir(), 'qvx-device-'));
  const picture = join(suite, 'g/rgb24.bmp');
  try {
    const presets = core.presets().filter((p) => p.format === 'c' || p.format === 'xbm');
    assert.ok(presets.length >= 10, `${presets.length} presets`);
    for (const preset of presets) {
      const extension = preset.format === 'c' ? '.h' : '.xbm', file = join(scratch, `panel${extension}`);
      execFileSync(cli, ['-q', '-m', 'floyd-steinberg', '--preset', preset.name, '-o', file, picture]);
      const bytes = readFileSync(file);
      assert.equal(openDevice(core, `panel${extension}`, bytes), null, preset.name);
      for (const [format, name] of [['bmp', 'again.bmp'], [preset.format, `again${extension}`]]) {
        execFileSync(cli, ['-q', file, '-o', join(scratch, name)]);
        const made = core.exportFile({ format, settings: { kind: 0 }, device: {} }, name);
        assert.ok(Buffer.from(made.bytes ?? []).equals(readFileSync(join(scratch, name))), `${preset.name} ${format}`);
      }
    }
    // A picture whose BMP is larger than the writer's buffer: its rows, written from the
    // top back to front, all reach the file.
    const large = join(scratch, 'large.bmp'), header = join(scratch, 'large.h');
    writeFileSync(large, greyBmp(800, 480));
    execFileSync(cli, ['-q', '-m', 'floyd-steinberg', '--preset', 'acep7', '-o', header, large]);
    execFileSync(cli, ['-q', header, '-o', join(scratch, 'large-again.bmp')]);
    assert.equal(openDevice(core, 'large.h', readFileSync(header)), null);
    const made = core.exportFile({ format: 'bmp', settings: { kind: 0 }, device: {} }, 'large-again.bmp');
    assert.ok(Buffer.from(made.bytes ?? []).equals(readFileSync(join(scratch, 'large-again.bmp'))), 'an 800 x 480 BMP');
    // [name, bytes, the failure's code]: raw bytes and a C array without the comment
    // don't say how they were written; a cut array is the reader's failure.
    const text = readFileSync(join(scratch, 'panel.h'), 'latin1');
    const cases = [
      ['panel.bin', Buffer.alloc(64, 0x55), 'device-unsaid'],
      ['bare.h', Buffer.from(text.replace(/^\/\*[^]*?\*\/\n/, ''), 'latin1'), 'device-unsaid'],
      ['cut.h', Buffer.from(text.slice(0, text.length / 2), 'latin1'), 'device-read'],
    ];
    for (const [name, bytes, code] of cases) assert.equal(openDevice(core, name, bytes)?.code, code, name);
  } finally {
    rmSync(scratch, { recursive: true, force: true });
  }
});

// A field changed after a preset is refused as the command refuses the option given
// beside --preset, in its words, naming the field.
test('the device fields beside a preset: refused in the command\'s words', async () => {
  const core = await loadCore(readFileSync(join(root, 'build/wasm/quillvex.wasm')));
  const picture = join(suite, 'g/rgb24.bmp'), bytes = readFileSync(picture);
  core.allocateFile(bytes.length).set(bytes);
  assert.equal(core.openBmp(), null);
  const kind = core.methods().find((m) => m.name === 'floyd-steinberg').kind;
  const scratch = mkdtempSync(join(tmpdir(), 'qvx-preset-'));
  // [the page's device fields beside the preset's palette, the command's options, the field named]
  const cases = [
    [{ preset: 'acep7', layout: 'planes' }, ['--preset', 'acep7', '--layout', 'planes'], 'mode'],
    [{ preset: 'acep7', codes: '0,1,2' }, ['--preset', 'acep7', '--codes', '0,1,2'], 'mode'],
    [{ preset: 'acep7', codes: '0,1,x' }, ['--preset', 'acep7', '--codes', '0,1,x'], 'codes'],
    [{ preset: 'epaper-bwr', planeOn: 'ink' }, ['--preset', 'epaper-bwr', '--plane-on', 'ink'], 'plane-on'],
    [{ preset: 'no-such-panel' }, ['--preset', 'no-such-panel'], 'preset'],
  ];
  try {
    for (const [device, options, field] of cases) {
      const palette = device.preset === 'epaper-bwr' ? 'bwr' : 'acep7-measured';
      const made = core.exportFile({ format: 'c', settings: { kind, palette }, device }, 'panel.h');
      let said = '';
      try {
        execFileSync(cli, ['-q', '-m', 'floyd-steinberg', ...options, '-o', join(scratch, 'panel.h'), picture],
                     { stdio: ['ignore', 'ignore', 'pipe'] });
      } catch (error) {
        said = String(error.stderr).split('\n')[0].replace(/^quillvex-cli: /, '');
      }
      assert.ok(said, `${options.join(' ')}: the command writes it`);
      assert.deepEqual(made.failure, { code: 'setting', text: said, field }, options.join(' '));
    }
  } finally {
    rmSync(scratch, { recursive: true, force: true });
  }
});
