// The WebAssembly core: loading the module and calling it with JavaScript values.
// Used by the workers, and by the tests under Node.
import { failure } from './protocol.js';

// The largest picture the page opens: its colours, luminance and decoded rows must fit
// in the module's memory with room to spare.
export const kMaxPixels = 64 * 1024 * 1024;

const kWasiBadFile = 8;

// The module's few system calls: it opens no files; what it writes to its standard
// streams goes to the console.
function systemCalls(memory) {
  return {
    fd_write(fd, iovs, count, written) {
      const view = new DataView(memory().buffer);
      let total = 0, text = '';
      for (let i = 0; i < count; ++i) {
        const at = view.getUint32(iovs + 8 * i, true), size = view.getUint32(iovs + 8 * i + 4, true);
        text += new TextDecoder().decode(new Uint8Array(memory().buffer, at, size));
        total += size;
      }
      if (fd === 1 || fd === 2) console.log(text);
      view.setUint32(written, total, true);
      return fd === 1 || fd === 2 ? 0 : kWasiBadFile;
    },
    fd_close: () => kWasiBadFile,
    fd_seek: () => kWasiBadFile,
    fd_filestat_get: () => kWasiBadFile,
  };
}

// wasm: the module's bytes, or the module compiled (a fresh instance each call).
export async function loadCore(wasm) {
  let instance;
  const imports = { wasi_snapshot_preview1: systemCalls(() => instance.exports.memory) };
  if (wasm instanceof WebAssembly.Module) instance = await WebAssembly.instantiate(wasm, imports);
  else ({ instance } = await WebAssembly.instantiate(wasm, imports));
  instance.exports._initialize();
  return new Core(instance.exports);
}

// The device options a PageRequest carries, in its order.
const kDeviceOptions = ['layout', 'on', 'name', 'band', 'planeOn', 'codes', 'preset'];

// The module's numbers of the device formats (DeviceFormat).
export const kDeviceFormats = ['xbm', 'c', 'bin', 'escpos', 'zpl'];

export class Core {
  constructor(exports) {
    this.exports = exports;
    this.page = exports.qvx_page_new();
    this.described = null;
    this.panes = 0;
    this.paneSize = 0;
    this.pixels = 0;
    this.file = 0;
    this.fileSize = 0;
  }

  // The module's addresses are unsigned: above 2 GiB the 32-bit numbers it returns
  // read as negative.
  bytes(at, size) { return new Uint8Array(this.exports.memory.buffer, at >>> 0, size); }

  text(at, size) {
    const bytes = new Uint8Array(this.exports.memory.buffer, at >>> 0);
    const end = size === undefined ? bytes.indexOf(0) : size;
    return new TextDecoder().decode(bytes.subarray(0, end));
  }

  // A block of the module's memory: its address, or 0.
  alloc(size) { return this.exports.qvx_alloc(size) >>> 0; }

  // Copies bytes into the module; returns the address (to be freed) or 0.
  copyIn(bytes) {
    const at = this.alloc(bytes.length);
    if (at) this.bytes(at, bytes.length).set(bytes);
    return at;
  }

  // The failure of the module's latest call that failed (a call returning 1).
  failure() {
    const x = this.exports, p = this.page;
    const field = this.text(x.qvx_failure_field(p));
    return failure(this.text(x.qvx_failure_code(p)), this.text(x.qvx_failure_text(p)), field ? { field } : {});
  }

  // A fresh page: the previous picture and result are let go.
  reset() {
    this.releaseFile();
    this.releasePixels();
    this.exports.qvx_page_delete(this.page);
    this.page = this.exports.qvx_page_new();
  }

