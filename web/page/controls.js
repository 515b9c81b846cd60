// The conversion controls: density slider, mode and method list with the options that
// apply to the chosen one, and invert. They hold the settings the worker converts with.
// Which options a method takes, their ranges and defaults come from the module's method
// descriptors (core.js methods()); a parameter's field is the input whose id is its name.
import { text } from './texts.js';

// The parameter a method takes by this name, or undefined.
const paramOf = (method, name) => method?.params.find((p) => p.name === name);

// Every parameter of any method, once each, in the descriptors' order, with the
// defaults of the methods that take it.
function allParams(methods) {
  const all = new Map();
  for (const m of methods) {
    for (const p of m.params) {
      if (!all.has(p.name)) all.set(p.name, { ...p, defaults: new Set() });
      all.get(p.name).defaults.add(p.default);
    }
  }
  return [...all.values()].sort((a, b) => a.index - b.index);
}

// A number field's text as typed, for the command's rules to take or refuse (2.5 for
// a radius is refused, not cut to 2); null when empty (the method's default). Text the
// browser can't read as a number reaches them as such.
const fieldText = (input) => (input.validity?.badInput ? 'NaN' : input.value.trim() === '' ? null : input.value.trim());

export class Controls {
  // onChange() is called after every change of a setting.
  constructor(onChange) {
    this.onChange = onChange;
    this.methods = [];
    this.params = [];
    const $ = (id) => document.getElementById(id);
    this.$ = $;
    this.el = { density: $('density'), value: $('density-value'), mode: $('mode'),
                options: document.querySelectorAll('#method-options .option'), palette: $('palette-choice') };
    this.el.palette.addEventListener('change', () => this.fieldChanged());
    this.el.density.addEventListener('input', () => {
      this.el.value.value = this.el.density.value;
      this.onChange();
    });
    this.el.mode.addEventListener('change', () => {
      this.showOptions();
      this.onChange();
    });
    this.fillModes();
  }

  // The mode list: the three modes, then the methods grouped by family. The first
  // methods given also set up every parameter's field: its range, step and default.
  fillModes(methods = this.methods) {
    if (!this.params.length && methods.length) this.setUpFields(methods);
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

  // A number field takes its range and step; when every method that takes it has the
  // same default, that is its first value, else it stays empty and shows the chosen
  // method's default (showOptions).
  setUpFields(methods) {
    // A parameter the page has no field for is left to its default.
    this.params = allParams(methods).filter((p) => this.$(p.name));
    for (const p of this.params) {
      const field = this.$(p.name);
      if (p.type === 'flag') {
        field.checked = p.default;
        field.addEventListener('change', () => this.fieldChanged());
        continue;
      }
      if (p.type === 'text') {
        if (p.name === 'palette') this.fillPalettes(p.choices ?? []);
        field.addEventListener('input', () => this.fieldChanged());
        continue;
      }
      if (p.min !== null) field.min = String(p.min);
      if (p.max !== null) field.max = String(p.max);
      field.step = String(p.step);
      if (p.defaults.size === 1) field.value = String(p.default);
      if (field !== this.el.density) field.addEventListener('input', () => this.fieldChanged());
    }
    this.el.value.value = this.el.density.value;
  }

  // The palette chooser: none, the module's built-in palettes, or colours typed in the
  // text field beside it.
  fillPalettes(palettes) {
    const select = this.el.palette, none = new Option('', ''), custom = new Option('', '#');
    none.dataset.text = 'paletteNone';
    custom.dataset.text = 'paletteCustom';
    none.textContent = text('paletteNone');
    custom.textContent = text('paletteCustom');
    const named = palettes.map((p) => Object.assign(new Option(p.name, p.name), { title: p.colours }));
    select.replaceChildren(none, ...named, custom);
  }

  // The palette chosen: a built-in name, the typed colours, or null for none.
  palette() {
    const choice = this.el.palette.value;
    if (choice !== '#') return choice || null;
    return this.$('palette').value.trim() || null;
  }

  fieldChanged() {
    this.showOptions();
    this.onChange();
  }

  method() { return this.methods.find((m) => m.kind === Number(this.el.mode.value)) ?? null; }

  // Shows the fields of the options the chosen method takes; a field without one
  // default shows the method's.
  showOptions() {
    const method = this.method();
    for (const option of this.el.options) option.hidden = !paramOf(method, option.querySelector('input').id);
    // A palette has its own colours: the grey levels wait while one is chosen.
    const palette = paramOf(method, 'palette') && this.palette() !== null;
    if (this.$('levels')) this.$('levels').disabled = Boolean(palette);
    this.$('palette').hidden = this.el.palette.value !== '#';
    for (const p of this.params) {
      if (p.type === 'flag' || p.type === 'text' || p.defaults.size === 1) continue;
      const taken = paramOf(method, p.name);
      this.$(p.name).placeholder = taken ? text('kDefault', taken.default) : '';
    }
  }

  density() { return Number(this.el.density.value); }

  // The density within its range, a whole number.
  clampDensity(value) {
    const p = this.params.find((q) => q.name === 'density');
    return p ? Math.min(p.max, Math.max(p.min, Math.round(value))) : Math.round(value);
  }

  // The settings as the workers take them (protocol.js Settings): a value for every
  // parameter, false or null for the options the method doesn't take.
  settings() {
    const method = this.method(), settings = { kind: Number(this.el.mode.value) };
    for (const p of this.params) {
      const field = this.$(p.name), taken = paramOf(method, p.name);
      if (p.type === 'flag') settings[p.name] = Boolean(taken) && field.checked;
      else if (field === this.el.density) settings[p.name] = this.density();
      else if (p.type === 'text') settings[p.name] = taken ? this.palette() : null;
      else settings[p.name] = taken && !field.disabled ? fieldText(field) : null;
    }
    return settings;
  }

  // Sets controls from a partial settings object; `mode` may name a mode or method.
  // Returns an error text, or ''.
  set(partial) {
    const el = this.el;
    if ('mode' in partial) {
      const name = String(partial.mode).toLowerCase();
      const kind = this.methods.find((m) => m.name === name)?.kind;
      if (kind === undefined) return `unknown mode ${partial.mode}`;
      el.mode.value = String(kind);
    }
    if ('kind' in partial) el.mode.value = String(partial.kind);
    if (el.mode.selectedIndex < 0) el.mode.value = '0';
    for (const p of this.params) {
      if (!(p.name in partial)) continue;
      const field = this.$(p.name), value = partial[p.name];
      if (p.type === 'flag') field.checked = Boolean(value);
      else if (p.type === 'text') this.setPalette(value);
      else if (field === el.density) field.value = String(this.clampDensity(value));
      else field.value = value == null ? '' : String(value);
    }
    el.value.value = el.density.value;
    this.showOptions();
    return '';
  }

  // Chooses a built-in palette by name, or types the colours given; none for null or ''.
  setPalette(value) {
    const given = value == null ? '' : String(value).trim();
    const builtIn = [...this.el.palette.options].some((o) => o.value === given && given !== '#');
    this.el.palette.value = builtIn ? given : '#';
    this.$('palette').value = builtIn ? '' : given;
  }

  // Moves the density by `step`, kept within its range.
  step(step) {
    const next = this.clampDensity(this.density() + step);
    if (next === this.density()) return;
    this.set({ density: next });
    this.onChange();
  }
}
