// A modder's whole road through korvel in a real browser, one step after the
// other on one run: the page, the tree, a texture, extract, replace, the
// "unchanged" answer, the history tab's undo, a missing index, a label edit, dragging, tabs, closing.
import {test} from 'node:test';
import assert from 'node:assert/strict';
import {existsSync, mkdirSync, readFileSync, renameSync, writeFileSync} from 'node:fs';
import {join} from 'node:path';
import {startKorvel} from './korvel_session.mjs';

const shots = process.env.KORVEL_SCREENSHOTS;
const extracted = '提取成功，碉堡了！';
const replaced = '替换成功，碉堡了！';
const unchanged = '新数据与现存在idx+bin中的是一样的，没有做任何修改，一样碉堡了！';

// A 256x256 DXT1 texture of one colour (RGB565).
function solidDxt1(color565) {
  const header = Buffer.alloc(128);
  header.write('DDS ', 0, 'latin1');
  header.writeUInt32LE(124, 4);
  header.writeUInt32LE(0x81007, 8);  // caps, height, width, pixel format, linear size
  header.writeUInt32LE(256, 12);
  header.writeUInt32LE(256, 16);
  header.writeUInt32LE(32768, 20);
  header.writeUInt32LE(32, 76);
  header.writeUInt32LE(4, 80);  // four-cc
  header.write('DXT1', 84, 'latin1');
  header.writeUInt32LE(0x1000, 108);
  const blocks = Buffer.alloc(32768);
  for (let at = 0; at < blocks.length; at += 8) {
    blocks.writeUInt16LE(color565, at);
    blocks.writeUInt16LE(color565, at + 2);
  }
  return Buffer.concat([header, blocks]);
}

