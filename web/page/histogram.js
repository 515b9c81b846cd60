// The luminance histogram under the density slider: 256 bars on a square-root scale
// (so a few dominant levels don't flatten the rest), the density and Otsu's point
// marked as lines.
import { text } from './texts.js';

const kDensityColour = '#d93025';
const kOtsuColour = '#1a73e8';

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
  const mark = (value, colour, dash) => {
    ctx.strokeStyle = colour;
    ctx.setLineDash(dash);
    ctx.lineWidth = 2;
    ctx.beginPath();
    ctx.moveTo((value + 0.5) * bar, 0);
    ctx.lineTo((value + 0.5) * bar, h);
    ctx.stroke();
  };
  mark(otsu, kOtsuColour, [4, 3]);
  mark(density, kDensityColour, []);
  canvas.setAttribute('aria-label', text('histogramDescribed', density, otsu));
}
