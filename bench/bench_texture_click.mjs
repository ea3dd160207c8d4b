// From the click on a texture's tree item to its picture decoded in the page,
// for a 256x256 and a 2048x2048 texture, median of 20 each, in headless
// Chromium. The time splits into korvel's share (the click's input, the
// texture decoded and encoded as PNG, the page exported and sent: click to
// the picture's request), the PNG's transfer, and the browser's decoding.
// The reference, measured in the same run: korvel-cli producing the same PNG.
// Prints figures only.
import {spawnSync} from 'node:child_process';
import {writeFileSync} from 'node:fs';
import {join} from 'node:path';
import {buildDir, startKorvel} from '../tests/browser/korvel_session.mjs';

const rounds = 20;
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

const korvel = await startKorvel();
const {page, dir} = korvel;
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

  const cases = [{name: '256x256', item: 'texture 0', key: '.\\00000000\\0.dds', side: 256},
    {name: '2048x2048', item: 'texture 1', key: '.\\00000000\\1.dds', side: 2048}];
  console.log('size       total ms  korvel ms  transfer ms  browser ms  korvel-cli PNG ms  PNG bytes');
  for (const shown of cases) {
    const figures = {total: [], korvel: [], transfer: [], browser: [], cli: [], bytes: 0};
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
          transfer: fetched.responseEnd - fetched.startTime, bytes: fetched.encodedBodySize};
      }, {item: shown.item, side: shown.side});
      figures.total.push(measured.total);
      figures.korvel.push(measured.korvel);
      figures.transfer.push(measured.transfer);
      figures.browser.push(measured.total - measured.korvel - measured.transfer);
      figures.bytes = measured.bytes;
      const started = performance.now();
      spawnSync(cli, ['extract', archive, shown.key, join(dir, 'reference.png')]);
      figures.cli.push(performance.now() - started);
    }
    const f = (values) => median(values).toFixed(1).padStart(9);
    console.log(`${shown.name.padEnd(10)} ${f(figures.total)} ${f(figures.korvel)}    ${f(figures.transfer)}   ` +
        `${f(figures.browser)}          ${f(figures.cli)}  ${figures.bytes}`);
    const overhead = median(figures.korvel) + median(figures.transfer) - median(figures.cli);
    console.log(`           the screen adds ${overhead.toFixed(1)} ms to korvel-cli's PNG ` +
        `(korvel's share and the transfer, less the reference)`);
  }
} finally {
  await korvel.stop();
}
