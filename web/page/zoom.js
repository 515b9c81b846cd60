// Zoom levels as the program numbers them: 1..8 magnify by the level, 0..-6 shrink to
// 1/2..1/8, and -7 fits the picture to the pane.

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

// The picture's size at that zoom, in whole pixels.
export function zoomedSize(picture, ratio) {
  return { width: Math.floor((picture.width * ratio.num) / ratio.den),
           height: Math.floor((picture.height * ratio.num) / ratio.den) };
}

// The scroll offset that keeps the pane's centre on the same picture point after a
// zoom from ratio `from` to ratio `to`.
export function keepCentre(scroll, paneSize, from, to) {
  const centre = ((scroll + paneSize / 2) * from.den) / from.num;
  return Math.max(0, Math.round((centre * to.num) / to.den - paneSize / 2));
}
