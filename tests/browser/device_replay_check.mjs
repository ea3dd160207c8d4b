// The WebGL2 replay of device frames, in headless Chromium, as one journey:
// clear colour at the corners, texels where the fixed pipeline puts them,
// layouts by stride, 16-bit index 0xFFFF drawn as a vertex, depth order,
// draws reaching past their buffers skipped, recovery from a lost context.
// Exits 77 (skipped) when playwright-core is not installed.
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { createRequire } from 'node:module';

const here = path.dirname(fileURLToPath(import.meta.url));
const root = path.resolve(here, '../..');
let chromium;
try {
  ({ chromium } = createRequire(import.meta.url)('playwright-core'));
} catch {
  console.log('playwright-core is not installed: skipped');
  process.exit(77);
}

const files = {
  '/': path.join(here, 'device_replay_page.html'),
  '/client/device_replay.js': path.join(root, 'platform/display/client/device_replay.js'),
};
const server = http.createServer((request, response) => {
  const file = files[request.url];
  if (!file) return response.writeHead(404).end();  // the favicon
  const type = file.endsWith('.js') ? 'text/javascript' : 'text/html';
  response.writeHead(200, { 'Content-Type': type }).end(fs.readFileSync(file));
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));

const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--ignore-gpu-blocklist'],
});
let failures = 0;
function check(what, actual, expected) {
  const same = JSON.stringify(actual) === JSON.stringify(expected);
  if (!same) {
    ++failures;
    console.log(`FAIL ${what}: got ${JSON.stringify(actual)}, want ${JSON.stringify(expected)}`);
  }
}

