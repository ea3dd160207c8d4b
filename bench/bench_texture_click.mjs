// From the click on a texture's tree item to its picture decoded in the page,
// for a 256x256 and a 2048x2048 texture, median of 20 each, in headless
// Chromium. The time splits into korvel's share (the click's input, the
// texture decoded and encoded as PNG, the page exported and sent: click to
// the picture's request), the PNG's transfer, and the browser's decoding.
// The references, measured in the same run: korvel-cli producing the same PNG,
// and the same PNG bytes fetched and decoded by the page from a plain node
// HTTP server, against the same bytes fetched again from korvel's /data route.
// Prints figures only.
import {spawnSync} from 'node:child_process';
import http from 'node:http';
import {writeFileSync} from 'node:fs';
import {join} from 'node:path';
import {buildDir, startKorvel} from '../tests/browser/korvel_session.mjs';

const rounds = Number(process.env.KORVEL_BENCH_ROUNDS || 20);
const cli = join(buildDir, 'tools/cli/korvel-cli');

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

const korvel = await startKorvel();
const {page, dir} = korvel;
const token = new URL(korvel.address).searchParams.get('token');
try {
  // Texture 1 of the first entry becomes 2048x2048.
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

  // The page fetches and decodes url as a new picture: the fetch's parts
  // (queued before the request, to the first byte, the body) and the total.
  const fetchPicture = (url) => page.evaluate(async (url) => {
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

  const cases = [{name: '256x256', item: 'texture 0', key: '.\\00000000\\0.dds', side: 256},
    {name: '2048x2048', item: 'texture 1', key: '.\\00000000\\1.dds', side: 2048}];
  const f = (values) => median(values).toFixed(1).padStart(9);
  for (const shown of cases) {
    const figures = {total: [], korvel: [], transfer: [], queued: [], firstByte: [], body: [],
      browser: [], cli: [], bytes: 0, again: {}, plain: {}};
    for (const part of ['total', 'transfer', 'queued', 'firstByte', 'body']) {
      figures.again[part] = [];
      figures.plain[part] = [];
    }
    for (let round = 0; round < rounds; ++round) {
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
      for (const part of ['total', 'korvel', 'transfer', 'queued', 'firstByte', 'body']) {
        figures[part].push(measured[part]);
      }
      figures.browser.push(measured.total - measured.korvel - measured.transfer);
      figures.bytes = measured.bytes;

      // The same bytes again, alone: from korvel (a new address, so not from
      // the cache) and from the reference server, in alternating order.
      const answer = await fetch(`http://127.0.0.1:${korvel.port}${measured.path}`,
          {headers: {Cookie: `korvel_token=${token}`}});
      referenceBytes = Buffer.from(await answer.arrayBuffer());
      const fromKorvel = () => fetchPicture(`${measured.path}?again=${round}`);
      const fromPlain = () => fetchPicture(`${referenceOrigin}/${shown.name}-${round}.png`);
      let again;
      let plain;
      if (round % 2 === 0) {
        again = await fromKorvel();
        plain = await fromPlain();
      } else {
        plain = await fromPlain();
        again = await fromKorvel();
      }
      for (const part of Object.keys(figures.again)) {
        figures.again[part].push(again[part]);
        figures.plain[part].push(plain[part]);
      }

      const started = performance.now();
      spawnSync(cli, ['extract', archive, shown.key, join(dir, 'reference.png')]);
      figures.cli.push(performance.now() - started);
    }
    console.log(`\n${shown.name}: PNG of ${figures.bytes} bytes, medians of ${rounds} (ms)`);
    console.log('                         total   queued  1st byte     body  transfer  browser');
    const row = (name, set, korvelShare) => console.log(`${name.padEnd(20)}${f(set.total)}` +
        `${f(set.queued)} ${f(set.firstByte)}${f(set.body)} ${f(set.transfer)}` +
        `${set === figures ? f(figures.browser) : ''}${korvelShare ?? ''}`);
    row('click to picture', figures, `   (korvel's share ${median(figures.korvel).toFixed(1)})`);
    row('same bytes, korvel', figures.again);
    row('same bytes, node', figures.plain);
    console.log(`korvel-cli writing the same PNG: ${median(figures.cli).toFixed(1)} ms`);
    const transport = median(figures.transfer) - median(figures.plain.transfer);
    const alone = median(figures.again.transfer) - median(figures.plain.transfer);
    console.log(`korvel's transport against the reference: ${transport >= 0 ? '+' : ''}` +
        `${transport.toFixed(1)} ms in the click (x${(median(figures.transfer) /
        median(figures.plain.transfer)).toFixed(2)}), ${alone >= 0 ? '+' : ''}${alone.toFixed(1)} ms ` +
        `alone (x${(median(figures.again.transfer) / median(figures.plain.transfer)).toFixed(2)})`);
  }
} finally {
  await korvel.stop();
  reference.close();
}
