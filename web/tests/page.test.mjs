// The page's pure rules: zoom stepping and naming, the view's centre kept across a
// zoom, and the names and device arguments of the files it saves.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { deviceArguments, outputName } from '../page/out.js';
import { keepCentre, kFit, levelName, parseLevel, zoomIn, zoomOut, zoomRatio, zoomedSize } from '../page/zoom.js';

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
  assert.deepEqual(deviceArguments('xbm', all), ['--on', 'white', '--name', 'logo']);
  assert.deepEqual(deviceArguments('bin', all), ['--layout', 'pages', '--on', 'white']);
  assert.deepEqual(deviceArguments('escpos', { band: '64' }), ['--band', '64']);
});
