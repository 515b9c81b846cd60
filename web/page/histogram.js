// The luminance histogram under the density slider: 256 bars on a square-root scale
// (so a few dominant levels don't flatten the rest), the density and Otsu's point
// marked as lines, each with a triangle.
import { text } from './texts.js';

const kDensityColour = '#d93025';
const kOtsuColour = '#1a73e8';
const kNotch = 5;  // half the width of a marker's triangle, in canvas pixels

export function drawHistogram(canvas, histogram, density, otsu) {
  const ctx = canvas.getContext('2d');
  const w = canvas.width, h = canvas.height;
  ctx.clearRect(0, 0, w, h);
  if (!histogram) {
    canvas.setAttribute('aria-label', text('histogramEmpty'));
    return;
  }
  let top = 1;
  for (const count of histogram) top = Math.max(top, Math.sqrt(count));
  ctx.fillStyle = '#5f6368';
  const bar = w / 256;
  for (let i = 0; i < 256; ++i) {
    const height = (Math.sqrt(histogram[i]) / top) * h;
    if (height > 0) ctx.fillRect(i * bar, h - height, Math.max(bar, 1), Math.max(height, 1));
  }
  // Otsu's point goes on top, dashed, so the density's solid line shows through its
  // gaps when the two meet; each also has a notch of its own, the density's at the
  // foot and Otsu's at the head, which stay apart whatever the values.
  const mark = (value, colour, dash, notchY, notchTip) => {
    const x = (value + 0.5) * bar;
    ctx.strokeStyle = colour;
    ctx.setLineDash(dash);
    ctx.lineWidth = 2;
    ctx.beginPath();
    ctx.moveTo(x, 0);
    ctx.lineTo(x, h);
    ctx.stroke();
    ctx.fillStyle = colour;
    ctx.beginPath();
    ctx.moveTo(x - kNotch, notchY);
    ctx.lineTo(x + kNotch, notchY);
    ctx.lineTo(x, notchTip);
    ctx.closePath();
    ctx.fill();
  };
  mark(density, kDensityColour, [], h, h - kNotch * 1.5);
  mark(otsu, kOtsuColour, [4, 3], 0, kNotch * 1.5);
  canvas.setAttribute('aria-label', text('histogramDescribed', density, otsu));
}