try {
  const page = await browser.newPage();
  page.on('console', (message) => console.log('page:', message.text()));
  await page.goto(`http://127.0.0.1:${server.address().port}/`);
  await page.waitForFunction(() => window.ready);

  const results = await page.evaluate(() => {
    const replay = window.replay;
    const identity = [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1];
    const state = (extra = {}) => ({
      viewport: [0, 0, 64, 64, 0, 1], world: identity, view: identity, projection: identity,
      cull_mode: 1, lighting: false, z_enable: true, alpha_blend: false, ...extra,
    });
    const floats = (values) => new Float32Array(values).buffer;
    const u16 = (values) => new Uint16Array(values).buffer;
    // A quad in a strip: corners top-left, top-right, bottom-left, bottom-right.
    const corners = [[-0.5, 0.5], [0.5, 0.5], [-0.5, -0.5], [0.5, -0.5]];
    const uv = [[0, 0], [1, 0], [0, 1], [1, 1]];
    const quad36 = (z) => floats(corners.flatMap(([x, y], i) => [x, y, z, 0, 0, 1, 0, ...uv[i]]));
    const stride36 = [{ offset: 0, type: 2, usage: 0, usage_index: 0 },
                      { offset: 12, type: 2, usage: 3, usage_index: 0 },
                      { offset: 28, type: 1, usage: 5, usage_index: 0 }];
    const positionOnly = [{ offset: 0, type: 2, usage: 0, usage_index: 0 }];
    const resource = (id, kind, bytes, extra = {}) =>
      replay.resourceCreated({ id, kind, size: bytes.byteLength, ...extra }, bytes);

    // Texels: red, green / blue-green, white.
    resource(1, 'texture', new Uint8Array([255, 0, 0, 255, 0, 255, 0, 255,
                                           0, 255, 255, 255, 255, 255, 255, 255]).buffer,
             { width: 2, height: 2 });
    resource(2, 'vertex_buffer', quad36(0.5));
    resource(3, 'index_buffer', u16([0, 1, 2, 3]), { index_bits: 16 });
    // Stride 40: position only, so every pixel samples texel (0, 0).
    const quad40 = new Float32Array(40);
    corners.forEach(([x, y], i) => quad40.set([x, y, 0.5], i * 10));
    resource(4, 'vertex_buffer', quad40.buffer);
    // Stride 120: FLOAT4 position whose w of 2 halves the quad.
    const quad120 = new Float32Array(120);
    corners.forEach(([x, y], i) => quad120.set([x, y, 0.5, 2], i * 30));
    resource(5, 'vertex_buffer', quad120.buffer);
    const stride120 = [{ offset: 0, type: 3, usage: 0, usage_index: 0 }];
    // 65536 vertices: index 0xFFFF is a vertex, never a strip restart.
    const many = new Float32Array(65536 * 3);
    many.set([-0.5, 0.5, 0.5, 0.5, 0.5, 0.5, -0.5, -0.5, 0.5]);
    many.set([0.5, -0.5, 0.5], 65535 * 3);
    resource(6, 'vertex_buffer', many.buffer);
    resource(7, 'index_buffer', u16([0, 1, 2, 0xffff]), { index_bits: 16 });
    // An index past the four vertices of buffer 2.
    resource(8, 'index_buffer', u16([0, 1, 2, 10]), { index_bits: 16 });

    const blue = { draws_before: 0, x: 0, y: 0, width: 64, height: 64, target: true,
                   depth: true, color: 0xff0000ff, depth_value: 1 };
    const draw = (vertex_buffer, index_buffer, texture, extra = {}) => ({
      vertex_buffer, stride: 36, declaration: 0, index_buffer, texture, base_vertex: 0,
      min_index: 0, vertex_count: 4, start_index: 0, primitive_count: 2, state: 0, ...extra });
    const frame = (draws, declarations = [stride36], states = [state()]) =>
      ({ number: 1, width: 64, height: 64, clears: [blue], states, declarations, draws });
    const out = {};
    const sample = () => [pixel(0, 0), pixel(63, 63), pixel(20, 20), pixel(43, 20),
                          pixel(20, 43), pixel(43, 43), pixel(31, 8)];

    out.textured = [replay.drawFrame(frame([draw(2, 3, 1)])), ...sample()];
    out.untextured = [replay.drawFrame(frame([draw(2, 3, 0)])), pixel(20, 20), pixel(43, 43)];
    out.positionOnly = (replay.drawFrame(frame([draw(4, 3, 1, { stride: 40 })], [positionOnly])),
                        [pixel(20, 20), pixel(43, 43)]);
    out.float4 = (replay.drawFrame(frame([draw(5, 3, 0, { stride: 120 })], [stride120])),
                  [pixel(20, 20), pixel(31, 31)]);
    out.noRestart = (replay.drawFrame(frame([draw(6, 7, 0, { stride: 12, vertex_count: 65536 })],
                                            [positionOnly])),
                     [pixel(20, 20), pixel(43, 43)]);
    out.pastBuffers = (replay.drawFrame(frame([draw(2, 8, 0), draw(2, 3, 0, { start_index: 1 }),
                                               draw(2, 3, 0, { primitive_count: 3 })])),
                       [pixel(20, 20), pixel(43, 43)]);
    // The far quad drawn after the near one stays behind it.
    resource(9, 'vertex_buffer', quad36(0.2));
    resource(10, 'texture', new Uint8Array([255, 255, 0, 255]).buffer, { width: 1, height: 1 });
    out.depth = (replay.drawFrame(frame([draw(9, 3, 10), draw(2, 3, 1)])), pixel(20, 20));
    // A negative base vertex: indices 4..7 read vertices 2..5, the quad after
    // two others; base -5 would read vertex -1, so that draw is skipped.
    const shifted = new Float32Array(6 * 9);
    shifted.set(new Float32Array(quad36(0.5)), 2 * 9);
    resource(11, 'vertex_buffer', shifted.buffer);
    resource(12, 'index_buffer', u16([4, 5, 6, 7]), { index_bits: 16 });
    out.negativeBase = (replay.drawFrame(frame([draw(11, 12, 1, { base_vertex: -2, min_index: 4 })])),
                        [pixel(20, 20), pixel(43, 43)]);
    out.belowZero = (replay.drawFrame(frame([draw(11, 12, 1, { base_vertex: -5, min_index: 4 })])),
                     pixel(20, 20));
    // A 3x1 texture (not a power of two) wraps: u runs 0..2 across the quad.
    resource(13, 'texture', new Uint8Array([255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255]).buffer,
             { width: 3, height: 1 });
    resource(14, 'vertex_buffer', floats(corners.flatMap(([x, y], i) =>
      [x, y, 0.5, 0, 0, 1, 0, uv[i][0] * 2, uv[i][1]])));
    out.npotWrap = (replay.drawFrame(frame([draw(14, 3, 13)])),
                    [pixel(20, 30), pixel(38, 30), pixel(44, 30)]);
    return out;
  });

  const [blue, red, green, cyan, white, yellow] =
      [[0, 0, 255], [255, 0, 0], [0, 255, 0], [0, 255, 255], [255, 255, 255], [255, 255, 0]];
  check('textured frame', results.textured, [true, blue, blue, red, green, cyan, white, blue]);
  check('untextured draws white', results.untextured, [true, white, white]);
  check('position-only layout samples texel (0, 0)', results.positionOnly, [red, red]);
  check('FLOAT4 position divides by w', results.float4, [blue, white]);
  check('index 0xFFFF is a vertex', results.noRestart, [white, white]);
  check('draws past their buffers skipped', results.pastBuffers, [blue, blue]);
  check('depth test keeps the nearer quad', results.depth, yellow);
  check('negative base vertex', results.negativeBase, [red, white]);
  check('a base vertex reading below vertex 0 is skipped', results.belowZero, blue);
  check('a 3x1 texture wraps', results.npotWrap, [red, green, [0, 0, 255]]);

  // A lost context draws nothing; the first frame after it comes back draws.
  const recovered = await page.evaluate(async () => {
    const replay = window.replay;
    const lose = replay.gl.getExtension('WEBGL_lose_context');
    const identity = [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1];
    const frame = { number: 2, width: 64, height: 64,
      clears: [{ draws_before: 0, x: 0, y: 0, width: 64, height: 64, target: true, depth: true,
                 color: 0xff0000ff, depth_value: 1 }],
      states: [{ viewport: [0, 0, 64, 64, 0, 1], world: identity, view: identity,
                 projection: identity, cull_mode: 1, lighting: false, z_enable: true,
                 alpha_blend: false }],
      declarations: [[{ offset: 0, type: 2, usage: 0, usage_index: 0 },
                      { offset: 28, type: 1, usage: 5, usage_index: 0 }]],
      draws: [{ vertex_buffer: 2, stride: 36, declaration: 0, index_buffer: 3, texture: 1,
                base_vertex: 0, min_index: 0, vertex_count: 4, start_index: 0,
                primitive_count: 2, state: 0 }] };
    const event = (name) => new Promise((resolve) =>
      replay.canvas.addEventListener(name, resolve, { once: true }));
    const lost = event('webglcontextlost');
    lose.loseContext();
    await lost;
    await new Promise((resolve) => setTimeout(resolve, 0));  // restoring is allowed after the event
    const whileLost = replay.drawFrame(frame);
    const restored = event('webglcontextrestored');
    lose.restoreContext();
    await restored;
    return [whileLost, replay.drawFrame(frame), pixel(20, 20), pixel(0, 0)];
  });
  check('context loss', recovered, [false, true, red, blue]);
} finally {
  await browser.close();
  server.close();
}
if (failures) process.exit(1);
console.log('device replay: all checks passed');