  // The modes and methods as the module describes them, modes first: [{name, kind,
  // family, description, params}], each parameter {name, option, type ('flag', 'whole',
  // 'real', 'text'), min, max (null: any), step, default, valueName, help, index} with the
  // method's own default; index is its place among all parameters; the palette's also
  // has choices, the built-in palettes [{name, colours}]. Read once.
  methods() {
    if (!this.described) {
      const { params, methods, palettes, presets } = JSON.parse(this.text(this.exports.qvx_method_descriptors(),
                                                                          this.exports.qvx_method_descriptors_size()));
      this.params = params;
      this.presetList = presets;
      // The palette's field offers the built-in palettes: [{name, colours}].
      const byName = new Map(params.map((p, index) => [p.name, { ...p, index,
                                                                  ...(p.name === 'palette' && { choices: palettes }) }]));
      this.described = methods.map((m) => ({
        ...m, params: Object.entries(m.params).map(([name, value]) => ({ ...byName.get(name), default: value })),
      }));
    }
    return this.described;
  }

  // The device presets, in --list-presets order: [{name, help, settings (what it sets, in
  // words), format, layout (null: the format has none), on, count, palette (null: grey
  // levels), codes (null: the indexes), width, height (0: not fixed)}].
  presets() {
    this.methods();
    return this.presetList;
  }

  // The device format ('xbm', 'c', 'bin') a file is by its name or first bytes, as the
  // command tells, or null for a picture.
  deviceFormat(name, head) {
    const nameAt = this.copyIn(new TextEncoder().encode(`${name}\0`));
    const headAt = this.copyIn(head);
    const format = nameAt && headAt ? this.exports.qvx_device_format(nameAt, headAt, head.length) : -1;
    if (nameAt) this.exports.qvx_free(nameAt);
    if (headAt) this.exports.qvx_free(headAt);
    return kDeviceFormats[format] ?? null;
  }

  // Reads the device file in allocateFile's block: its indexes, shown as they are, are
  // the result. Returns null, or the failure.
  openDevice(format) {
    const number = kDeviceFormats.indexOf(format);
    return this.exports.qvx_open_device(this.page, this.file, this.fileSize, number, kMaxPixels) ? this.failure() : null;
  }

  // True when the open device file's indexes are grey levels, false for a palette's.
  deviceGrey() { return this.exports.qvx_device_grey(this.page) === 1; }

  // A block of the module's memory for the file's bytes, kept while its picture is
  // open (the command's conversion reads it again for a download); a view, or null.
  allocateFile(size) {
    this.releaseFile();
    this.file = this.alloc(size);
    this.fileSize = this.file ? size : 0;
    return this.file ? this.bytes(this.file, size) : null;
  }

  releaseFile() {
    if (this.file) this.exports.qvx_free(this.file);
    this.file = 0;
    this.fileSize = 0;
  }

  // Reads the BMP file in allocateFile's block; returns null, or the failure.
  openBmp() {
    return this.exports.qvx_open_bmp(this.page, this.file, this.fileSize, kMaxPixels) ? this.failure() : null;
  }

  // A block of the module's memory for a decoder to fill, or null.
  allocatePixels(size) {
    this.releasePixels();
    this.pixels = this.alloc(size);
    return this.pixels ? this.bytes(this.pixels, size) : null;
  }

  releasePixels() {
    if (this.pixels) this.exports.qvx_free(this.pixels);
    this.pixels = 0;
  }

  // Opens the picture decoded into allocatePixels' block, which the page takes over;
  // returns null, or the failure.
  openDecoded(width, height, order, head) {
    const headAt = this.copyIn(head);
    const pixels = this.pixels;
    this.pixels = 0;
    if (!headAt) {
      this.exports.qvx_free(pixels);
      return failure('memory', 'no room for the file\'s head');
    }
    const failed = this.exports.qvx_open_decoded(this.page, pixels, width, height, order, headAt, head.length);
    this.exports.qvx_free(headAt);
    return failed ? this.failure() : null;
  }

  // A copy of a decoded picture's pixels as the pane shows them (opaque, RGBX), which
  // openDecoded takes again to the same picture.
  colours() {
    const x = this.exports, p = this.page;
    return this.bytes(x.qvx_colours(p), 4 * x.qvx_width(p) * x.qvx_height(p)).slice();
  }

