// From the click on a texture's tree item to its picture decoded in the page,
// for a 256x256 and a 2048x2048 texture, median of 20 each, in headless
// Chromium. The time splits into korvel's share (the click's input, the
// texture decoded and encoded as PNG, the page exported and sent: click to
// the picture's request), the PNG's transfer, and the browser's decoding.
//
// The transport is judged against a reference measured in the same rounds:
// the same PNG bytes fetched and decoded by the page from a plain node HTTP
// server (no-store, as korvel answers), and the same bytes again from
// korvel's /data route. Goal: the click's transfer at most 10 ms above the
// reference's. KORVEL_BUILD_DIR names the build to measure, so that an
// earlier build can be run just before or after for the whole click.
// (Two korvels with a browser each, taking turns, were tried: the one started
// second came out a third slower even when both were the same build.)
// Prints figures only.
import {spawnSync} from 'node:child_process';
import http from 'node:http';
import {writeFileSync} from 'node:fs';
import {join} from 'node:path';
import {buildDir, startKorvel} from '../tests/browser/korvel_session.mjs';

const rounds = Number(process.env.KORVEL_BENCH_ROUNDS || 20);
const cli = join(buildDir, 'tools/cli/korvel-cli');
const transportGoal = 10;

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

// A 2048x2048 DXT5 texture (the format of the texture it replaces), opaque,
// with some variety in its colours.
function bigDds() {
  const side = 2048;
  const header = Buffer.alloc(128);
  header.write('DDS ', 0, 'latin1');
  header.writeUInt32LE(124, 4);
  header.writeUInt32LE(0x81007, 8);
  header.writeUInt32LE(side, 12);
  header.writeUInt32LE(side, 16);
  header.writeUInt32LE(side * side, 20);
  header.writeUInt32LE(32, 76);
  header.writeUInt32LE(4, 80);
  header.write('DXT5', 84, 'latin1');
  header.writeUInt32LE(0x1000, 108);
  const blocks = Buffer.alloc(side * side);
  for (let at = 0; at < blocks.length; at += 16) {
    blocks[at] = 255;  // alpha endpoints 255, 255: opaque
    blocks[at + 1] = 255;
    blocks.writeUInt16LE((at * 7) & 0xffff, at + 8);
    blocks.writeUInt16LE((at * 13) & 0xffff, at + 10);
    blocks.writeUInt32LE((0x1b1b1b1b ^ at) >>> 0, at + 12);
  }
  return Buffer.concat([header, blocks]);
}

// The reference server: whatever PNG bytes it was last given, under any path,
// on a kept-alive connection, as a small HTTP server would send them.
let referenceBytes = Buffer.alloc(0);
const reference = http.createServer((request, response) => {
  response.writeHead(200, {'Content-Type': 'image/png', 'Content-Length': referenceBytes.length,
    'Cache-Control': 'no-store', 'Timing-Allow-Origin': '*'});
  response.end(referenceBytes);
});
await new Promise((resolve) => reference.listen(0, '127.0.0.1', resolve));
const referenceOrigin = `http://127.0.0.1:${reference.address().port}`;

// A korvel with texture 1 of the first entry made 2048x2048, its tree open
// on that entry.
async function session() {
  const korvel = await startKorvel();
  const {page, dir} = korvel;
  const archive = join(dir, 'korvel_res/samples/textures.idx');
  writeFileSync(join(dir, 'big.dds'), bigDds());
  const replaced = spawnSync(cli, ['replace', archive, '.\\00000000\\1.dds', join(dir, 'big.dds')]);
  if (replaced.status !== 0) throw new Error(`the 2048x2048 texture was not made: ${replaced.stdout}`);
  await page.goto(korvel.address);
  const label = (text) => page.locator('.tree-label').filter({hasText: new RegExp(`^${text}`)});
  const button = (text) => page.locator('.tree-row').filter({has: label(text)}).locator('.tree-button');
  await button('textures.idx').click();
  await button('entry 0').click();
  await label('texture 2').waitFor();
  return {korvel, page, archive, label,
    token: new URL(korvel.address).searchParams.get('token')};
}

// The page fetches and decodes url as a new picture: the fetch's parts
// (queued before the request, to the first byte, the body) and the total.
const fetchPicture = (page, url) => page.evaluate(async (url) => {
  performance.clearResourceTimings();
  const started = performance.now();
  const img = new Image();
  img.src = url;
  await img.decode();
  const decoded = performance.now();
  const entry = performance.getEntriesByType('resource').find((e) => e.name.endsWith(url) ||
      e.name === url);
  return {total: decoded - started, transfer: entry.responseEnd - entry.startTime,
    queued: entry.requestStart - entry.startTime, firstByte: entry.responseStart - entry.requestStart,
    body: entry.responseEnd - entry.responseStart};
}, url);

