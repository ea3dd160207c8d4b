// A host window's page: shown in a shadow root that fills the window, laid
// out by the browser, and reported back (each keyed element's content box
// relative to the view, whether it is visible, the page's minimum size) after
// every change and resize, at most once per animation frame. The pointer's
// actions go to the window system with the key of the element under it.

import {PageMorph} from './page_morph.js';
import {send, sendMove, modifiers} from './net.js';

function number(value) {
  return Number.parseFloat(value) || 0;
}

export class PageView {
  constructor(windowBox, hwnd, onFocus) {
    this.hwnd = hwnd;
    this.box = windowBox;
    this.element = document.createElement('div');
    this.element.className = 'page-view';
    windowBox.prepend(this.element);
    this.shadow = this.element.attachShadow({mode: 'open'});
    this.morph = new PageMorph(this.shadow, () => this.scheduleReport());
    this.reportPending = false;
    this.lastReport = '';
    new ResizeObserver(() => this.scheduleReport()).observe(this.element);
    this.listen(onFocus);
  }

  // A page of version: its layout is reported even when no box moved, since
  // korvel waits for the layout of each version before it paints.
  show(html, resources, version) {
    this.morph.apply(html, resources);
    this.version = version || 0;
    this.scheduleReport();
  }

  scheduleReport() {
    if (this.reportPending) return;
    this.reportPending = true;
    requestAnimationFrame(() => {
      this.reportPending = false;
      this.report();
    });
  }

  report() {
    if (!this.morph.styled()) return;  // the sheets' arrival reports again
    const origin = this.element.getBoundingClientRect();
    const boxes = [];
    for (const [key, element] of this.morph.elements) {
      if (!element.isConnected) continue;
      const rect = element.getBoundingClientRect();
      const style = getComputedStyle(element);
      const left = rect.left - origin.left + number(style.borderLeftWidth) + number(style.paddingLeft);
      const top = rect.top - origin.top + number(style.borderTopWidth) + number(style.paddingTop);
      const right = rect.right - origin.left - number(style.borderRightWidth) -
          number(style.paddingRight);
      const bottom = rect.bottom - origin.top - number(style.borderBottomWidth) -
          number(style.paddingBottom);
      const visible = element.checkVisibility ?
          element.checkVisibility({checkVisibilityCSS: true}) :
          element.getClientRects().length > 0;
      boxes.push([Number(key), Math.round(left), Math.round(top), Math.max(Math.round(right),
          Math.round(left)), Math.max(Math.round(bottom), Math.round(top)), visible]);
    }
    const root = this.shadow.firstElementChild;
    const minWidth = root ? Math.ceil(root.scrollWidth) : 0;
    const minHeight = root ? Math.ceil(root.scrollHeight) : 0;
    const report = {type: 'layout', window: this.hwnd, version: this.version, min_width: minWidth,
      min_height: minHeight, boxes};
    const text = JSON.stringify(report);
    if (text === this.lastReport) return;
    this.lastReport = text;
    send(report);
  }

  keyAt(event) {
    for (const node of event.composedPath()) {
      if (node === this.element) break;
      if (node.getAttribute && node.hasAttribute('data-korvel-key')) {
        return Number(node.getAttribute('data-korvel-key'));
      }
    }
    return 0;
  }

  mouse(event, action) {
    const input = {type: 'mouse', window: this.hwnd, action, x: Math.round(event.clientX),
      y: Math.round(event.clientY), key: this.keyAt(event), mods: modifiers(event)};
    if (action === 'move') {
      sendMove(input);
    } else {
      send(input);
    }
  }

  listen(onFocus) {
    const target = this.element;
    target.addEventListener('pointerdown', (event) => {
      if (event.button !== 0) return;
      event.preventDefault();
      onFocus(this.hwnd);
      target.setPointerCapture(event.pointerId);
      this.mouse(event, event.detail === 2 ? 'dblclick' : 'down');
    });
    target.addEventListener('pointerup', (event) => {
      if (event.button !== 0) return;
      this.mouse(event, 'up');
    });
    target.addEventListener('pointermove', (event) => this.mouse(event, 'move'));
    target.addEventListener('click', (event) => event.preventDefault());
  }
}
