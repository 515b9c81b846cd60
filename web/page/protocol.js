// What the page and its workers say to each other, in one place: every message's
// fields, the one shape of a failure, requests answered by their id, and the owner of
// the workers on the page's side.
//
// The preview worker holds the open picture and its result and draws the panes; the
// export worker holds a copy of the picture a save was asked for and writes files, so
// that a large save never holds up the preview.

/**
 * Why something could not be done. `code` is the module's (a BMP reader's code such as
 * "too-large" or "short-data", "memory", "setting" naming its field, "write") or the
 * page's own ("empty", "not-picture", "refused-format", "unreadable", "replaced",
 * "no-picture", "settings-refused", "fault", "no-clipboard", "copy-refused"); `text` is
 * the core's or the command's words in English, which the page words again in its
 * language where it knows the code (texts.js failureText). Some codes carry what their
 * wording needs.
 * @typedef {{code: string, text: string, field?: string, width?: number, height?: number,
 *            format?: string}} Failure
 */

/** @returns {Failure} */
export const failure = (code, text = '', details = {}) => ({ code, text, ...details });

/**
 * The settings the preview and the saves convert with, as the controls hold them: the
 * mode or method (`kind`, as the module's method descriptors number it), and each
 * parameter's field as typed by its name (a flag true or false; a number's text, or
 * null for the method's default; null or false for a parameter the method doesn't take).
 * @typedef {{kind: number, [param: string]: string | number | boolean | null}} Settings
 */

/**
 * A file to save: the format's name ('bmp', 'png', 'pbm' or a device format), the
 * settings, and the device options as typed ({layout, on, name, band, planeOn, codes,
 * preset}, each '' or absent for the format's default).
 * @typedef {{format: string, settings: Settings, device: Object<string, string>}} ExportRequest
 */

// Every message by its type, with the fields it carries. A request carries `id` and is
// answered by an 'answer' with the same id: {id, failure: Failure | null, ...result}.
const kMessages = {
  // to a worker
  open: ['id', 'pictureId', 'name', 'file'],        // a request; answered with the picture's facts (a
                                                    // device file's: device, its format, and grey); a
                                                    // decoded picture's {pixels, width, height} from
                                                    // 'share' spare decoding it again
  share: ['id', 'pictureId'],                       // a request; answered with {pixels, width, height}: the
                                                    // open picture's pixels when it was decoded, else null
  settings: ['seq', 'settings'],                    // the preview's settings
  view: ['seq', 'view'],                            // what the panes show: {num, den, scrollX, scrollY, width, height}
  canvases: ['source', 'result'],                   // the panes' OffscreenCanvases
  export: ['id', 'pictureId', 'fileName', 'request'],  // a request; answered with {fileName, mime, bytes}
  close: [],                                        // the export worker lets its picture go
  fault: [],                                        // makes the module fault, as the recovery's test
  // from the preview worker to its helpers, and back
  'band-picture': ['pictureId', 'luma', 'width', 'height', 'bottomUp'],  // the picture's luminance, shared
  'band-work': ['seq', 'pictureId', 'settings', 'bands'],  // convert these bands, the last first
  'band-done': ['seq', 'pictureId', 'band', 'rows'],  // a band's rows from the top
  // from a worker
  ready: ['methods', 'presets', 'maxPixels'],
  fatal: ['text'],
  answer: ['id', 'failure'],
  frame: ['seq', 'settingsSeq', 'width', 'height', 'complete'],  // complete: every row in view converted for
                                                    // settingsSeq, else some show the result before;
                                                    // and the panes' pixels when the page owns the canvases
  converted: ['seq', 'ms'],                         // the result of settings `seq` is whole
  'settings-failed': ['seq', 'failure'],            // the settings `seq` are refused, or could not start
  restarted: ['failure', 'pictureId', 'lost'],      // the module faulted and was made anew; lost: why the
                                                    // picture could not be read again, or null
};

// Makes a message of a type, checking that it carries its fields.
export function message(type, fields = {}) {
  const wanted = kMessages[type];
  if (!wanted) throw new Error(`no message ${type}`);
  for (const name of wanted) {
    if (!(name in fields)) throw new Error(`message ${type} without ${name}`);
  }
  return { type, ...fields };
}

// The answer to a request: its result, or its failure.
export const answer = (id, result) => message('answer', { id, failure: null, ...result });
export const failedAnswer = (id, why) => message('answer', { id, failure: why });

// The page's side of the workers: posts messages, settles requests by their answers,
// and hands every other message to the handler of its type.
export class Workers {
  constructor(url, handlers) {
    this.url = url;
    this.handlers = handlers;
    this.pending = new Map();  // id -> {resolve, worker}
    this.lastId = 0;
    this.preview = this.start((m) => this.handlers[m.type]?.(m));
    this.exporter = null;      // started at the first save
    this.exporterPicture = 0;  // the picture the export worker holds
  }

  // Starts a worker whose messages other than answers go to `other`.
  start(other) {
    const worker = new Worker(this.url, { type: 'module' });
    worker.onmessage = (event) => (event.data.type === 'answer' ? this.settle(event.data) : other(event.data));
    worker.onerror = (event) => other(message('fatal', { text: event.message || 'worker error' }));
    return worker;
  }

  settle(m) {
    const pending = this.pending.get(m.id);
    this.pending.delete(m.id);
    pending?.resolve(m);
  }

  post(m, transfer = []) { this.preview.postMessage(m, transfer); }

  request(worker, type, fields, transfer = []) {
    const id = ++this.lastId;
    return new Promise((resolve) => {
      this.pending.set(id, { resolve, worker });
      worker.postMessage(message(type, { id, ...fields }), transfer);
    });
  }

  // Opens a picture in the preview; resolves with the answer. The export worker lets
  // the picture before go.
  open(pictureId, name, file) {
    if (this.exporterPicture) this.exporter.postMessage(message('close'));
    this.exporterPicture = 0;
    return this.request(this.preview, 'open', { pictureId, name, file });
  }

  // Writes a file of a picture (`picture`: {id, name, file}) in the export worker,
  // which opens the picture first when it holds another: a picture the browser decoded
  // from the preview's pixels, without decoding it again. Resolves with the answer.
  async exportFile(picture, fileName, request) {
    this.exporter ??= this.start((m) => {
      // A worker that can't load answers nothing more: its saves fail, the next starts anew.
      if (m.type === 'fatal') this.dropExporter(m.text);
    });
    if (this.exporterPicture !== picture.id) {
      this.exporterPicture = picture.id;
      const { pixels, width, height } = await this.request(this.preview, 'share', { pictureId: picture.id });
      const opened = await this.request(this.exporter, 'open',
                                        { pictureId: picture.id, name: picture.name, file: picture.file,
                                          ...(pixels && { pixels, width, height }) }, pixels ? [pixels] : []);
      if (opened.failure) {
        this.exporterPicture = 0;
        return opened;
      }
    }
    return this.request(this.exporter, 'export', { pictureId: picture.id, fileName, request });
  }

  dropExporter(text) {
    const exporter = this.exporter;
    exporter?.terminate();
    this.exporter = null;
    this.exporterPicture = 0;
    for (const [id, pending] of this.pending) {
      if (pending.worker === exporter) this.settle(failedAnswer(id, failure('fault', text)));
    }
  }
}