  picture() {
    const x = this.exports, p = this.page;
    return {
      width: x.qvx_width(p), height: x.qvx_height(p), otsu: x.qvx_otsu(p),
      histogram: new Uint32Array(x.memory.buffer, x.qvx_histogram(p) >>> 0, 256).slice(),
      info: JSON.parse(this.text(x.qvx_info(p), x.qvx_info_size(p))),
    };
  }

  // Runs call(address) with a PageRequest written into the module's memory: the
  // settings' kind and parameters' texts (a set flag's is empty, a parameter not given
  // or an empty text has none), and for a save its format and device options. Returns
  // the call's answer, or the memory failure when the request does not fit.
  withRequest(settings, save, call) {
    this.methods();
    const texts = this.params.map((p) => {
      const value = settings[p.name];
      if (p.type === 'flag') return value ? '' : null;
      if (p.type === 'text') return value ? String(value) : null;  // '' is none
      return value == null ? null : String(value);
    });
    for (const name of kDeviceOptions) texts.push(save?.device?.[name] || null);
    // The fields: kind, a text per parameter, the format, a text per device option.
    const fields = 2 + texts.length;
    if (4 * fields !== this.exports.qvx_request_size()) throw new Error('the module reads another request');
    const encoded = texts.map((t) => (t === null ? null : new TextEncoder().encode(`${t}\0`)));
    const size = 4 * fields + encoded.reduce((n, e) => n + (e?.length ?? 0), 0);
    const at = this.alloc(size);
    if (!at) return failure('memory', 'no room for the request');
    const view = new DataView(this.exports.memory.buffer, at, size);
    let next = 4 * fields;
    const slots = encoded.map((e) => {
      if (!e) return 0;
      this.bytes(at + next, e.length).set(e);
      next += e.length;
      return at + next - e.length;
    });
    const params = this.params.length;
    view.setInt32(0, settings.kind, true);
    slots.slice(0, params).forEach((slot, i) => view.setUint32(4 + 4 * i, slot, true));
    view.setInt32(4 + 4 * params, save ? this.formatNumber(save.format) : -1, true);
    slots.slice(params).forEach((slot, i) => view.setUint32(8 + 4 * params + 4 * i, slot, true));
    try {
      return call(at);
    } finally {
      this.exports.qvx_free(at);
    }
  }

  // The number the module gives a format's name (the command's -f), or -1.
  formatNumber(name) {
    const at = this.copyIn(new TextEncoder().encode(`${name}\0`));
    if (!at) return -1;
    const number = this.exports.qvx_format_of(at);
    this.exports.qvx_free(at);
    return number;
  }

  // Checks settings by the command's rules; returns null, or the failure ("setting",
  // naming the field).
  checkSettings(settings) {
    return this.withRequest(settings, null, (at) => (this.exports.qvx_check_settings(this.page, at) ? this.failure() : null));
  }

  // Starts converting with the settings; returns null, or the failure (the result is
  // then empty).
  start(settings) {
    return this.withRequest(settings, null, (at) => (this.exports.qvx_start(this.page, at) ? this.failure() : null));
  }

  // Empties the result: the panes show the picture beside nothing.
  clearResult() { this.exports.qvx_clear_result(this.page); }

  // Converts up to about `pixels` more, the rows the view `v` shows first where the
  // result converts in bands; returns the rows still to convert.
  convertMore(pixels, v = null) {
    return this.exports.qvx_convert_more(this.page, pixels, v?.num ?? 1, v?.den ?? 1, v?.scrollX ?? 0, v?.scrollY ?? 0,
                                         v?.width ?? 0, v?.height ?? 0);
  }

  // A picture of luminance alone, for converting bands of another worker's picture:
  // returns null, or the failure; its storage rows are then written into luma().
  openLuma(width, height, bottomUp) {
    this.reset();
    return this.exports.qvx_open_luma(this.page, width, height, bottomUp ? 1 : 0) ? this.failure() : null;
  }

  // The open picture's luminance, storage rows (a view, valid until memory grows).
  luma() {
    const x = this.exports, p = this.page;
    return this.bytes(x.qvx_luma(p), x.qvx_width(p) * x.qvx_height(p));
  }

