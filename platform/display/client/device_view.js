// A window the 3-D device draws into: a canvas that replays its frames with
// the device replay module, fed with the resources' bytes from /device/<id>.
// After each frame drawn, korvel hears which one it was, so that its device
// presents at the pace the browser draws.

import {send} from './net.js';

// Resources asked for in one /devices request; the server takes 256.
const MAX_BATCH = 256;

// The resources' bytes, from one request: each is its length (8 bytes,
// little endian) and its bytes. Empty buffers when korvel could not answer.
async function fetchResources(ids) {
  const empty = () => ids.map(() => new ArrayBuffer(0));
  let answer;
  try {
    const response = await fetch(`/devices?ids=${ids.join(',')}`);
    if (!response.ok) return empty();
    answer = await response.arrayBuffer();
  } catch (error) {
    return empty();
  }
  const view = new DataView(answer);
  const buffers = [];
  let at = 0;
  for (let i = 0; i < ids.length; ++i) {
    if (at + 8 > answer.byteLength) return empty();
    const length = view.getUint32(at, true) + view.getUint32(at + 4, true) * 2 ** 32;
    at += 8;
    if (at + length > answer.byteLength) return empty();
    buffers.push(answer.slice(at, at + length));  // its own buffer: typed views need alignment
    at += length;
  }
  return buffers;
}

let replayModule = null;
function loadReplay() {
  if (replayModule === null) {
    replayModule = import('./device_replay.js')
        .then((module) => module.DeviceReplay)
        .catch(() => null);
  }
  return replayModule;
}

export class DeviceView {
  constructor(windowBox, hwnd) {
    this.hwnd = hwnd;
    this.canvas = document.createElement('canvas');
    this.canvas.className = 'device-view';
    windowBox.classList.add('device-window');
    windowBox.append(this.canvas);
    this.replay = null;
    this.work = loadReplay().then((Replay) => {
      if (Replay) this.replay = new Replay(this.canvas);
    });
    this.newest = null;
    this.drawing = false;
    this.batch = null;
  }

  // Resources announced together are fetched with one request: a model
  // makes dozens of small buffers at once, and each request would cost a
  // round trip through a busy browser.
  fetchLater(id) {
    if (!this.batch) {
      const batch = {ids: []};
      batch.result = new Promise((resolve) => {
        batch.send = resolve;
      }).then(() => fetchResources(batch.ids));
      this.batch = batch;
      setTimeout(() => this.sendBatch(), 0);
    }
    const batch = this.batch;
    const index = batch.ids.length;
    batch.ids.push(id);
    if (batch.ids.length >= MAX_BATCH) this.sendBatch();
    return batch.result.then((buffers) => buffers[index]);
  }

  sendBatch() {
    if (!this.batch) return;
    this.batch.send();
    this.batch = null;
  }

  resourceCreated(resource) {
    const bytes = this.fetchLater(resource.id);
    this.work = Promise.all([this.work, bytes]).then(([, buffer]) => {
      if (this.replay) this.replay.resourceCreated(resource, buffer);
    });
  }

  resourceReleased(id) {
    this.work = this.work.then(() => {
      if (this.replay) this.replay.resourceReleased(id);
    });
  }

  // Only the newest frame is drawn; older ones that wait are dropped.
  frame(frame) {
    this.sendBatch();  // the frame needs them now
    this.newest = frame;
    if (this.drawing) return;
    this.drawing = true;
    this.work.then(() => requestAnimationFrame(() => {
      this.drawing = false;
      const drawn = this.newest;
      this.newest = null;
      if (!drawn) return;
      if (this.replay) {
        try {
          this.replay.drawFrame(drawn);
        } catch (error) {
          console.error('korvel: a frame could not be drawn', error);
        }
      }
      send({type: 'frame_taken', window: this.hwnd, number: drawn.number});
    }));
  }
}
