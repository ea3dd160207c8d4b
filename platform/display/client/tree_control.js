// The tree control: items in the order they were inserted, expand buttons and
// lines, the caret item highlighted and kept in view, the label editor.
// Mouse: a click selects, a double click or the button expands or collapses,
// a click on the selected label edits it. Keys: arrows, +, -, Enter, F2,
// Escape. Every key also reaches the control as a key press.

import {send} from './net.js';
import {VK, virtualKey} from './keys.js';

const kEditDelayMs = 450;  // a second click within this is a double click, not an edit

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
    this.rows = new Map();  // item -> li
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
    if (row) row.querySelector(':scope > .tree-row').scrollIntoView({block: 'nearest'});
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

  render() {
    this.rows = new Map();
    const active = document.activeElement;
    const editing = active && active.classList && active.classList.contains('tree-edit');
    if (editing && this.edit) return;  // typing is never disturbed; the editor's end re-renders
    this.list.replaceChildren(...this.renderLevel(0));
  }

  renderLevel(parent) {
    return (this.children.get(parent) || []).map((item, index, siblings) => {
      const view = this.items.get(item);
      const li = document.createElement('li');
      li.className = 'tree-item';
      if (index === siblings.length - 1) li.classList.add('last');
      li.dataset.item = item;
      const row = document.createElement('div');
      row.className = 'tree-row';
      const button = document.createElement('span');
      button.className = view.button ? (view.expanded ? 'tree-button expanded' : 'tree-button') :
          'tree-button none';
      button.addEventListener('click', (event) => {
        event.stopPropagation();
        this.toggle(item);
      });
      row.append(button);
      if (this.edit && this.edit.item === item) {
        row.append(this.editor(item));
      } else {
        const label = document.createElement('span');
        label.className = 'tree-label';
        if (item === this.caret) label.classList.add('selected');
        label.textContent = view.text;
        label.title = view.text;
        label.addEventListener('click', (event) => this.labelClick(event, item));
        label.addEventListener('dblclick', () => {
          clearTimeout(this.editTimer);
          this.toggle(item);
        });
        row.append(label);
      }
      li.append(row);
      if (view.expanded) {
        const level = document.createElement('ul');
        level.className = 'tree-level';
        level.append(...this.renderLevel(item));
        li.append(level);
      }
      this.rows.set(item, li);
      return li;
    });
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
