// The desktop is the browser viewport: each window a positioned box, top-level
// windows in z-order, child windows inside their parent. What a box shows
// depends on what it gets: a page, a tree control, or 3-D frames.

import {PageView} from './page_view.js';
import {TreeControl} from './tree_control.js';
import {DeviceView} from './device_view.js';
import {send} from './net.js';

// The window class the 3-D device draws in. Its canvas and WebGL pipeline are
// made when the window appears (hidden, at start), so that a model's first
// frame does not wait for a software GL to compile its shaders.
const DEVICE_WINDOW_CLASS = 'korvel_engine_v1 DirectX';

export class Desktop {
  constructor(element) {
    this.element = element;
    this.windows = new Map();  // hwnd -> {view, box, page, tree, device}
    this.zOrder = [];
    this.focus = 0;  // the window keys go to
  }

  reset() {
    this.windows.clear();
    this.element.replaceChildren();
    this.zOrder = [];
    this.focus = 0;
  }

  setFocus(hwnd) {
    this.focus = hwnd;
    for (const [id, entry] of this.windows) entry.box.classList.toggle('focused', id === hwnd);
  }

  entry(hwnd) {
    let entry = this.windows.get(hwnd);
    if (!entry) {
      const box = document.createElement('div');
      box.className = 'window';
      box.dataset.hwnd = hwnd;
      entry = {view: null, box, page: null, tree: null, device: null};
      this.windows.set(hwnd, entry);
    }
    return entry;
  }

  setWindow(view) {
    const entry = this.entry(view.window);
    entry.view = view;
    const box = entry.box;
    box.dataset.class = view.class;
    const parent = view.parent ? this.windows.get(view.parent) : null;
    const [left, top, right, bottom] = view.rect;
    const originX = parent && parent.view ? parent.view.rect[0] : 0;
    const originY = parent && parent.view ? parent.view.rect[1] : 0;
    box.style.left = `${left - originX}px`;
    box.style.top = `${top - originY}px`;
    box.style.width = `${Math.max(right - left, 0)}px`;
    box.style.height = `${Math.max(bottom - top, 0)}px`;
    box.hidden = !view.visible;
    const container = parent ? parent.box : this.element;
    if (box.parentNode !== container) container.append(box);
    if (view.class === 'SysTreeView32' && !entry.tree) {
      entry.tree = new TreeControl(box, view.window, (hwnd) => this.setFocus(hwnd));
    }
    if (view.class === DEVICE_WINDOW_CLASS && !entry.device) {
      entry.device = new DeviceView(box, view.window);
    }
    // Children placed before their parent arrived move in now.
    for (const [, other] of this.windows) {
      if (other.view && other.view.parent === view.window && other.box.parentNode !== box) {
        this.setWindow(other.view);
      }
    }
    this.applyZOrder();
  }

  removeWindow(hwnd) {
    const entry = this.windows.get(hwnd);
    if (!entry) return;
    entry.box.remove();
    this.windows.delete(hwnd);
    if (this.focus === hwnd) this.focus = 0;
  }

  setZOrder(order) {
    this.zOrder = order;
    this.applyZOrder();
  }

  applyZOrder() {
    const count = this.zOrder.length;
    this.zOrder.forEach((hwnd, index) => {
      const entry = this.windows.get(hwnd);
      if (entry) entry.box.style.zIndex = String(count - index);
    });
  }

  page(hwnd) {
    const entry = this.entry(hwnd);
    if (!entry.page) {
      entry.page = new PageView(entry.box, hwnd, (id) => this.setFocus(id));
      entry.box.classList.add('host');
      const close = document.createElement('button');
      close.className = 'close-control';
      close.type = 'button';
      close.title = 'Close korvel';
      close.setAttribute('aria-label', 'Close korvel');
      close.addEventListener('pointerdown', (event) => event.stopPropagation());
      close.addEventListener('click', () => send({type: 'close', window: hwnd}));
      entry.box.append(close);
      if (!this.focus) this.setFocus(hwnd);
    }
    return entry.page;
  }

  tree(hwnd) {
    const entry = this.windows.get(hwnd);
    return entry ? entry.tree : null;
  }

  device(hwnd) {
    const entry = this.windows.get(hwnd);
    if (!entry) return null;
    if (!entry.device) entry.device = new DeviceView(entry.box, hwnd);
    return entry.device;
  }
}
