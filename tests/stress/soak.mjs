// A long session in the real program through a real browser: selections of
// textures and models in turn (the 3-D view running for each model), with
// replacements through the page among them, each read back from the page's
// picture. Memory after the run stays within 1.5x of memory after the first
// 50 selections, and no thread or open file is left behind. At the end the
// archives are changed under korvel's feet: selecting their items fails
// without a crash, and korvel goes on serving.
// Usage: node soak.mjs [selections] [replacements] (100 4 in ctest, 1000 50
// by `make soak`).
import assert from 'node:assert/strict';
import {truncateSync, writeFileSync} from 'node:fs';
import {join} from 'node:path';
import {startKorvel} from '../browser/korvel_session.mjs';
import {solidDxt1} from './dds_samples.mjs';
import {describe, memoryBounds, processFigures, settledFigures} from './process_figures.mjs';

const selections = Number(process.argv[2] || 100);
const replacements = Number(process.argv[3] || 4);
const baselineAfter = Math.min(50, selections / 2);
const replaced = '替换成功，碉堡了！';

const textures = [
  ['textures.idx', 'entry 0', 'texture 0 · DXT1 256×256', 256, 256],
  ['textures.idx', 'entry 1', 'texture 0 · DXT3 256×128', 256, 128],
  ['textures.idx', 'entry 0', 'texture 1 · DXT5 128×128', 128, 128],
  ['textures.idx', 'entry 1', 'texture 1 · A8R8G8B8 32×32', 32, 32],
  ['textures.idx', 'entry 0', 'texture 2 · A8R8G8B8 128×32', 128, 32],
  ['textures.idx', 'entry 1', 'texture 2 · DXT5 512×512', 512, 512],
];
const models = [['model · 16 submeshes', 16], ['model · 7 submeshes', 7]];
// RGB565 colours and the RGB they decode to, for recognising a replacement.
const colours = [[0xf800, [255, 0, 0]], [0x07e0, [0, 255, 0]], [0x001f, [0, 0, 255]]];

