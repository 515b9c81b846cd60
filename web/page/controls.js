// The conversion controls: density slider, mode and method list with the options that
// apply to the chosen one, and invert. They hold the settings the worker converts with.
import { text } from './texts.js';

export const kMaxDensity = 254;
const kModeNames = ['letter', 'hard', 'soft'];
const kDefaultK = { sauvola: 0.2, niblack: -0.2 };

// The options a mode or method takes: a Set of 'serpentine', 'linear', 'radius', 'k', 'percent'.
export function optionsFor(method) {
  const options = new Set();
  if (!method) return options;
  options.add('linear');
  if (method.family === 0) options.add('serpentine');
  if (method.family === 2) options.add('radius');
  if (method.name in kDefaultK) options.add('k');
  if (method.name === 'bradley') options.add('percent');
  return options;
}

export const clampDensity = (value) => Math.min(kMaxDensity, Math.max(0, Math.round(value)));

// A number field's text as typed, for the command's parser to take or refuse (2.5 for
// a radius is refused, not cut to 2); null when empty (the method's default). Text the
// browser can't read as a number reaches the parser as such.
const fieldText = (input) => (input.validity?.badInput ? 'NaN' : input.value.trim() === '' ? null : input.value.trim());

// The command's arguments for settings, in groups by the field they come from:
// [{field, args}], the mode first so that each option meets its method.
export function settingsArguments(s, methods) {
  const method = methods.find((m) => m.kind === s.kind);
  const groups = [{ field: 'mode', args: ['-m', method ? method.name : kModeNames[s.kind] ?? String(s.kind)] },
                  { field: 'density', args: ['-t', String(s.density)] }];
  const add = (field, ...args) => groups.push({ field, args });
  if (s.invert) add('invert', '-i');
  if (s.linear) add('linear', '--linear');
  if (s.serpentine) add('serpentine', '--serpentine');
  if (s.radius != null) add('radius', '--radius', String(s.radius));
  if (s.k != null) add('k', '--k', String(s.k));
  if (s.percent != null) add('percent', '--percent', String(s.percent));
  return groups;
}

export class Controls {
  // onChange() is called after every change of a setting.
  constructor(onChange) {
    this.onChange = onChange;
    this.methods = [];
    const $ = (id) => document.getElementById(id);
    this.el = { density: $('density'), value: $('density-value'), mode: $('mode'), invert: $('invert'),
                serpentine: $('serpentine'), linear: $('linear'), radius: $('radius'), k: $('k'),
                percent: $('percent'), options: document.querySelectorAll('#method-options [data-applies]') };
    const changed = () => {
      this.showOptions();
      this.onChange();
    };
    this.el.density.addEventListener('input', () => {
      this.el.value.value = this.el.density.value;
      this.onChange();
    });
    this.el.mode.addEventListener('change', changed);
    for (const name of ['invert', 'serpentine', 'linear']) this.el[name].addEventListener('change', changed);
    for (const name of ['radius', 'k', 'percent']) this.el[name].addEventListener('input', changed);
    this.fillModes();
  }

  // The mode list: the three modes, then the methods grouped by family.
  fillModes(methods = this.methods) {
    this.methods = methods;
    const select = this.el.mode, kept = select.value || '0';
    select.replaceChildren();
    const modes = document.createElement('optgroup');
    modes.label = text('modeGroup');
    text('modes').forEach((name, kind) => modes.append(new Option(name, String(kind))));
    select.append(modes);
    text('families').forEach((family, index) => {
      const members = methods.filter((m) => m.family === index);
      if (!members.length) return;
      const group = document.createElement('optgroup');
      group.label = family;
      for (const m of members) group.append(new Option(m.name, String(m.kind)));
      select.append(group);
    });
    select.value = kept;
    if (select.selectedIndex < 0) select.value = '0';
    this.showOptions();
  }

  method() { return this.methods.find((m) => m.kind === Number(this.el.mode.value)) ?? null; }

  showOptions() {
    const method = this.method(), options = optionsFor(method);
    for (const el of this.el.options) el.hidden = !options.has(el.dataset.applies);
    this.el.k.placeholder = method && method.name in kDefaultK ? text('kDefault', kDefaultK[method.name]) : '';
  }

  density() { return Number(this.el.density.value); }

  // The settings as the worker takes them; options that don't apply are left out.
  settings() {
    const method = this.method(), options = optionsFor(method), el = this.el;
    return {
      kind: Number(el.mode.value), density: this.density(), invert: el.invert.checked,
      serpentine: options.has('serpentine') && el.serpentine.checked,
      linear: options.has('linear') && el.linear.checked,
      radius: options.has('radius') ? fieldText(el.radius) : null,
      k: options.has('k') ? fieldText(el.k) : null,
      percent: options.has('percent') ? fieldText(el.percent) : null,
    };
  }

  // Sets controls from a partial settings object; `mode` may name a mode or method.
  // Returns an error text, or ''.
  set(partial) {
    const el = this.el;
    if ('mode' in partial) {
      const name = String(partial.mode).toLowerCase();
      const kind = kModeNames.includes(name) ? kModeNames.indexOf(name) : this.methods.find((m) => m.name === name)?.kind;
      if (kind === undefined) return `unknown mode ${partial.mode}`;
      el.mode.value = String(kind);
    }
    if ('kind' in partial) el.mode.value = String(partial.kind);
    if (el.mode.selectedIndex < 0) el.mode.value = '0';
    if ('density' in partial) el.density.value = String(clampDensity(partial.density));
    el.value.value = el.density.value;
    for (const name of ['invert', 'serpentine', 'linear']) {
      if (name in partial) el[name].checked = Boolean(partial[name]);
    }
    for (const name of ['radius', 'k', 'percent']) {
      if (name in partial) el[name].value = partial[name] == null ? '' : String(partial[name]);
    }
    this.showOptions();
    return '';
  }

  // Moves the density by `step`, kept within 0..254.
  step(step) {
    const next = clampDensity(this.density() + step);
    if (next === this.density()) return;
    this.set({ density: next });
    this.onChange();
  }
}
