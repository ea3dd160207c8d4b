// Modal boxes: message boxes, the decoders' console messages, and the open
// and save dialogs (folders browsed through /fs, the filters, a typed path,
// the overwrite prompt). The newest request is on top; answering it wakes the
// korvel thread that waits for it.

import {send} from './net.js';

const OFN_OVERWRITEPROMPT = 0x2;

function el(tag, className, text) {
  const element = document.createElement(tag);
  if (className) element.className = className;
  if (text !== undefined) element.textContent = text;
  return element;
}

function answer(id, accepted, file) {
  send({type: 'answer', id, accepted, ...(file ? {file} : {})});
}

function button(text, onClick, primary) {
  const b = el('button', primary ? 'box-button primary' : 'box-button', text);
  b.type = 'button';
  b.addEventListener('click', onClick);
  return b;
}

function patternMatches(pattern, name) {
  return pattern.split(';').map((part) => part.trim()).filter(Boolean).some((part) => {
    if (part === '*.*' || part === '*') return true;
    const expression = new RegExp('^' + part.replace(/[.+^${}()|[\]\\]/g, '\\$&')
        .replace(/\*/g, '.*').replace(/\?/g, '.') + '$', 'i');
    return expression.test(name);
  });
}

function formatSize(size) {
  if (size < 1024) return `${size} B`;
  if (size < 1024 * 1024) return `${(size / 1024).toFixed(1)} KB`;
  return `${(size / 1024 / 1024).toFixed(1)} MB`;
}

export class ModalBoxes {
  constructor(layer) {
    this.layer = layer;
    this.open = new Map();  // id -> {request, element, onKey}
  }

  reset() {
    this.open.clear();
    this.layer.replaceChildren();
    this.layer.hidden = true;
  }

  any() {
    return this.open.size > 0;
  }

  add(request) {
    if (this.open.has(request.id)) return;
    const box = request.kind === 'open' || request.kind === 'save' ?
        this.fileDialog(request) : this.messageBox(request);
    this.open.set(request.id, box);
    const backdrop = el('div', 'modal-backdrop');
    backdrop.dataset.modal = request.id;
    backdrop.append(box.element);
    this.layer.append(backdrop);
    this.layer.hidden = false;
    (box.element.querySelector('[autofocus]') || box.element).focus();
  }

  close(id) {
    this.open.delete(id);
    const backdrop = this.layer.querySelector(`[data-modal="${id}"]`);
    if (backdrop) backdrop.remove();
    this.layer.hidden = this.open.size === 0;
  }

  // Keys go to the newest box; true when a box is open.
  key(event) {
    const ids = [...this.open.keys()];
    if (ids.length === 0) return false;
    const box = this.open.get(ids[ids.length - 1]);
    if (box.onKey) box.onKey(event);
    return true;
  }

  messageBox(request) {
    const console = request.kind === 'console';
    const element = el('div', console ? 'modal-box console-box' : 'modal-box message-box');
    element.tabIndex = -1;
    element.setAttribute('role', 'dialog');
    element.append(el('div', 'box-title', console ? 'Console' : request.title));
    const body = el('div', 'box-body');
    if ((request.flags & 0xf0) === 0x40) body.append(el('span', 'box-icon information', 'i'));
    body.append(el('div', console ? 'box-text console-text' : 'box-text', request.text));
    element.append(body);
    let answered = false;
    const done = () => {
      if (answered) return;
      answered = true;
      answer(request.id, true);
    };
    const buttons = el('div', 'box-buttons');
    if (console) buttons.append(el('span', 'box-hint', 'Press a key to go on'));
    const ok = button(console ? 'Go on' : 'OK', done, true);
    ok.autofocus = true;
    buttons.append(ok);
    element.append(buttons);
    return {element, onKey: (event) => {
      if (event.type !== 'keydown') return;
      if (console || event.key === 'Enter' || event.key === 'Escape' || event.key === ' ') done();
    }};
  }

  fileDialog(request) {
    const save = request.kind === 'save';
    const element = el('div', 'modal-box file-dialog');
    element.tabIndex = -1;
    element.setAttribute('role', 'dialog');
    element.append(el('div', 'box-title', request.title || (save ? 'Save As' : 'Open')));
    const pathBar = el('div', 'path-bar');
    const up = button('↑', () => this.browse(state, state.parent), false);
    up.title = 'Up one folder';
    const path = el('span', 'path-text');
    pathBar.append(up, path);
    const list = el('div', 'file-list');
    list.tabIndex = 0;
    const nameRow = el('label', 'name-row');
    nameRow.append(el('span', '', 'File name:'));
    const name = el('input', 'file-name');
    name.value = (request.initial || '').split('/').pop();
    name.autofocus = true;
    name.spellcheck = false;
    nameRow.append(name);
    const filterRow = el('label', 'name-row');
    filterRow.append(el('span', '', 'Files of type:'));
    const filter = el('select', 'file-filter');
    const filters = request.filters.length ? request.filters :
        [{description: 'All files (*.*)', pattern: '*.*'}];
    filters.forEach((f, index) => filter.append(new Option(f.description, String(index))));
    filterRow.append(filter);
    const message = el('div', 'dialog-message');
    const buttons = el('div', 'box-buttons');
    const state = {request, dir: '', parent: null, entries: [], list, path, name, filter, filters,
      message, up, element};
    const accept = () => this.accept(state);
    buttons.append(message, button(save ? 'Save' : 'Open', accept, true),
        button('Cancel', () => answer(request.id, false), false));
    element.append(pathBar, list, nameRow, filterRow, buttons);
    filter.addEventListener('change', () => this.renderEntries(state));
    name.addEventListener('keydown', (event) => {
      if (event.key === 'Enter') accept();
    });
    const initial = request.initial || '';
    this.browse(state, initial.startsWith('/') ? initial.slice(0, initial.lastIndexOf('/')) || '/' :
        '');
    return {element, onKey: (event) => {
      if (event.type === 'keydown' && event.key === 'Escape') {
        if (state.confirm) state.confirm(false);
        else answer(request.id, false);
      }
    }};
  }