async function main() {
  const korvel = await startKorvel();
  const {page, dir, child} = korvel;
  const label = (text) => page.locator('.tree-label').filter({hasText: new RegExp(`^${text}$`)});
  const button = (text) => page.locator('.tree-row').filter({has: label(text)}).locator('.tree-button');
  const under = (text) => label(text).locator('xpath=ancestor::li[1]');
  const inFrame = `document.querySelector('.page-view').shadowRoot.querySelector('korvel-frame')
      ?.shadowRoot`;
  // The shown picture's size, and its first pixel.
  const picture = () => page.evaluate(`(() => {
    const img = ${inFrame}.querySelector('#texture');
    if (!img || !img.complete || img.naturalWidth === 0) return null;
    const canvas = document.createElement('canvas');
    canvas.width = canvas.height = 1;
    const context = canvas.getContext('2d');
    context.drawImage(img, 0, 0);
    return {width: img.naturalWidth, height: img.naturalHeight,
      pixel: Array.from(context.getImageData(0, 0, 1, 1).data.subarray(0, 3))};
  })()`);
  const showsTexture = async ([, , name, width, height], what) => {
    await label(name).click();
    for (let tries = 0; tries < 400; ++tries) {
      const seen = await picture();
      if (seen && seen.width === width && seen.height === height) return seen;
      await page.waitForTimeout(25);
    }
    assert.fail(`${what}: ${name} is not shown`);
  };
  const showsModel = async ([name, parts], what) => {
    await label(name).click();
    const boxes = page.locator('#div_model_show_checkbox > button');
    for (let tries = 0; tries < 800 && await boxes.count() !== parts; ++tries) {
      await page.waitForTimeout(25);
    }
    await page.waitForFunction(() => {
      const canvas = document.querySelector('canvas.device-view');
      return canvas && canvas.clientWidth > 1 && canvas.width === canvas.clientWidth &&
          canvas.height === canvas.clientHeight;
    }, null, {timeout: 20000}).catch(() => assert.fail(`${what}: ${name} is not drawn`));
    assert.equal(await boxes.count(), parts, `${what}: ${name} has its checkboxes`);
  };
  const answerBox = async (text) => {
    const shown = page.locator('.message-box', {hasText: text});
    await shown.waitFor({timeout: 20000});
    await shown.locator('.box-button').click();
    await shown.waitFor({state: 'detached'});
  };
  const replace = async (round) => {
    const [colour565, rgb] = colours[round % colours.length];
    writeFileSync(join(dir, `soak${round}.dds`), solidDxt1(256, 256, colour565));
    await showsTexture(textures[0], `before replacement ${round}`);
    await page.locator('#change_pic').click();
    const dialog = page.locator('.file-dialog');
    await dialog.locator('.file-row').first().waitFor();
    await dialog.locator('.file-name').fill(`soak${round}.dds`);
    await dialog.locator('.box-button.primary').click();
    await answerBox(replaced);
    // Read back: the page shows the new texture once selected again.
    await showsModel(models[0], `after replacement ${round}`);
    const seen = await showsTexture(textures[0], `reading replacement ${round} back`);
    assert.deepEqual(seen.pixel, rgb, `replacement ${round} reads back in its colour`);
  };

  try {
    await page.goto(korvel.address);
    await label('textures.idx').waitFor();
    const expand = (archive, entry) => under(archive).locator('.tree-row', {has: label(entry)})
        .locator('.tree-button').click();
    for (const archive of ['textures.idx', 'models.idx']) {
      await button(archive).click();
      await expand(archive, 'entry 0');
      await expand(archive, 'entry 1');
    }

    const replaceEvery = replacements > 0 ? Math.floor(selections / replacements) : Infinity;
    let baseline = null;
    let done = 0;
    const started = Date.now();
    for (let i = 0; i < selections; ++i) {
      if (i % 2 === 0) {
        await showsTexture(textures[(i / 2) % textures.length], `selection ${i}`);
      } else {
        await showsModel(models[((i - 1) / 2) % models.length], `selection ${i}`);
      }
      if ((i + 1) % replaceEvery === 0 && done < replacements) await replace(done++);
      if (i + 1 === baselineAfter) {
        // Counted with a texture on show, so that the viewer has ended.
        await showsTexture(textures[0], 'the baseline');
        baseline = await settledFigures(child.pid, () => false, 2000);
        console.log(`after ${baselineAfter} selections: ${describe(baseline)}`);
      }
      if ((i + 1) % 100 === 0) {
        console.log(`${i + 1} selections, ${done} replacements, ${describe(processFigures(child.pid))}`);
      }
    }
    while (done < replacements) await replace(done++);
    await showsTexture(textures[0], 'the end');
    const end = await settledFigures(child.pid,
        (f) => f.threads <= baseline.threads && f.fds <= baseline.fds);
    const seconds = (Date.now() - started) / 1000;
    console.log(`soak: ${selections} selections and ${done} replacements (each read back) in ` +
        `${seconds.toFixed(0)} s; after ${baselineAfter} selections ${describe(baseline)}; ` +
        `at the end ${describe(end)}; memory ratio ${(end.rssKiB / baseline.rssKiB).toFixed(2)}`);
    assert.ok(!memoryBounds || end.rssKiB <= baseline.rssKiB * 1.5, 'memory within 1.5x of the baseline');
    assert.ok(end.threads <= baseline.threads, 'no thread left behind');
    assert.ok(end.fds <= baseline.fds, 'no open file left behind');

    // Another program changes the archives while korvel shows them.
    const samples = join(dir, 'korvel_res/samples');
    // Entry 1 (the 512x512 texture) lies past this, whatever was appended since.
    truncateSync(join(samples, 'textures.bin'), 100000);
    writeFileSync(join(samples, 'models.idx'), Buffer.alloc(96, 0xee));
    await label(textures[5][2]).click();
    await page.waitForTimeout(1000);
    const truncatedShows = await picture();
    assert.equal(truncatedShows?.width === 512, false, 'a truncated archive shows no picture');
    await label(models[1][0]).click();
    const box = page.locator('.message-box');
    const failure = await box.waitFor({timeout: 5000}).then(() => box.innerText(), () => null);
    if (failure) await box.locator('.box-button').click();
    assert.equal(child.exitCode, null, 'korvel still runs');
    // Still serving: a texture of an untouched archive shows.
    await button('textures_be.idx').click();
    await under('textures_be.idx').locator('.tree-level .tree-button').first().click();
    await under('textures_be.idx').locator('.tree-label').filter({hasText: /^texture 0 /}).first().click();
    await page.waitForFunction(`(() => { const img = ${inFrame}.querySelector('#texture');
        return img && img.complete && img.naturalWidth > 0; })()`, null, {timeout: 20000});
    console.log(`changed archives: a truncated data file shows no picture` +
        `${failure ? `; a rewritten index says "${failure.replace(/\s+/g, ' ').trim()}"` :
          '; a rewritten index shows no model'}; korvel goes on serving`);
    console.log('soak: passed');
  } catch (error) {
    await page.screenshot({path: join(dir, '..', 'korvel-soak-failure.png')}).catch(() => {});
    console.error(korvel.output().slice(-4000));
    throw error;
  } finally {
    await korvel.stop();
  }
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
