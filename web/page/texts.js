// Every text the page shows, in English and Japanese. Elements name their text with
// data-text (content), data-text-label (aria-label) and data-text-title (title);
// applyTexts re-labels them all at once.

const en = {
  title: 'Quillvex — pictures to black and white',
  privacy: 'Everything runs in this page: no picture or setting leaves your machine.',
  language: 'Language',
  open: 'Open a picture…',
  openHint: 'or drop a picture anywhere on the page, or paste one (Ctrl+V)',
  dropHere: 'Drop the picture to open it',
  density: 'Density',
  histogram: 'Luminance histogram',
  histogramDescribed: (d, o) => `Luminance histogram: density ${d}, Otsu's point ${o}`,
  histogramEmpty: 'Luminance histogram: no picture',
  legendDensity: 'density',
  legendOtsu: "Otsu's point",
  useOtsu: "Use Otsu's point",
  useOtsuValue: (o) => `Use Otsu's point (${o})`,
  mode: 'Mode',
  modes: ['Letter', 'photo(Hard)', 'photo(Soft)'],
  modeGroup: 'Modes',
  families: ['Error diffusion', 'Ordered dither', 'Local threshold'],
  serpentine: 'Serpentine (odd rows right to left)',
  linear: 'Linear light',
  radius: 'Radius',
  k: 'k',
  kDefault: (v) => `default ${v}`,
  percent: 'Percent',
  levels: 'Grey levels',
  palette: 'Palette',
  paletteNone: 'none (grey levels)',
  paletteCustom: 'colours #rrggbb,…',
  invert: 'Invert',
  zoom: 'Zoom',
  zoomIn: 'Zoom in',
  zoomOut: 'Zoom out',
  fit: 'fit',
  scale: (z) => `scale ${z}`,
  source: 'Picture',
  result: 'Black and white',
  sourcePane: (name) => (name ? `Picture: ${name}` : 'Picture: none open'),
  resultPane: (name) => (name ? `Black-and-white result of ${name}` : 'Black-and-white result: none'),
  out: 'Save',
  download: (f) => `Download ${f}`,
  deviceFormat: 'Device format',
  downloadDevice: 'Download for a device',
  layout: 'Layout',
  preset: 'Preset',
  presetNone: 'none',
  // p: a preset as the module describes it (core.js presets()).
  presetNote: (p) => `${p.settings}.` + (p.width || p.height
    ? ` quillvex-cli fits the picture to ${p.width || ''}x${p.height || ''} first; the page keeps its size.` : ''),
  codes: 'Codes, index 0 first',
  plane0: 'Plane 0: a set bit is',
  plane1: 'Plane 1: a set bit is',
  planeWhite: 'paper (white)',
  planeBlack: 'ink (black)',
  on: 'A set bit is',
  onDefault: 'default',
  onBlack: 'black',
  onWhite: 'white',
  arrayName: 'Array name',
  band: 'Rows per band',
  copy: 'Copy',
  info: 'Info',
  header: 'Bitmap-Info-Header',
  colorTable: 'Color Table',
  noPicture: 'No picture is open.',
  converting: 'converting…',
  opening: 'opening…',
  opened: (name, w, h) => `${name}: ${w} × ${h} pixels.`,
  openedDevice: (name, w, h) => `${name}: ${w} × ${h} pixels, shown as the device file holds them; the conversion settings don't apply to it.`,
  deviceUnsaid: "This file does not say how it was written. Read it with quillvex-cli, giving its size and how it was written: quillvex-cli FILE --size WxH --preset NAME -o picture.png (or --layout, --on, --levels, --palette).",
  deviceUnreadable: (why) => `This device file can't be read: ${why}.`,
  failed: (name, why) => `${name}: ${why}`,
  empty: 'The file is empty.',
  notPicture: 'This file is not a picture this page can read.',
  tooLarge: (max) => `File is too large. This page opens up to ${max} pixels.`,
  tooLargeSize: (w, h, max) => `File is too large. This page opens up to ${max} pixels; this picture has ${w} × ${h}.`,
  damaged: (why) => `The BMP file is damaged or of a kind not supported: ${why}`,
  unreadable: "The browser could not read the file.",
  memory: "Can't allocate memory.",
  // A failure of the core in its own words (protocol.js Failure).
  coreFailure: (f) => f.text,
  fatal: (m) => `The converter could not be loaded: ${m}`,
  settingsFailed: (m) => `These settings can't be used: ${m}`,
  exportFailed: (m) => `Nothing was saved: ${m}`,
  saved: (name) => `${name} is ready.`,
  copied: 'The result is on the clipboard.',
  copyRefused: (m) => `The browser did not let the page copy the picture (${m}). Download it as PNG instead.`,
  noClipboard: 'This browser offers no way to copy a picture. Download it as PNG instead.',
  pasteNothing: 'The clipboard holds no picture to open.',

  // The panes without a picture, the save buttons' names, the Info heading of a decoded
  // picture, and refused saves by the core's code.
  emptySource: 'No picture is open',
  emptySteps: 'Open one with this button, drop one anywhere on the page, or paste one with Ctrl+V.',
  emptyFormats: 'BMP, PNG, JPEG, GIF and WebP pictures open here, and the X bitmaps and C headers quillvex-cli writes.',
  emptyResult: 'Its black-and-white version will show here.',
  saveBmp: 'Save as BMP',
  savePng: 'Save as PNG',
  savePbm: 'Save as PBM',
  savePgm: 'Save as PGM (grey levels)',
  savePpm: 'Save as PPM',
  decodedHeader: (format) => `${format || 'Picture'}, decoded to 24-bit colour`,
  deviceHeader: (format) => `${format === 'xbm' ? 'X bitmap' : 'C array'}, its indexes in their colours as 24-bit colour`,
  // A refused device option, by its name.
  optionRules: {
    band: 'Rows per band must be a whole number from 1 to 2303.',
    name: 'The array name must not be empty.',
    layout: 'The layout must be rows-msb, rows-lsb, pages, columns-msb, 2bpp-msb, 4bpp-msb or planes.',
    on: 'A set bit must stand for black or white.',
    'plane-on': 'A set bit in a plane must stand for paper or ink.',
    codes: 'The codes must be a list of numbers 0 to 15, one for each index: 0,1,2,3,5,6.',
    preset: 'The preset must be one of the list.',
  },
  // The settings check, saves and the converter's recovery.
  settingRefused: (field, rule) => `These settings can't be used: ${field} ${rule}`,
  modeRule: 'is not one this page knows.',
  // p: a parameter as the module describes it (core.js methods()).
  settingRule: (p) => (p.type === 'whole' ? `must be a whole number from ${p.min} to ${p.max}.`
                       : p.min === null ? 'must be a number.' : `must be a number from ${p.min} to ${p.max}.`),
  saveRefused: 'the settings are not ones the converter takes.',
  saveReplaced: 'another picture was opened meanwhile.',
  restarted: (why) => `The converter stopped (${why}) and was started again.`,
  formatRefused: (format) => `This page does not read ${format} pictures (quillvex-cli does).`,
};