// One click on the item, from another item's picture to this one's decoded.
async function click(run, shown) {
  const {page, label} = run;
  // Another item first, so that every click loads the picture anew.
  await label('texture 2').click();
  await page.waitForFunction(() => document.querySelector('.page-view').shadowRoot
      .querySelector('korvel-frame')?.shadowRoot.querySelector('#texture')?.naturalWidth === 128);
  const measured = await page.evaluate(async ({item, side}) => {
    const picture = () => document.querySelector('.page-view').shadowRoot
        .querySelector('korvel-frame')?.shadowRoot.querySelector('#texture');
    const before = picture()?.getAttribute('src');
    const target = [...document.querySelectorAll('.tree-label')]
        .find((element) => element.textContent.startsWith(item));
    performance.clearResourceTimings();
    const clicked = performance.now();
    target.click();
    for (const given = performance.now(); performance.now() - given < 20000;) {
      const img = picture();
      if (img && img.getAttribute('src') !== before && img.complete && img.naturalWidth === side) {
        await img.decode();
        break;
      }
      await new Promise((resolve) => setTimeout(resolve, 1));
    }
    const decoded = performance.now();
    const fetched = performance.getEntriesByType('resource')
        .find((entry) => entry.name.includes('/data/') && entry.initiatorType === 'img');
    return {total: decoded - clicked, korvel: fetched.startTime - clicked,
      transfer: fetched.responseEnd - fetched.startTime,
      queued: fetched.requestStart - fetched.startTime,
      firstByte: fetched.responseStart - fetched.requestStart,
      body: fetched.responseEnd - fetched.responseStart,
      bytes: fetched.encodedBodySize, path: new URL(fetched.name).pathname};
  }, {item: shown.item, side: shown.side});
  measured.browser = measured.total - measured.korvel - measured.transfer;
  return measured;
}

// The same bytes again, alone: from korvel (a new address, so never from a
// cache) and from the reference server, in alternating order.
async function sameBytes(run, shown, path, round) {
  const answer = await fetch(`http://127.0.0.1:${run.korvel.port}${path}`,
      {headers: {Cookie: `korvel_token=${run.token}`}});
  referenceBytes = Buffer.from(await answer.arrayBuffer());
  const fromKorvel = () => fetchPicture(run.page, `${path}?again=${round}`);
  const fromPlain = () => fetchPicture(run.page, `${referenceOrigin}/${shown.name}-${round}.png`);
  if (round % 2 === 0) {
    const again = await fromKorvel();
    return {again, plain: await fromPlain()};
  }
  const plain = await fromPlain();
  return {again: await fromKorvel(), plain};
}

const parts = ['total', 'queued', 'firstByte', 'body', 'transfer', 'browser', 'korvel'];
const newFigures = () => {
  const figures = {bytes: 0};
  for (const set of ['click', 'again', 'plain']) {
    figures[set] = {};
    for (const part of parts) figures[set][part] = [];
  }
  return figures;
};
const f = (values) => (values.length ? median(values).toFixed(1) : '').padStart(9);
const signed = (value) => `${value >= 0 ? '+' : ''}${value.toFixed(1)}`;

function report(shown, figures) {
  console.log(`\n${shown.name}: PNG of ${figures.bytes} bytes, medians of ${rounds} (ms)`);
  console.log('                        total   queued 1st byte     body transfer  browser   korvel');
  const row = (name, set) => console.log(name.padEnd(20) + parts.map((part) => f(set[part]))
      .join(''));
  row('click to picture', figures.click);
  row('same bytes, korvel', figures.again);
  row('same bytes, node', figures.plain);
  const reference = median(figures.plain.transfer);
  const inClick = median(figures.click.transfer) - reference;
  const alone = median(figures.again.transfer) - reference;
  console.log(`transport: the click's transfer ${signed(inClick)} ms against node's ` +
      `(x${(median(figures.click.transfer) / reference).toFixed(2)}), the same bytes alone ` +
      `${signed(alone)} ms (goal: at most +${transportGoal} ms in the click: ` +
      `${inClick <= transportGoal ? 'met' : 'not met'})`);
}

const cases = [{name: '256x256', item: 'texture 0', key: '.\\00000000\\0.dds', side: 256},
  {name: '2048x2048', item: 'texture 1', key: '.\\00000000\\1.dds', side: 2048}];
const run = await session();
try {
  for (const shown of cases) {
    const figures = newFigures();
    const cliTimes = [];
    for (let round = 0; round < rounds; ++round) {
      const measured = await click(run, shown);
      for (const part of parts) figures.click[part].push(measured[part]);
      figures.bytes = measured.bytes;
      const {again, plain} = await sameBytes(run, shown, measured.path, round);
      for (const part of Object.keys(again)) {
        figures.again[part].push(again[part]);
        figures.plain[part].push(plain[part]);
      }
      const started = performance.now();
      spawnSync(cli, ['extract', run.archive, shown.key, join(run.korvel.dir, 'reference.png')]);
      cliTimes.push(performance.now() - started);
    }
    report(shown, figures);
    console.log(`korvel-cli extracting it as a compact PNG file: ${median(cliTimes).toFixed(1)} ms`);
  }
} finally {
  await run.korvel.stop();
  reference.close();
}
