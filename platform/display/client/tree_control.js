// The tree control: items in the order they were inserted, expand buttons and
// lines, the caret item highlighted and kept in view, the label editor.
// Mouse: a click selects, a double click or the button expands or collapses,
// a click on the selected label edits it. Keys: arrows, +, -, Enter, F2,
// Escape. Every key also reaches the control as a key press.

import {send} from './net.js';
import {VK, virtualKey} from './keys.js';

const kEditDelayMs = 450;  // a second click within this is a double click, not an edit

// Makes parent's children the nodes, in order, moving only what is out of place.
function syncChildren(parent, nodes) {
  nodes.forEach((node, index) => {
    const at = parent.children[index];
    if (at !== node) parent.insertBefore(node, at || null);
  });
  while (parent.children.length > nodes.length) parent.lastElementChild.remove();
}

export class TreeControl {
  constructor(windowBox, hwnd, onFocus) {
    this.hwnd = hwnd;
    this.items = new Map();  // item -> view
    this.children = new Map();  // parent (0 for the root level) -> [item]
    this.caret = 0;
    this.edit = null;  // {item, text}
    this.element = document.createElement('div');
    this.element.className = 'tree-control';
    this.element.tabIndex = 0;
    this.list = document.createElement('ul');
    this.list.className = 'tree-level tree-root';
    this.element.append(this.list);
    windowBox.append(this.element);
    this.editTimer = 0;
    this.rows = new Map();  // item -> its row's elements
    this.element.addEventListener('pointerdown', () => onFocus(this.hwnd));
  }

  setItem(view) {
    const known = this.items.has(view.item);
    this.items.set(view.item, view);
    if (!known) {
      const siblings = this.children.get(view.parent) || [];
      const after = view.previous ? siblings.indexOf(view.previous) : -1;
      siblings.splice(after + 1, 0, view.item);
      this.children.set(view.parent, siblings);
    }
    this.render();
  }

  setCaret(item) {
    this.caret = item;
    this.render();
    const row = this.rows.get(item);
    if (row && row.li.isConnected) row.line.scrollIntoView({block: 'nearest'});
  }

  setEdit(item, text) {
    this.edit = item ? {item, text} : null;
    this.render();
    if (this.edit) {
      const input = this.element.querySelector('.tree-edit');
      input.focus();
      input.select();
    } else if (document.activeElement === document.body) {
      this.element.focus();
    }
  }

  action(item, action, text) {
    send({type: 'tree', tree: this.hwnd, item, action, ...(text === undefined ? {} : {text})});
  }

  toggle(item) {
    const view = this.items.get(item);
    if (view && view.button) this.action(item, view.expanded ? 'collapse' : 'expand');
  }

  // Rows are made once per item and kept, so a click never lands on a row
  // that a change replaced under the pointer.
  render() {
    const active = document.activeElement;
    const editing = active && active.classList && active.classList.contains('tree-edit');
    if (editing && this.edit) return;  // typing is never disturbed; the editor's end re-renders
    syncChildren(this.list, this.renderLevel(0));
  }

  renderLevel(parent) {
    return (this.children.get(parent) || []).map((item, index, siblings) => {
      const view = this.items.get(item);
      const row = this.rowFor(item);
      row.li.classList.toggle('last', index === siblings.length - 1);
      row.button.className = view.button ?
          (view.expanded ? 'tree-button expanded' : 'tree-button') : 'tree-button none';
      row.label.classList.toggle('selected', item === this.caret);
      if (row.label.textContent !== view.text) row.label.textContent = view.text;
      row.label.title = view.text;
      const editing = this.edit && this.edit.item === item;
      row.label.hidden = !!editing;
      if (row.input) row.input.remove();
      row.input = editing ? this.editor(item) : null;
      if (row.input) row.line.append(row.input);
      if (view.expanded) {
        syncChildren(row.level, this.renderLevel(item));
        if (!row.level.parentNode) row.li.append(row.level);
      } else if (row.level.parentNode) {
        row.level.remove();
      }
      return row.li;
    });
  }

  rowFor(item) {
    let row = this.rows.get(item);
    if (row) return row;
    const li = document.createElement('li');
    li.className = 'tree-item';
    li.dataset.item = item;
    const line = document.createElement('div');
    line.className = 'tree-row';
    const button = document.createElement('span');
    button.addEventListener('click', (event) => {
      event.stopPropagation();
      this.toggle(item);
    });
    const label = document.createElement('span');
    label.className = 'tree-label';
    label.addEventListener('click', (event) => this.labelClick(event, item));
    label.addEventListener('dblclick', () => {
      clearTimeout(this.editTimer);
      this.toggle(item);
    });
    line.append(button, label);
    li.append(line);
    const level = document.createElement('ul');
    level.className = 'tree-level';
    row = {li, line, button, label, level, input: null};
    this.rows.set(item, row);
    return row;
  }

  labelClick(event, item) {
    clearTimeout(this.editTimer);
    if (event.detail > 1) return;
    if (item === this.caret) {
      this.editTimer = setTimeout(() => this.action(item, 'begin_edit'), kEditDelayMs);
    } else {
      this.action(item, 'select');
    }
  }

  editor(item) {
    const input = document.createElement('input');
    input.className = 'tree-edit';
    input.value = this.edit.text;
    input.maxLength = 4096;
    let ended = false;
    const end = (action) => {
      if (ended) return;
      ended = true;
      this.action(item, action, action === 'end_edit' ? input.value : undefined);
      this.element.focus();
    };
    input.addEventListener('keydown', (event) => {
      event.stopPropagation();
      if (event.key === 'Enter') end('end_edit');
      if (event.key === 'Escape') end('cancel_edit');
    });
    input.addEventListener('blur', () => end('end_edit'));
    input.addEventListener('pointerdown', (event) => event.stopPropagation());
    return input;
  }

  visibleItems(parent = 0, out = []) {
    for (const item of this.children.get(parent) || []) {
      out.push(item);
      if (this.items.get(item).expanded) this.visibleItems(item, out);
    }
    return out;
  }

  // A key pressed while the control has the focus; true when it was taken.
  key(event, down, mods) {
    const vk = virtualKey(event);
    if (vk) send({type: 'key', window: this.hwnd, vk, down, mods});
    if (!down) return vk !== 0;
    const visible = this.visibleItems();
    const at = visible.indexOf(this.caret);
    const view = this.items.get(this.caret);
    const select = (item) => item && item !== this.caret && this.action(item, 'select');
    switch (vk) {
      case VK.UP: select(visible[Math.max(at - 1, 0)]); break;
      case VK.DOWN: select(visible[at < 0 ? 0 : Math.min(at + 1, visible.length - 1)]); break;
      case VK.HOME: select(visible[0]); break;
      case VK.END: select(visible[visible.length - 1]); break;
      case VK.RIGHT:
        if (view && view.button && !view.expanded) this.action(this.caret, 'expand');
        else if (view && view.expanded) select((this.children.get(this.caret) || [])[0]);
        break;
      case VK.LEFT:
        if (view && view.expanded) this.action(this.caret, 'collapse');
        else if (view && view.parent) select(view.parent);
        break;
      case VK.ADD: case 0xbb:
        if (view && !view.expanded) this.action(this.caret, 'expand');
        break;
      case VK.SUBTRACT: case 0xbd:
        if (view && view.expanded) this.action(this.caret, 'collapse');
        break;
      case VK.RETURN:
        if (view) this.toggle(this.caret);
        break;
      default:
        break;
    }
    return vk !== 0;
  }
}