// The core's failures in Japanese, by their codes: the BMP reader's (the program's own
// texts).
const kJaCoreFailures = {
  'cant-open': 'ファイルを開けません。',
  'no-file-header': 'ファイルヘッダーが読めません。',
  'not-bitmap': 'このファイルはBMPファイルではありません。',
  'no-info-header': 'BMPINFOヘッダーが読めません。',
  unsupported: 'この形式は扱えません。',
  'too-large': 'ファイルが大きすぎます。',
  'short-data': '読み込みエラーが発生しました。',
};

const ja = {
  title: 'Quillvex — 画像を白黒に',
  privacy: 'すべてこのページの中で処理します。画像も設定もこのコンピューターの外へは送られません。',
  language: '言語',
  open: '画像を開く…',
  openHint: 'またはページのどこかに画像をドロップ、または貼り付け（Ctrl+V）',
  dropHere: 'ドロップすると画像を開きます',
  density: '濃度',
  histogram: '輝度ヒストグラム',
  histogramDescribed: (d, o) => `輝度ヒストグラム：濃度 ${d}、大津の閾値 ${o}`,
  histogramEmpty: '輝度ヒストグラム：画像なし',
  legendDensity: '濃度',
  legendOtsu: '大津の閾値',
  useOtsu: '大津の閾値を使う',
  useOtsuValue: (o) => `大津の閾値を使う（${o}）`,
  mode: 'モード',
  modes: ['文字', '写真(硬)', '写真(軟)'],
  modeGroup: 'モード',
  families: ['誤差拡散', '組織的ディザ', '局所しきい値'],
  serpentine: '蛇行走査（奇数行は右から左）',
  linear: 'リニア光',
  radius: '半径',
  k: 'k',
  kDefault: (v) => `既定値 ${v}`,
  percent: 'パーセント',
  levels: '階調数',
  palette: 'パレット',
  paletteNone: 'なし（階調）',
  paletteCustom: '色 #rrggbb,…',
  invert: '反転',
  zoom: '倍率',
  zoomIn: '拡大',
  zoomOut: '縮小',
  fit: '全体',
  scale: (z) => `スケール ${z}`,
  source: '元の画像',
  result: '白黒',
  sourcePane: (name) => (name ? `元の画像：${name}` : '元の画像：なし'),
  resultPane: (name) => (name ? `${name} の白黒変換結果` : '白黒変換結果：なし'),
  out: '保存',
  download: (f) => `${f} をダウンロード`,
  deviceFormat: '機器向け形式',
  downloadDevice: '機器向けにダウンロード',
  layout: '配置',
  preset: 'プリセット',
  presetNone: 'なし',
  presetNote: (p) => `${p.settings}。` + (p.width || p.height
    ? ` quillvex-cli は先に画像を ${p.width || ''}x${p.height || ''} に合わせます。このページでは画像の大きさのままです。` : ''),
  codes: 'コード（インデックス 0 から）',
  plane0: 'プレーン 0 のビット1',
  plane1: 'プレーン 1 のビット1',
  planeWhite: '紙（白）',
  planeBlack: 'インク（黒）',
  on: 'ビット1の色',
  onDefault: '既定',
  onBlack: '黒',
  onWhite: '白',
  arrayName: '配列名',
  band: 'バンドの行数',
  copy: 'コピー',
  info: '情報',
  header: 'Bitmap-Info-Header',
  colorTable: 'Color Table',
  noPicture: '画像が開かれていません。',
  converting: '変換中…',
  opening: '読み込み中…',
  opened: (name, w, h) => `${name}：${w} × ${h} ピクセル。`,
  openedDevice: (name, w, h) => `${name}：${w} × ${h} ピクセル。機器向けファイルの内容をそのまま表示しています（変換の設定は使いません）。`,
  deviceUnsaid: 'このファイルには書き出し方が書かれていません。quillvex-cli に大きさと書き出し方を指定して読ませてください：quillvex-cli FILE --size WxH --preset NAME -o picture.png（または --layout、--on、--levels、--palette）。',
  deviceUnreadable: (why) => `この機器向けファイルは読めません：${why}。`,
  failed: (name, why) => `${name}：${why}`,
  empty: 'ファイルが空です。',
  notPicture: 'このページで読める画像ファイルではありません。',
  tooLarge: (max) => `ファイルが大きすぎます。このページで開けるのは ${max} ピクセルまでです。`,
  tooLargeSize: (w, h, max) => `ファイルが大きすぎます。このページで開けるのは ${max} ピクセルまでです（この画像は ${w} × ${h}）。`,
  damaged: (why) => `BMPファイルが壊れているか、扱えない種類です：${why}`,
  unreadable: 'ブラウザーがファイルを読めませんでした。',
  memory: 'メモリを確保できません。',
  coreFailure: (f) => kJaCoreFailures[f.code] ?? f.text,
  fatal: (m) => `変換プログラムを読み込めませんでした：${m}`,
  settingsFailed: (m) => `この設定は使えません：${m}`,
  exportFailed: (m) => `保存できませんでした：${m}`,
  saved: (name) => `${name} を用意しました。`,
  copied: '変換結果をクリップボードにコピーしました。',
  copyRefused: (m) => `ブラウザーが画像のコピーを許可しませんでした（${m}）。PNG でダウンロードしてください。`,
  noClipboard: 'このブラウザーでは画像をコピーできません。PNG でダウンロードしてください。',
  pasteNothing: 'クリップボードに開ける画像がありません。',

  // The panes without a picture, the save buttons' names, the Info heading of a decoded
  // picture, and refused saves by the core's code.
  emptySource: '画像が開かれていません',
  emptySteps: 'このボタンで開くか、ページのどこかにドロップするか、Ctrl+V で貼り付けてください。',
  emptyFormats: 'BMP・PNG・JPEG・GIF・WebP の画像と、quillvex-cli が書き出した X ビットマップと C ヘッダーを開けます。',
  emptyResult: 'ここに白黒の変換結果が表示されます。',
  saveBmp: 'BMP 形式で保存',
  savePng: 'PNG 形式で保存',
  savePbm: 'PBM 形式で保存',
  savePgm: 'PGM 形式で保存（階調）',
  savePpm: 'PPM 形式で保存',
  decodedHeader: (format) => `${format || '画像'}（24ビットカラーに展開）`,
  deviceHeader: (format) => `${format === 'xbm' ? 'X ビットマップ' : 'C 配列'}（インデックスを色にして24ビットカラーに展開）`,
  optionRules: {
    band: 'バンドの行数は 1 から 2303 までの整数です。',
    name: '配列名を入れてください。',
    layout: '配置は rows-msb、rows-lsb、pages、columns-msb、2bpp-msb、4bpp-msb、planes のどれかです。',
    on: 'ビット1の色は黒か白です。',
    'plane-on': 'プレーンのビット1は紙かインクです。',
    codes: 'コードは 0 から 15 までの数をインデックスごとに並べます：0,1,2,3,5,6。',
    preset: 'プリセットは一覧から選んでください。',
  },
  // 設定の検査、保存、変換プログラムの再起動。
  settingRefused: (field, rule) => `この設定は使えません：${field}${rule}`,
  modeRule: 'はこのページにない方式です。',
  settingRule: (p) => (p.type === 'whole' ? `は ${p.min} から ${p.max} までの整数です。`
                       : p.min === null ? 'には数値を入れてください。' : `は ${p.min} から ${p.max} までの数値です。`),
  saveRefused: '変換プログラムが受け付けない設定です。',
  saveReplaced: 'その間に別の画像が開かれました。',
  restarted: (why) => `変換プログラムが停止したため（${why}）、起動し直しました。`,
  formatRefused: (format) => `このページは ${format} 画像を読めません（quillvex-cli は読めます）。`,
};

