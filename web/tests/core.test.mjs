// The page's WebAssembly core under Node, on every conformance picture: it opens
// what the command opens, refuses what the command refuses, and its files are the
// command's, byte for byte (32-bit sizes and the module's own stack and memory are
// what differ from the native build).
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readdirSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { test } from 'node:test';
import { settingsArguments } from '../page/controls.js';
import { loadCore } from '../page/core.js';

const root = new URL('../..', import.meta.url).pathname;
const cli = join(root, 'build/release/quillvex-cli');
const suite = join(root, 'tests/data/bmpsuite');

const settings = [
  ['-t', '200', '-m', 'hard', '-i'],
  ['-m', 'floyd-steinberg'],
  ['-t', '100', '-m', 'sauvola', '--radius', '3'],
];

test('every conformance picture: opened or refused as the command does, and the same files', async () => {
  const core = await loadCore(readFileSync(join(root, 'build/wasm/quillvex.wasm')));
  const scratch = mkdtempSync(join(tmpdir(), 'qvx-core-'));
  try {
    for (const folder of ['g', 'q', 'x', 'b']) {
      for (const name of readdirSync(join(suite, folder)).filter((f) => f.endsWith('.bmp'))) {
        const path = join(suite, folder, name), bytes = readFileSync(path);
        core.reset();
        core.allocateFile(bytes.length).set(bytes);
        const opened = core.openBmp() === 0;
        for (const [i, args] of settings.entries()) {
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
            const made = core.exportFile([...args, '-f', format, '-o', `picture.${format}`]);
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
// (the input whose id is its name), and the page's arguments for it pass the command's
// parser at its default and are refused past its range, naming the range.
test('every descriptor parameter has a field on the page and reaches the command', async () => {
  const core = await loadCore(readFileSync(join(root, 'build/wasm/quillvex.wasm')));
  const page = readFileSync(join(root, 'web/page/index.html'), 'utf8');
  const methods = core.methods();
  assert.deepEqual(methods.filter((m) => m.kind < 100).map((m) => m.name), ['letter', 'hard', 'soft']);
  for (const m of methods) {
    for (const p of m.params) {
      const what = `${m.name} ${p.name}`;
      assert.match(page, new RegExp(`<input id="${p.name}" type="(checkbox|range|number)">`), `${what}: its field`);
      const args = (value) => settingsArguments({ kind: m.kind, [p.name]: value }, methods).flatMap((g) => g.args);
      const given = args(p.kind === 'flag' ? true : p.default);
      assert.ok(given.includes(p.option), `${what}: ${given.join(' ')}`);
      assert.equal(core.checkSettings(given), '', `${what}: ${given.join(' ')}`);
      if (p.kind === 'whole') assert.match(core.checkSettings(args(p.max + 1)), new RegExp(`from ${p.min} to ${p.max}`), what);
    }
  }
});
