// Zoom levels as the program numbers them: 1..8 magnify by the level, 0..-6 shrink to
// 1/2..1/8, and -7 fits the picture to the pane; the zoomed size and the scroll keys.

export const kFit = -7;
export const kLevels = [8, 7, 6, 5, 4, 3, 2, 1, 0, -1, -2, -3, -4, -5, -6, kFit];

// The next level in: with Ctrl, straight to 1 (from below 1) or to 8.
export function zoomIn(level, ctrl) {
  if (ctrl) return level < 1 ? 1 : 8;
  return Math.min(level + 1, 8);
}

// The next level out: with Ctrl, straight to 1 (from above 1) or to fit.
export function zoomOut(level, ctrl) {
  if (ctrl) return level > 1 ? 1 : kFit;
  return Math.max(level - 1, kFit);
}

// The level's name: '8'..'1', '1/2'..'1/8' or 'fit'.
export function levelName(level) {
  if (level === kFit) return 'fit';
  return level >= 1 ? String(level) : `1/${2 - level}`;
}

// The level for 'fit', a level name ('1/4'), or a factor (4, 0.25); null when none.
export function parseLevel(value) {
  if (value === 'fit') return kFit;
  if (typeof value === 'string' && value.startsWith('1/')) value = 1 / Number(value.slice(2));
  const factor = Number(value);
  if (!(factor > 0)) return null;
  const level = factor >= 1 ? Math.round(factor) : 2 - Math.round(1 / factor);
  return kLevels.includes(level) && level !== kFit ? level : null;
}

// The zoom as a fraction num/den for a picture {width, height} in a pane {width, height}:
// fit takes whichever axis is tighter.
export function zoomRatio(level, picture, pane) {
  if (level >= 1) return { num: level, den: 1 };
  if (level !== kFit) return { num: 1, den: 2 - level };
  if (!picture || !picture.width || !picture.height) return { num: 1, den: 1 };
  const w = Math.max(1, pane.width), h = Math.max(1, pane.height);
  return w * picture.height <= h * picture.width ? { num: w, den: picture.width } : { num: h, den: picture.height };
}

// The picture's size at that zoom, in whole pixels: at least one each way, so that a
// picture one pixel thin still shows (and scrolls) when shrunk.
export function zoomedSize(picture, ratio) {
  const scaled = (size) => (size > 0 ? Math.max(1, Math.floor((size * ratio.num) / ratio.den)) : 0);
  return { width: scaled(picture.width), height: scaled(picture.height) };
}

// The scroll offset that keeps the pane's centre on the same picture point after a
// zoom from ratio `from` to ratio `to`.
export function keepCentre(scroll, paneSize, from, to) {
  const centre = ((scroll + paneSize / 2) * from.den) / from.num;
  return Math.max(0, Math.round((centre * to.num) / to.den - paneSize / 2));
}

const kLine = 40;  // a line of scrolling, in screen pixels, as the browser scrolls a page

// Where a scroll key takes a pane {scrollLeft, scrollTop, clientWidth, clientHeight,
// scrollWidth, scrollHeight}: {x, y} within the scroll range, or null for a key that
// does not scroll. Arrows move a line (with Ctrl a page), PageUp/PageDown a page down
// or (with Shift) sideways, Home/End to the top or bottom (with Shift or Ctrl, to the
// left or right end).
export function scrollForKey(key, { ctrl = false, shift = false } = {}, pane) {
  const pageX = Math.max(kLine, pane.clientWidth - kLine), pageY = Math.max(kLine, pane.clientHeight - kLine);
  const maxX = Math.max(0, pane.scrollWidth - pane.clientWidth), maxY = Math.max(0, pane.scrollHeight - pane.clientHeight);
  const sideways = shift || ctrl;
  let x = pane.scrollLeft, y = pane.scrollTop;
  switch (key) {
    case 'ArrowLeft': x -= ctrl ? pageX : kLine; break;
    case 'ArrowRight': x += ctrl ? pageX : kLine; break;
    case 'ArrowUp': y -= ctrl ? pageY : kLine; break;
    case 'ArrowDown': y += ctrl ? pageY : kLine; break;
    case 'PageUp': if (shift) x -= pageX; else y -= pageY; break;
    case 'PageDown': if (shift) x += pageX; else y += pageY; break;
    case 'Home': if (sideways) x = 0; else y = 0; break;
    case 'End': if (sideways) x = maxX; else y = maxY; break;
    default: return null;
  }
  return { x: Math.min(maxX, Math.max(0, x)), y: Math.min(maxY, Math.max(0, y)) };
}
