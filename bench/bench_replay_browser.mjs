// Frames per second of the device replay in headless Chromium (software
// WebGL) at 800x600: a frame of 200,000 triangles in 64 sub-meshes, against a
// frame that only clears, measured in the same run. Prints figures only.
// Needs playwright-core (exits 77 without it).
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { createRequire } from 'node:module';

const here = path.dirname(fileURLToPath(import.meta.url));
const root = path.resolve(here, '..');
let chromium;
try {
  ({ chromium } = createRequire(path.join(root, 'tests/browser/package.json'))('playwright-core'));
} catch {
  console.log('playwright-core is not installed: skipped');
  process.exit(77);
}
const files = {
  '/': path.join(root, 'tests/browser/device_replay_page.html'),
  '/client/device_replay.js': path.join(root, 'platform/display/client/device_replay.js'),
};
const server = http.createServer((request, response) => {
  const file = files[request.url];
  if (!file) return response.writeHead(404).end();
  response.writeHead(200, { 'Content-Type': file.endsWith('.js') ? 'text/javascript' : 'text/html' })
      .end(fs.readFileSync(file));
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--ignore-gpu-blocklist'],
});
try {
  const page = await browser.newPage();
  await page.goto(`http://127.0.0.1:${server.address().port}/`);
  await page.waitForFunction(() => window.ready);
  const figures = await page.evaluate(() => {
    const replay = window.replay;
    const submeshes = 64;
    const strip = Math.floor(200000 / submeshes) + 2;
    const identity = [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1];
    // A strip zigzagging across the viewport, 36-byte vertices.
    const draws = [];
    for (let s = 0; s < submeshes; ++s) {
      const vertices = new Float32Array(strip * 9);
      for (let i = 0; i < strip; ++i) {
        const x = -0.9 + 1.8 * Math.floor(i / 2) / (strip / 2);
        const y = -0.9 + 1.8 * s / submeshes + (i % 2) * 0.05;
        vertices.set([x, y, 0.5, 0, 0, 1, 0, x, y], i * 9);
      }
      const indices = new Uint16Array(strip).map((_, i) => i);
      replay.resourceCreated({ id: 100 + s, kind: 'vertex_buffer', size: vertices.byteLength },
                             vertices.buffer);
      replay.resourceCreated({ id: 200 + s, kind: 'index_buffer', size: indices.byteLength,
                               index_bits: 16 }, indices.buffer);
      draws.push({ vertex_buffer: 100 + s, stride: 36, declaration: 0, index_buffer: 200 + s,
                   texture: 1, base_vertex: 0, min_index: 0, vertex_count: strip,
                   start_index: 0, primitive_count: strip - 2, state: 0 });
    }
    const texels = new Uint8Array(256 * 256 * 4).map((_, i) => (i * 37) & 255);
    replay.resourceCreated({ id: 1, kind: 'texture', size: texels.length, width: 256,
                             height: 256 }, texels.buffer);
    const frame = (withDraws) => ({
      number: 1, width: 800, height: 600,
      clears: [{ draws_before: 0, x: 0, y: 0, width: 800, height: 600, target: true,
                 depth: true, color: 0xff0000ff, depth_value: 1 }],
      states: [{ viewport: [0, 0, 800, 600, 0, 1], world: identity, view: identity,
                 projection: identity, cull_mode: 1, lighting: false, z_enable: true,
                 alpha_blend: false }],
      declarations: [[{ offset: 0, type: 2, usage: 0, usage_index: 0 },
                      { offset: 28, type: 1, usage: 5, usage_index: 0 }]],
      draws: withDraws ? draws : [] });
    const rate = (f) => {
      const gl = replay.gl;
      const pixel = new Uint8Array(4);
      replay.drawFrame(f);
      gl.readPixels(0, 0, 1, 1, gl.RGBA, gl.UNSIGNED_BYTE, pixel);
      const start = performance.now();
      let frames = 0;
      while (performance.now() - start < 3000) {
        replay.drawFrame(f);
        gl.readPixels(0, 0, 1, 1, gl.RGBA, gl.UNSIGNED_BYTE, pixel);  // waits for the drawing
        ++frames;
      }
      return frames / ((performance.now() - start) / 1000);
    };
    return { model: rate(frame(true)), clearOnly: rate(frame(false)) };
  });
  console.log(`replay at 800x600, 200,000 triangles in 64 draws: ${figures.model.toFixed(1)} frames/s`);
  console.log(`reference, a frame that only clears: ${figures.clearOnly.toFixed(1)} frames/s`);
  console.log(`ratio: ${(figures.clearOnly / figures.model).toFixed(1)}x the time of a clear`);
} finally {
  await browser.close();
  server.close();
}
