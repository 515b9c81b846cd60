// The twin panes: each a scroll container whose spacer has the zoomed picture's size,
// with a canvas the pane's size kept in view. Both share one scroll position; the
// worker draws what the view shows into both canvases. Without a picture each pane
// shows what to do instead.
import { kFit, keepCentre, scrollForKey, zoomRatio, zoomedSize } from './zoom.js';

export class Panes {
  // onView(view) is called, at most once a frame, whenever what the panes show changes.
  constructor(sourcePane, resultPane, onView) {
    this.panes = [sourcePane, resultPane];
    this.canvases = this.panes.map((pane) => pane.querySelector('canvas'));
    this.spacers = this.panes.map((pane) => pane.querySelector('.spacer'));
    this.emptyStates = this.panes.map((pane) => pane.parentElement.querySelector('.empty-state'));
    this.onView = onView;
    this.picture = null;   // {width, height}
    this.level = 1;
    this.ratio = { num: 1, den: 1 };
    this.pending = 0;
    for (const pane of this.panes) {
      pane.addEventListener('scroll', () => this.follow(pane), { passive: true });
      pane.addEventListener('keydown', (event) => this.scrollByKey(pane, event));
    }
    new ResizeObserver(() => this.layout()).observe(sourcePane);
  }

  size() {
    const pane = this.panes[0];
    return { width: pane.clientWidth, height: pane.clientHeight };
  }

  // The other pane takes the scrolled pane's position.
  follow(pane) {
    const other = this.panes[pane === this.panes[0] ? 1 : 0];
    if (other.scrollLeft !== pane.scrollLeft) other.scrollLeft = pane.scrollLeft;
    if (other.scrollTop !== pane.scrollTop) other.scrollTop = pane.scrollTop;
    this.requestView();
  }

  // The scroll keys on a focused pane move both panes, and go no further (elsewhere
  // the arrows step the density).
  scrollByKey(pane, event) {
    if (event.altKey || event.metaKey) return;
    const to = scrollForKey(event.key, { ctrl: event.ctrlKey, shift: event.shiftKey }, pane);
    if (!to) return;
    event.preventDefault();
    event.stopPropagation();
    this.scrollTo(to.x, to.y);
  }

  setPicture(picture) {
    this.picture = picture;
    for (const el of this.emptyStates) if (el) el.hidden = Boolean(picture);
    for (const pane of this.panes) pane.scrollLeft = pane.scrollTop = 0;
    if (!picture) this.clear();
    this.layout();
    this.sendView();  // at once: the first frame of a picture should not wait for a repaint
  }

  // Sets the zoom level, keeping the centre of the view where it was.
  setLevel(level) {
    const before = this.ratio, { width, height } = this.size();
    const x = this.panes[0].scrollLeft, y = this.panes[0].scrollTop;
    this.level = level;
    this.layout();
    if (this.picture && level !== kFit) {
      this.scrollTo(keepCentre(x, width, before, this.ratio), keepCentre(y, height, before, this.ratio));
    }
  }

  scrollTo(x, y) {
    for (const pane of this.panes) {
      pane.scrollLeft = x;
      pane.scrollTop = y;
    }
    this.requestView();
  }

  // Sizes the spacers for the picture at the zoom, and asks for a new view.
  layout() {
    const zoomed = this.picture ? this.zoomed() : { width: 0, height: 0 };
    for (const spacer of this.spacers) {
      spacer.style.width = `${zoomed.width}px`;
      spacer.style.height = `${zoomed.height}px`;
    }
    if (this.picture) this.requestView();
  }

  zoomed() {
    // A fit depends on the pane's size, which depends on whether scroll bars show.
    this.ratio = zoomRatio(this.level, this.picture, this.size());
    return zoomedSize(this.picture, this.ratio);
  }

  // Asks for a view at the next repaint, once however many scroll events come before it.
  requestView() {
    if (this.pending || !this.picture) return;
    this.pending = requestAnimationFrame(() => this.sendView());
  }

  sendView() {
    cancelAnimationFrame(this.pending);
    this.pending = 0;
    if (!this.picture) return;
    if (this.level === kFit) this.ratio = zoomRatio(this.level, this.picture, this.size());
    const { width, height } = this.size();
    if (width <= 0 || height <= 0) return;
    this.onView({ num: this.ratio.num, den: this.ratio.den, scrollX: Math.round(this.panes[0].scrollLeft),
                  scrollY: Math.round(this.panes[0].scrollTop), width, height });
  }

  // Gives both canvases up, for the worker to draw into from then on: {source, result}.
  takeCanvases() {
    const [source, result] = this.canvases.map((canvas) => canvas.transferControlToOffscreen());
    this.transferred = true;
    return { source, result };
  }

  // Paints a frame the worker posted as pixels (when the canvases are still the page's).
  paint(frame) {
    if (this.transferred || !frame.source) return;
    const images = [frame.source, frame.result];
    this.canvases.forEach((canvas, i) => {
      if (canvas.width !== frame.width) canvas.width = frame.width;
      if (canvas.height !== frame.height) canvas.height = frame.height;
      const pixels = new ImageData(new Uint8ClampedArray(images[i]), frame.width, frame.height);
      canvas.getContext('2d').putImageData(pixels, 0, 0);
    });
  }

  // Empties both canvases (the worker empties its own when a picture is gone).
  clear() {
    if (this.transferred) return;
    for (const canvas of this.canvases) {
      canvas.width = 0;
      canvas.height = 0;
    }
  }
}
