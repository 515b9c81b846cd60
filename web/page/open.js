// The three ways in: the file picker, a file dropped anywhere on the page, and a
// picture pasted from the clipboard.

const isEditable = (el) => el instanceof HTMLElement &&
  (el.isContentEditable || el.matches('input[type="text"], input[type="number"], textarea'));

// The first file the clipboard or a drop offers, preferring pictures; or null.
export function firstFile(data) {
  if (!data) return null;
  const files = [...(data.files ?? [])];
  if (!files.length && data.items) {
    for (const item of data.items) {
      const file = item.kind === 'file' ? item.getAsFile() : null;
      if (file) files.push(file);
    }
  }
  return files.find((f) => f.type.startsWith('image/')) ?? files[0] ?? null;
}

// open(file) is called with a File; nothing(): a paste that held no file.
export function wireOpening(open, nothing) {
  const input = document.getElementById('file');
  input.addEventListener('change', () => {
    if (input.files[0]) open(input.files[0]);
    input.value = '';  // the same file may be chosen again
  });

  const overlay = document.getElementById('drop');
  const carriesFiles = (event) => [...(event.dataTransfer?.types ?? [])].includes('Files');
  let depth = 0;
  window.addEventListener('dragenter', (event) => {
    if (!carriesFiles(event)) return;
    event.preventDefault();
    depth += 1;
    overlay.hidden = false;
  });
  window.addEventListener('dragover', (event) => {
    if (!carriesFiles(event)) return;
    event.preventDefault();
    event.dataTransfer.dropEffect = 'copy';
  });
  window.addEventListener('dragleave', () => {
    depth = Math.max(0, depth - 1);
    if (depth === 0) overlay.hidden = true;
  });
  window.addEventListener('drop', (event) => {
    depth = 0;
    overlay.hidden = true;
    if (!carriesFiles(event)) return;
    event.preventDefault();
    const file = firstFile(event.dataTransfer);
    if (file) open(file);
  });

  document.addEventListener('paste', (event) => {
    const file = firstFile(event.clipboardData);
    if (file) {
      event.preventDefault();
      open(file);
    } else if (!isEditable(event.target)) {
      nothing();
    }
  });
}

export { isEditable };