export const kTexts = { en, ja };

let current = en;
let currentLanguage = 'en';

// Returns 'ja' for a Japanese browser language, else 'en'.
export function languageFor(tag) {
  return /^ja\b/i.test(tag ?? '') ? 'ja' : 'en';
}

// The text for key in the current language; functions are called with args.
export function text(key, ...args) {
  const value = current[key];
  return typeof value === 'function' ? value(...args) : value;
}

// Switches the language and re-labels every element that names a text.
export function setLanguage(lang, root = document) {
  currentLanguage = kTexts[lang] ? lang : 'en';
  current = kTexts[currentLanguage];
  root.documentElement.lang = currentLanguage;
  root.title = current.title;
  for (const el of root.querySelectorAll('[data-text]')) el.textContent = text(el.dataset.text);
  for (const el of root.querySelectorAll('[data-text-label]')) el.setAttribute('aria-label', text(el.dataset.textLabel));
  for (const el of root.querySelectorAll('[data-text-title]')) el.title = text(el.dataset.textTitle);
}

// A failure (protocol.js Failure) in the current language: the page's words where it
// words the code, else the core's. `maxPixels`: the largest picture the page opens.
export function failureText(f, maxPixels = 0) {
  const max = maxPixels.toLocaleString();
  switch (f.code) {
    case 'empty': return text('empty');
    case 'not-picture': return text('notPicture');
    case 'unreadable': return text('unreadable');
    case 'memory': return text('memory');
    case 'too-large': return f.width ? text('tooLargeSize', f.width, f.height, max) : text('tooLarge', max);
    case 'refused-format': return text('formatRefused', f.format);
    case 'device-unsaid': return text('deviceUnsaid');
    case 'device-read': return text('deviceUnreadable', f.text);
    case 'replaced': return text('saveReplaced');
    case 'no-picture': return text('noPicture');
    case 'settings-refused': return text('saveRefused');
    case 'setting': return text('optionRules')[f.field] ?? f.text;
    case 'fault': return f.text;
    case 'no-clipboard': return text('noClipboard');
    case 'copy-refused': return text('copyRefused', f.text);
    default: return text('coreFailure', f);
  }
}

// A failure to open a picture: any but the page's own says the BMP file is damaged.
const kOpenFailures = new Set(['empty', 'not-picture', 'unreadable', 'memory', 'too-large', 'refused-format', 'fault',
                               'device-unsaid', 'device-read']);
export function openFailureText(f, maxPixels) {
  return kOpenFailures.has(f.code) ? failureText(f, maxPixels) : text('damaged', failureText(f, maxPixels));
}