  bottomUp() { return this.exports.qvx_bottom_up(this.page) === 1; }

  // Where the result converts in bands (local thresholds): {count, rows, stride}, else null.
  bands() {
    const x = this.exports, p = this.page, count = x.qvx_result_bands(p);
    return count ? { count, rows: x.qvx_band_rows(p), stride: x.qvx_result_stride(p) } : null;
  }

  // Converts a band; returns its rows from the top, as takeBand takes them (a copy).
  convertBand(band) {
    const x = this.exports, p = this.page, { rows, stride } = this.bands();
    x.qvx_convert_band(p, band);
    const height = x.qvx_height(p), first = band * rows, end = Math.min(height, first + rows);
    const out = new Uint8Array((end - first) * stride), bits = x.qvx_result_bits(p) >>> 0;
    for (let top = first; top < end; ++top) {
      const storage = this.bottomUp() ? height - 1 - top : top;
      out.set(this.bytes(bits + storage * stride, stride), (top - first) * stride);
    }
    return out;
  }

  // Takes a band another worker converted (its rows from the top); returns the rows
  // still to convert.
  takeBand(band, rows) {
    const at = this.copyIn(rows);
    if (!at) return this.exports.qvx_take_band(this.page, -1, 0);  // the band is left to this worker
    const left = this.exports.qvx_take_band(this.page, band, at);
    this.exports.qvx_free(at);
    return left;
  }

  // True when rows in view may take longer than a frame to convert (error diffusion,
  // local thresholds, grey levels, palettes).
  convertsBySlices() { return this.exports.qvx_converts_by_slices(this.page) === 1; }

  // True when every row the view shows is converted for the current settings.
  viewConverted(v) {
    return this.exports.qvx_view_converted(this.page, v.num, v.den, v.scrollX, v.scrollY, v.width, v.height) === 1;
  }

  // Draws both panes into one block kept for the pane size (fresh memory is slow to
  // touch), converting the rows in view first unless `convert` is false (rows not yet
  // converted then show the result before). Returns views of their RGBA bytes, valid
  // until the next call, and whether every row in view is converted ({source, result,
  // complete}), or null when there is no memory for them.
  draw(v, convert = true) {
    const size = v.width * v.height * 4;
    if (this.paneSize !== size) {
      if (this.panes) this.exports.qvx_free(this.panes);
      this.panes = this.alloc(2 * size);
      this.paneSize = this.panes ? size : 0;
      if (!this.panes) return null;
    }
    const complete = this.exports.qvx_draw(this.page, v.num, v.den, v.scrollX, v.scrollY, v.width, v.height,
                                           this.panes, this.panes + size, convert ? 1 : 0) === 1;
    const pixels = (at) => new Uint8ClampedArray(this.exports.memory.buffer, at, size);
    return { source: pixels(this.panes), result: pixels(this.panes + size), complete };
  }

  // Runs the command's conversion over the open picture (its BMP file, or its decoded
  // pixels) into a file: `save` is {format, settings, device} (protocol.js
  // ExportRequest); `fileName` names a device array. Returns {failure: null, bytes,
  // xResolution, yResolution} or {failure}.
  exportFile(save, fileName) {
    const nameAt = this.copyIn(new TextEncoder().encode(`${fileName}\0`));
    if (!nameAt) return { failure: failure('memory', 'no room for the file name') };
    try {
      const failed = this.withRequest(save.settings, save, (at) => this.exports.qvx_export(this.page, at, nameAt, this.file, this.fileSize));
      if (failed) return { failure: typeof failed === 'object' ? failed : this.failure() };
    } finally {
      this.exports.qvx_free(nameAt);
    }
    const x = this.exports, p = this.page;
    return { failure: null, bytes: this.bytes(x.qvx_export_data(p), x.qvx_export_size(p)).slice(),
             xResolution: x.qvx_export_x_resolution(p), yResolution: x.qvx_export_y_resolution(p) };
  }
}
