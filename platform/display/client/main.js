// The client: one event stream from korvel (a snapshot, then changes) drawn
// on the desktop; the user's keys and the viewport's size sent back.

import {Desktop} from './desktop.js';
import {ModalBoxes} from './modal_boxes.js';
import {send, modifiers} from './net.js';
import {virtualKey} from './keys.js';

const desktop = new Desktop(document.getElementById('desktop'));
const modals = new ModalBoxes(document.getElementById('modals'));
const status = document.getElementById('status');
let events = null;

function showStatus(text, ended) {
  status.textContent = text;
  status.hidden = !text;
  status.classList.toggle('ended', !!ended);
}

function applyItem(view) {
  const tree = desktop.tree(view.tree);
  if (tree) tree.setItem(view);
}

function applySnapshot(snapshot) {
  desktop.reset();
  modals.reset();
  for (const view of snapshot.windows) desktop.setWindow(view);
  desktop.setZOrder(snapshot.z_order);
  for (const view of snapshot.items) applyItem(view);
  for (const caret of snapshot.carets) desktop.tree(caret.tree)?.setCaret(caret.item);
  for (const edit of snapshot.edits) desktop.tree(edit.tree)?.setEdit(edit.item, edit.text);
  for (const page of snapshot.pages) desktop.page(page.window).show(page.html, page.resources, page.version);
  for (const owned of snapshot.device_resources) {
    desktop.device(owned.window)?.resourceCreated(owned.resource);
  }
  for (const shown of snapshot.frames) desktop.device(shown.window)?.frame(shown.frame);
  for (const request of snapshot.modals) modals.add(request);
  if (snapshot.ended !== undefined) ended(snapshot.ended);
}

function ended(code) {
  showStatus(`korvel has ended${code ? ` (exit code ${code})` : ''}. You can close this tab.`, true);
  document.title = 'korvel (ended)';
  document.body.classList.add('ended');
  // Windows korvel never destroyed (its popups) went with it.
  desktop.reset();
  modals.reset();
  if (events) events.close();
}

const handlers = {
  snapshot: applySnapshot,
  window: (event) => desktop.setWindow(event.view),
  window_gone: (event) => desktop.removeWindow(event.window),
  z_order: (event) => desktop.setZOrder(event.z_order),
  tree_item: (event) => applyItem(event.item),
  tree_caret: (event) => desktop.tree(event.tree)?.setCaret(event.item),
  tree_edit: (event) => desktop.tree(event.tree)?.setEdit(event.item, event.text),
  modal_open: (event) => modals.add(event.request),
  modal_close: (event) => modals.close(event.id),
  page: (event) => desktop.page(event.window).show(event.html, event.resources, event.version),
  device_resource: (event) => desktop.device(event.window)?.resourceCreated(event.resource),
  device_release: (event) => desktop.device(event.window)?.resourceReleased(event.id),
  frame: (event) => desktop.device(event.window)?.frame(event.frame),
  ended: (event) => ended(event.code),
};

function sendDesktopSize() {
  send({type: 'desktop', width: Math.max(window.innerWidth, 1),
    height: Math.max(window.innerHeight, 1)});
}

function connect() {
  events = new EventSource('/events');
  events.onopen = () => {
    showStatus('');
    sendDesktopSize();
  };
  events.onmessage = (message) => {
    const event = JSON.parse(message.data);
    const handler = handlers[event.type];
    if (handler) handler(event);
  };
  events.onerror = () => {
    if (document.body.classList.contains('ended')) return;
    showStatus('Waiting for korvel…');
  };
}

function key(event) {
  const down = event.type === 'keydown';
  if (modals.key(event)) return;
  const target = event.target;
  if (target && (target.tagName === 'INPUT' || target.tagName === 'SELECT')) return;
  const tree = desktop.tree(desktop.focus);
  if (tree) {
    if (tree.key(event, down, modifiers(event))) event.preventDefault();
    return;
  }
  const vk = virtualKey(event);
  if (!vk || !desktop.focus) return;
  event.preventDefault();
  send({type: 'key', window: desktop.focus, vk, down, mods: modifiers(event)});
}

// Modifier keys released while the tab was in the background would stay down.
function resendModifiers() {
  if (desktop.focus) {
    send({type: 'modifiers', window: desktop.focus, ctrl: false, shift: false, alt: false});
  }
}

document.addEventListener('keydown', key);
document.addEventListener('keyup', key);
window.addEventListener('blur', resendModifiers);
window.addEventListener('focus', resendModifiers);
window.addEventListener('resize', sendDesktopSize);
connect();
