// A window the 3-D device draws into: a canvas that replays its frames with
// the device replay module, fed with the resources' bytes from /device/<id>.
// After each frame drawn, korvel hears which one it was, so that its device
// presents at the pace the browser draws.

import {send} from './net.js';

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
    windowBox.append(this.canvas);
    this.replay = null;
    this.work = loadReplay().then((Replay) => {
      if (Replay) this.replay = new Replay(this.canvas);
    });
    this.newest = null;
    this.drawing = false;
  }

  resourceCreated(resource) {
    const bytes = fetch(`/device/${resource.id}`)
        .then((response) => (response.ok ? response.arrayBuffer() : new ArrayBuffer(0)));
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