test('the road of a modder, with mouse and keyboard', {timeout: 180000}, async () => {
  const korvel = await startKorvel();
  const {page, dir} = korvel;
  let step = 0;
  const shot = async (name) => {
    if (shots) await page.screenshot({path: join(shots, `${String(++step).padStart(2, '0')}-${name}.png`)});
  };
  const label = (text) => page.locator('.tree-label').filter({hasText: new RegExp(`^${text}$`)});
  const button = (text) => page.locator('.tree-row').filter({has: label(text)}).locator('.tree-button');
  // The items under an archive's item.
  const under = (text) => label(text).locator('xpath=ancestor::li[1]');
  const box = (selector) => page.locator(selector).evaluate((e) => {
    const r = e.getBoundingClientRect();
    return {x: r.left, y: r.top, width: r.width, height: r.height};
  });
  const answerBox = async (text) => {
    const shown = page.locator('.message-box', {hasText: text});
    await shown.waitFor();
    await shot('message');
    await shown.locator('.box-button').click();
    await shown.waitFor({state: 'detached'});
  };
  const fileDialog = async (name) => {
    const dialog = page.locator('.file-dialog');
    await dialog.waitFor();
    await dialog.locator('.file-row').first().waitFor();
    await dialog.locator('.file-name').fill(name);
    await shot('dialog');
    await dialog.locator('.box-button.primary').click();
  };
  // A missing index: the archive's list points at a file that moved.
  mkdirSync(join(dir, 'korvel_res/moved'));
  renameSync(join(dir, 'korvel_res/samples/plain.idx'), join(dir, 'korvel_res/moved/plain.idx'));
  try {
    await page.goto(korvel.address);

    // The page shows, centred, with the archives in the tree over its slot.
    await label('textures.idx').waitFor();
    await page.waitForFunction(() => document.querySelector('.window.host')?.offsetWidth > 100);
    const host = await box('.window.host');
    const viewport = page.viewportSize();
    assert.ok(Math.abs(host.x - (viewport.width - host.width) / 2) <= 1, 'centred across');
    assert.ok(Math.abs(host.y - (viewport.height - host.height) / 2) <= 1, 'centred down');
    await shot('start');

    // Expanding an archive lists its entries; a texture shows at its size.
    await button('textures.idx').click();
    await button('entry 0').click();
    const pictureAnswer = page.waitForResponse((answer) => answer.url().includes('/data/') &&
        answer.request().resourceType() === 'image');
    await label('texture 0 · DXT1 256×256').click();
    // Served from korvel's memory, never written to the browser's disk cache.
    assert.equal((await pictureAnswer).headers()['cache-control'], 'no-store');
    const picture = page.locator('#texture');
    await page.waitForFunction(() => {
      const img = document.querySelector('.page-view').shadowRoot.querySelector('korvel-frame')
          ?.shadowRoot.querySelector('#texture');
      return img && img.complete && img.naturalWidth > 0;
    });
    assert.deepEqual(await picture.evaluate((img) => [img.naturalWidth, img.naturalHeight,
      img.width, img.height]), [256, 256, 256, 256]);
    await shot('texture');

    // Extract writes the DDS file through the save dialog.
    await page.locator('#pick_up_pic').click();
    await fileDialog('texture0.dds');
    await answerBox(extracted);
    const written = readFileSync(join(dir, 'texture0.dds'));
    assert.equal(written.subarray(0, 4).toString('latin1'), 'DDS ');

    // Replace through the open dialog; the next selection shows the new picture.
    writeFileSync(join(dir, 'red.dds'), solidDxt1(0xf800));
    await page.locator('#change_pic').click();
    await fileDialog('red.dds');
    await answerBox(replaced);
    // Another texture loads the frame again, with its style sheet delivered
    // anew (held back here); the texture panel never blinks out meanwhile.
    await page.route('**/data/*', async (route) => {
      const response = await route.fetch();
      if ((response.headers()['content-type'] || '').includes('css')) {
        await new Promise((resolve) => setTimeout(resolve, 300));
      }
      await route.fulfill({response});
    });
    await page.evaluate(() => {
      window.korvelBlinks = 0;
      window.korvelWatching = true;
      const look = () => {
        const frame = document.querySelector('.page-view').shadowRoot.querySelector('korvel-frame');
        const html = frame?.shadowRoot?.querySelector('html');
        if (!html || getComputedStyle(html).visibility === 'hidden') window.korvelBlinks++;
        if (window.korvelWatching) requestAnimationFrame(look);
      };
      requestAnimationFrame(look);
    });
    await label('texture 1 · DXT5 128×128').click();
    await page.waitForFunction(() => document.querySelector('.page-view').shadowRoot
        .querySelector('korvel-frame')?.shadowRoot.querySelector('#texture')?.naturalWidth === 128);
    await page.waitForTimeout(400);
    assert.equal(await page.evaluate(() => ((window.korvelWatching = false), window.korvelBlinks)),
        0, 'animation frames with the texture panel hidden');
    await page.unroute('**/data/*');
    await label('texture 0 · DXT1 256×256').click();
    const redness = () => page.waitForFunction(() => {
      const img = document.querySelector('.page-view').shadowRoot.querySelector('korvel-frame')
          ?.shadowRoot.querySelector('#texture');
      if (!img || !img.complete || img.naturalWidth !== 256) return null;
      const canvas = document.createElement('canvas');
      canvas.width = canvas.height = 1;
      const context = canvas.getContext('2d');
      context.drawImage(img, 0, 0);
      const [r, g, b] = context.getImageData(0, 0, 1, 1).data;
      return r > 200 && g < 40 && b < 40 ? [r, g, b] : null;
    });
    await redness();
    await shot('replaced');

    // The same DDS again changes nothing, and says so.
    await page.locator('#change_pic').click();
    await fileDialog('red.dds');
    await answerBox(unchanged);

    // The history tab lists the replacement; its undo puts the old picture back.
    const popupWindow = page.locator('[data-class="korvel_engine_v1 treeview"]');
    await page.locator('li[panel="panel-history"]').click();
    await popupWindow.waitFor({state: 'hidden'});
    const row = page.locator('.history-row');
    await row.first().waitFor();
    assert.equal(await row.count(), 1);
    assert.match(await row.first().innerText(), /red\.dds[\s\S]*in effect/);
    await shot('history');
    await row.first().locator('#undo_replacement').click();
    await answerBox('undid replacement 1');
    await page.locator('.history-empty').waitFor();
    await page.locator('li[panel="panel-id2"]').click();
    await popupWindow.waitFor({state: 'visible'});
    await label('texture 1 · DXT5 128×128').click();
    await page.waitForFunction(() => document.querySelector('.page-view').shadowRoot
        .querySelector('korvel-frame')?.shadowRoot.querySelector('#texture')?.naturalWidth === 128);
    await label('texture 0 · DXT1 256×256').click();
    await page.waitForFunction(() => {
      const img = document.querySelector('.page-view').shadowRoot.querySelector('korvel-frame')
          ?.shadowRoot.querySelector('#texture');
      if (!img || !img.complete || img.naturalWidth !== 256) return false;
      const canvas = document.createElement('canvas');
      canvas.width = canvas.height = 1;
      const context = canvas.getContext('2d');
      context.drawImage(img, 0, 0);
      const [r, g, b] = context.getImageData(0, 0, 1, 1).data;
      return !(r > 200 && g < 40 && b < 40);
    });

    // A model is drawn in its window over the page's slot, with one switch per sub-model.
    await button('models.idx').click();
    await under('models.idx').locator('.tree-level .tree-button').first().click();
    await label('model · 16 submeshes').click();
    await page.locator('#div_model_show_checkbox > button').nth(15).waitFor();
    await page.waitForFunction(() => {
      const canvas = document.querySelector('.device-view');
      const slot = document.querySelector('.page-view').shadowRoot.querySelector('korvel-frame')
          ?.shadowRoot.querySelector('#mywindow_dx')?.getBoundingClientRect();
      const drawn = canvas?.getBoundingClientRect();
      return slot && drawn && canvas.width === slot.width && canvas.height === slot.height &&
          Math.abs(drawn.left - slot.left) <= 1 && Math.abs(drawn.top - slot.top) <= 1;
    });
    await shot('model');

    // A missing index is asked for with the open dialog.
    await button('plain.idx').click();
    await fileDialog('korvel_res/moved/plain.idx');
    await under('plain.idx').locator('.tree-label', {hasText: 'entry 0'}).waitFor();

    // F2 edits the selected label.
    await label('game.idx').click();
    await page.keyboard.press('F2');
    const editor = page.locator('.tree-edit');
    await editor.waitFor();
    await editor.fill('My game');
    await shot('edit');
    await page.keyboard.press('Enter');
    await label('My game').waitFor();

    // Dragging the top strip moves the window; the tree stays over its slot.
    const before = await box('.window.host');
    await page.mouse.move(before.x + 400, before.y + 12);
    await page.mouse.down();
    await page.mouse.move(before.x + 360, before.y - 20, {steps: 4});
    await page.mouse.move(before.x + 340, before.y - 38, {steps: 4});
    await page.mouse.up();
    await page.waitForFunction((x) => Math.abs(document.querySelector('.window.host')
        .getBoundingClientRect().left - x) <= 1, before.x - 60);
    const after = await box('.window.host');
    assert.equal(Math.round(after.y - before.y), -50);
    await page.waitForFunction(() => {
      const slot = document.querySelector('.page-view').shadowRoot.querySelector('#treeview')
          .getBoundingClientRect();
      const tree = document.querySelector('[data-class="korvel_engine_v1 treeview"]')
          .getBoundingClientRect();
      return Math.abs(slot.left + 1 - tree.left) <= 1 && Math.abs(slot.top + 1 - tree.top) <= 1;
    });
    await shot('dragged');

    // Switching tabs hides the tree and shows it again.
    const popup = page.locator('[data-class="korvel_engine_v1 treeview"]');
    await page.locator('li[panel="panel-help"]').click();
    await popup.waitFor({state: 'hidden'});
    await shot('guide');
    await page.locator('li[panel="panel-id2"]').click();
    await popup.waitFor({state: 'visible'});

    // Closing ends korvel with code 0; the tab says so; the list holds the label.
    await page.locator('.close-control').click();
    const {code} = await korvel.exited;
    assert.equal(code, 0);
    await page.locator('#status.ended').waitFor();
    await shot('ended');
    assert.match(readFileSync(join(dir, 'korvel.xml'), 'utf8'), />My game</);
    assert.ok(existsSync(join(dir, 'korvel.xml')));
  } catch (error) {
    await page.screenshot({path: join(dir, '..', 'korvel-journey-failure.png')}).catch(() => {});
    console.error(korvel.output());
    throw error;
  } finally {
    await korvel.stop();
  }
});
