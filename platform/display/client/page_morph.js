// Brings a shown page in line with the HTML korvel exported, keeping every
// element whose key (data-korvel-key) stays, so that pictures, focus and
// scroll positions survive a change. A frame's page lives in a shadow root
// of its korvel-frame element, with its own style sheets and layout.

import {adoptSheets} from './page_sheets.js';

const dropped = new Set(['script', 'iframe', 'object', 'embed', 'base', 'meta', 'noscript']);

function mirrorName(source) {
  const name = source.localName;
  if (name === 'korvel-html' || name === 'korvel-head' || name === 'korvel-body') {
    return name.slice(7);
  }
  return name;
}

function allowedAttribute(name) {
  return !name.startsWith('on') && !['src', 'href', 'srcset', 'action', 'formaction', 'xlink:href',
    'autofocus'].includes(name);
}

export class PageMorph {
  constructor(shadowRoot, onLayoutChange) {
    this.root = shadowRoot;
    this.onLayoutChange = onLayoutChange;
    this.elements = new Map();  // key -> mirrored element
    this.resources = {};
  }

  // Whether the page and every frame's page have their style sheets.
  styled() {
    if (this.root.korvelStyled === false) return false;
    for (const element of this.elements.values()) {
      if (element.shadowRoot && element.shadowRoot.korvelStyled === false) return false;
    }
    return true;
  }

  apply(html, resources) {
    this.resources = resources || {};
    const source = new DOMParser().parseFromString(html, 'text/html').documentElement;
    const previous = this.elements;
    this.elements = new Map();
    this.morphRoot(this.root, source, previous);
  }

  // A document (the page or a frame's page) into a shadow root.
  morphRoot(shadowRoot, source, previous) {
    let mirrored = shadowRoot.firstElementChild;
    const key = source.getAttribute('data-korvel-key');
    if (!mirrored || mirrored.getAttribute('data-korvel-key') !== key) {
      mirrored = previous.get(key) || document.createElement('html');
      shadowRoot.replaceChildren(mirrored);
    }
    this.morphElement(mirrored, source, previous);
    const sheets = [];
    for (const link of mirrored.querySelectorAll('link[data-korvel-url]')) {
      const url = link.getAttribute('data-korvel-url');
      const id = this.resources[url];
      if (id && (link.getAttribute('rel') || '').toLowerCase().includes('stylesheet')) {
        sheets.push({id, url});
      }
    }
    adoptSheets(shadowRoot, sheets, this.onLayoutChange);
  }

  morphElement(target, source, previous) {
    this.elements.set(source.getAttribute('data-korvel-key'), target);
    this.morphAttributes(target, source);
    if (source.localName === 'korvel-frame') {
      const page = source.firstElementChild;
      const shadow = target.shadowRoot || target.attachShadow({mode: 'open'});
      if (page) {
        this.morphRoot(shadow, page, previous);
      } else {
        shadow.replaceChildren();
      }
      return;
    }
    if (source.localName === 'style') {
      if (target.textContent !== source.textContent) target.textContent = source.textContent;
      return;
    }
    let position = 0;
    for (const node of source.childNodes) {
      if (node.nodeType === Node.TEXT_NODE) {
        this.place(target, position++, () => document.createTextNode(node.data), (existing) =>
          existing.nodeType === Node.TEXT_NODE && (existing.data === node.data ||
            ((existing.data = node.data), true)));
      } else if (node.nodeType === Node.ELEMENT_NODE && !dropped.has(node.localName)) {
        const key = node.getAttribute('data-korvel-key');
        const name = mirrorName(node);
        const reuse = previous.get(key);
        const usable = reuse && reuse.localName === name ? reuse : null;
        const element = this.place(target, position++, () => usable || document.createElement(name),
            (existing) => existing === usable && usable !== null);
        this.morphElement(element, node, previous);
      }
    }
    while (target.childNodes.length > position) target.lastChild.remove();
  }

  // Makes the child at position the one fits accepts, else make()'s node.
  place(parent, position, make, fits) {
    const existing = parent.childNodes[position];
    if (existing && fits(existing)) return existing;
    const node = make();
    parent.insertBefore(node, existing || null);
    return node;
  }

  morphAttributes(target, source) {
    const wanted = new Map();
    for (const attribute of source.attributes) {
      if (allowedAttribute(attribute.name)) wanted.set(attribute.name, attribute.value);
    }
    const url = source.getAttribute('data-korvel-url');
    if (url !== null && source.localName === 'img') {
      const id = this.resources[url];
      if (id) wanted.set('src', `/data/${id}`);
    }
    for (const attribute of [...target.attributes]) {
      if (!wanted.has(attribute.name)) target.removeAttribute(attribute.name);
    }
    for (const [name, value] of wanted) {
      if (target.getAttribute(name) !== value) {
        try {
          target.setAttribute(name, value);
        } catch (error) {
          // A name the browser refuses stays off.
        }
      }
    }
    if (target.localName === 'img' && !target.complete) {
      target.addEventListener('load', this.onLayoutChange, {once: true});
    }
  }
}