  async browse(state, dir) {
    if (dir === null) return;
    const response = await fetch('/fs?dir=' + encodeURIComponent(dir));
    if (!response.ok) {
      state.message.textContent = (await response.text()).replace(/^korvel: /, '').trim();
      if (dir !== '') return this.browse(state, '');
      return;
    }
    const listing = await response.json();
    state.dir = listing.dir;
    state.parent = listing.parent === undefined ? null : listing.parent;
    state.entries = listing.entries;
    // Marks keep the path's slashes in place in the right-to-left trimmed bar.
    state.path.textContent = `\u200e${listing.dir}\u200e`;
    state.up.disabled = state.parent === null;
    state.message.textContent = listing.cut ? 'Only the first entries are listed.' : '';
    this.renderEntries(state);
  }

  renderEntries(state) {
    const pattern = state.filters[Number(state.filter.value) || 0].pattern;
    const rows = state.entries.filter((entry) => entry.kind === 'dir' ||
        patternMatches(pattern, entry.name)).map((entry) => {
      const row = el('div', `file-row ${entry.kind}`);
      row.append(el('span', 'file-icon'), el('span', 'file-label', entry.name),
          el('span', 'file-size', entry.kind === 'file' ? formatSize(entry.size) : ''));
      row.addEventListener('click', () => {
        for (const other of state.list.querySelectorAll('.selected')) other.classList.remove('selected');
        row.classList.add('selected');
        if (entry.kind === 'file') state.name.value = entry.name;
      });
      row.addEventListener('dblclick', () => {
        if (entry.kind === 'dir') {
          this.browse(state, this.join(state.dir, entry.name));
        } else {
          state.name.value = entry.name;
          this.accept(state);
        }
      });
      return row;
    });
    if (rows.length === 0) rows.push(el('div', 'file-empty', 'No matching files here.'));
    state.list.replaceChildren(...rows);
  }

  join(dir, name) {
    return dir.endsWith('/') ? dir + name : `${dir}/${name}`;
  }

  async accept(state) {
    const typed = state.name.value.trim();
    if (!typed) {
      state.message.textContent = 'Type or choose a file name.';
      return;
    }
    const full = typed.startsWith('/') ? typed : this.join(state.dir, typed);
    const slash = full.lastIndexOf('/');
    const dir = full.slice(0, slash) || '/';
    const base = full.slice(slash + 1);
    const entry = state.entries.find((e) => e.name === base);
    if (dir !== state.dir || (entry && entry.kind === 'dir')) {
      // A folder typed or chosen is opened; a path elsewhere is taken as typed.
      if (!base || (entry && entry.kind === 'dir')) return this.browse(state, full);
    }
    const save = state.request.kind === 'save';
    const exists = dir === state.dir ? !!entry : await this.exists(dir, base);
    if (!save && exists === false) {
      state.message.textContent = `${base} was not found. Check the name.`;
      return;
    }
    if (save && exists && (state.request.flags & OFN_OVERWRITEPROMPT)) {
      const replace = await this.confirm(state, `${base} already exists.\nDo you want to replace it?`);
      if (!replace) return;
    }
    answer(state.request.id, true, full);
  }

  // true or false when the folder can be listed; null when it cannot.
  async exists(dir, base) {
    const response = await fetch('/fs?dir=' + encodeURIComponent(dir));
    if (!response.ok) return null;
    const listing = await response.json();
    return listing.entries.some((e) => e.name === base && e.kind === 'file');
  }

  confirm(state, text) {
    return new Promise((resolve) => {
      const box = el('div', 'modal-box confirm-box');
      box.setAttribute('role', 'alertdialog');
      box.append(el('div', 'box-title', state.request.title || 'Confirm'));
      const body = el('div', 'box-body');
      body.append(el('span', 'box-icon warning', '!'), el('div', 'box-text', text));
      box.append(body);
      const finish = (value) => {
        state.confirm = null;
        cover.remove();
        resolve(value);
      };
      const buttons = el('div', 'box-buttons');
      const yes = button('Yes', () => finish(true), true);
      buttons.append(yes, button('No', () => finish(false), false));
      box.append(buttons);
      const cover = el('div', 'confirm-cover');
      cover.append(box);
      state.element.append(cover);
      state.confirm = finish;
      yes.focus();
    });
  }
}
