// The WebAssembly core: loading the module and calling it with JavaScript values.
// Used by the worker, and by the tests under Node.

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

export class Core {
  constructor(exports) {
    this.x = exports;
    this.page = exports.qvx_page_new();
    this.described = null;
    this.panes = 0;
    this.paneSize = 0;
    this.pixels = 0;
    this.file = 0;
    this.fileSize = 0;
  }

  bytes(at, size) { return new Uint8Array(this.x.memory.buffer, at, size); }

  text(at, size) {
    const bytes = new Uint8Array(this.x.memory.buffer, at);
    const end = size === undefined ? bytes.indexOf(0) : size;
    return new TextDecoder().decode(bytes.subarray(0, end));
  }

  // Copies bytes into the module; returns the address (to be freed) or 0.
  copyIn(bytes) {
    const at = this.x.qvx_alloc(bytes.length);
    if (at) this.bytes(at, bytes.length).set(bytes);
    return at;
  }

  // A fresh page: the previous picture and result are let go.
  reset() {
    this.releaseFile();
    this.releasePixels();
    this.x.qvx_page_delete(this.page);
    this.page = this.x.qvx_page_new();
  }

  // The modes and methods as the module describes them, modes first: [{name, kind,
  // family, description, params}], each parameter {name, option, kind ('flag', 'whole',
  // 'real'), min, max (null: any), step, default, valueName, help, index} with the
  // method's own default; index is its place among all parameters. Read once.
  methods() {
    if (!this.described) {
      const { params, methods } = JSON.parse(this.text(this.x.qvx_method_descriptors(),
                                                       this.x.qvx_method_descriptors_size()));
      const byName = new Map(params.map((p, index) => [p.name, { ...p, index }]));
      this.described = methods.map((m) => ({
        ...m, params: Object.entries(m.params).map(([name, value]) => ({ ...byName.get(name), default: value })),
      }));
    }
    return this.described;
  }

  // A block of the module's memory for the file's bytes, kept while its picture is
  // open (the command's conversion reads it again for a download); a view, or null.
  allocateFile(size) {
    this.releaseFile();
    this.file = this.x.qvx_alloc(size);
    this.fileSize = this.file ? size : 0;
    return this.file ? this.bytes(this.file, size) : null;
  }

  releaseFile() {
    if (this.file) this.x.qvx_free(this.file);
    this.file = 0;
    this.fileSize = 0;
  }

  // Reads the BMP file in allocateFile's block; returns the reader's code: 0 opened,
  // else why not (the command's read codes).
  openBmp() { return this.x.qvx_open_bmp(this.page, this.file, this.fileSize, kMaxPixels); }

  // A block of the module's memory for a decoder to fill, or null.
  allocatePixels(size) {
    this.releasePixels();
    this.pixels = this.x.qvx_alloc(size);
    return this.pixels ? this.bytes(this.pixels, size) : null;
  }

  releasePixels() {
    if (this.pixels) this.x.qvx_free(this.pixels);
    this.pixels = 0;
  }

  // Opens the picture decoded into allocatePixels' block, which the page takes over.
  openDecoded(width, height, order, head) {
    const headAt = this.copyIn(head);
    const pixels = this.pixels;
    this.pixels = 0;
    if (!headAt) {
      this.x.qvx_free(pixels);
      return 'memory';
    }
    const code = this.x.qvx_open_decoded(this.page, pixels, width, height, order, headAt, head.length);
    this.x.qvx_free(headAt);
    return code;
  }

  picture() {
    const x = this.x, p = this.page;
    return {
      width: x.qvx_width(p), height: x.qvx_height(p), otsu: x.qvx_otsu(p),
      histogram: new Uint32Array(x.memory.buffer, x.qvx_histogram(p), 256).slice(),
      info: JSON.parse(this.text(x.qvx_info(p), x.qvx_info_size(p))),
    };
  }

  // The command's arguments as the module takes them, copied in; the address, or 0.
  copyArguments(args) {
    return this.copyIn(new TextEncoder().encode(args.map((a) => a + '\0').join('') + '\0'));
  }

  // Checks the command's arguments for the settings as the command's parser (and the
  // core's check within it) does; returns '' or the command's message.
  checkSettings(args) {
    const at = this.copyArguments(args);
    if (!at) return 'memory';
    const refused = this.x.qvx_check_settings(this.page, at);
    this.x.qvx_free(at);
    return refused ? this.text(this.x.qvx_settings_error(this.page)) : '';
  }

  // Starts converting with the settings the command's arguments give; returns '', the
  // command's message when it refuses them, or 'memory'.
  start(args) {
    const at = this.copyArguments(args);
    if (!at) return 'memory';
    const code = this.x.qvx_start_settings(this.page, at);
    this.x.qvx_free(at);
    return code === 0 ? '' : code === 1 ? this.text(this.x.qvx_settings_error(this.page)) : 'memory';
  }

  // Empties the result: the panes show the picture beside nothing.
  clearResult() { this.x.qvx_clear_result(this.page); }

  // Converts up to about `pixels` more; returns the rows still to convert.
  convertMore(pixels) { return this.x.qvx_convert_more(this.page, pixels); }

  // Draws both panes into one block kept for the pane size (fresh memory is slow to
  // touch); returns views of their RGBA bytes, valid until the next call.
  draw(v) {
    const size = v.width * v.height * 4;
    if (this.paneSize !== size) {
      if (this.panes) this.x.qvx_free(this.panes);
      this.panes = this.x.qvx_alloc(2 * size);
      this.paneSize = this.panes ? size : 0;
      if (!this.panes) return null;
    }
    this.x.qvx_draw(this.page, v.num, v.den, v.scrollX, v.scrollY, v.width, v.height, this.panes, this.panes + size);
    const pixels = (at) => new Uint8ClampedArray(this.x.memory.buffer, at, size);
    return { source: pixels(this.panes), result: pixels(this.panes + size) };
  }

  // Runs the command's conversion with its arguments over the open picture (its BMP
  // file, or its decoded pixels). Returns {bytes, xResolution, yResolution} or {error}.
  exportFile(args) {
    const argsAt = this.copyArguments(args);
    if (!argsAt) return { error: 'memory' };
    const failed = this.x.qvx_export(this.page, argsAt, this.file, this.fileSize);
    this.x.qvx_free(argsAt);
    const p = this.page;
    if (failed) return { error: this.text(this.x.qvx_export_error(p)) };
    return { bytes: this.bytes(this.x.qvx_export_data(p), this.x.qvx_export_size(p)).slice(),
             xResolution: this.x.qvx_export_x_resolution(p), yResolution: this.x.qvx_export_y_resolution(p) };
  }
}
