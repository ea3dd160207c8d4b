// The model view in a real browser, as one journey on one run: a sample model
// selected in the tree turns over its slot, drawn by the device replay in the
// model window's canvas: corners in the clear colour, the model in its
// texture's colours, every sub-model hidden by its checkbox and brought back.
// Prints the time from selection (after the hand-over's pause) to the first
// frame drawn.
import {test} from 'node:test';
import assert from 'node:assert/strict';
import {startKorvel} from './korvel_session.mjs';

const kHandOverPauseMs = 500;

test('a model turns textured over its slot, and its checkboxes hide it', {timeout: 180000},
    async () => {
  const korvel = await startKorvel();
  const {page} = korvel;
  const label = (text) => page.locator('.tree-label').filter({hasText: new RegExp(`^${text}$`)});
  const button = (text) => page.locator('.tree-row').filter({has: label(text)}).locator('.tree-button');
  // What the canvas shows: the corners, how many pixels are not the clear
  // colour, how many distinct colours those have, and every pixel packed.
  const look = () => page.evaluate(() => {
    const canvas = document.querySelector('canvas.device-view');
    // Until a frame of the window's size is drawn the canvas shows nothing of ours.
    if (!canvas || canvas.width !== canvas.clientWidth || canvas.height !== canvas.clientHeight) {
      return null;
    }
    const copy = document.createElement('canvas');
    copy.width = canvas.width;
    copy.height = canvas.height;
    const context = copy.getContext('2d');
    context.drawImage(canvas, 0, 0);
    const data = context.getImageData(0, 0, copy.width, copy.height).data;
    const at = (x, y) => Array.from(data.subarray((y * copy.width + x) * 4, (y * copy.width + x) * 4 + 3));
    let model = 0;
    let white = 0;
    const colours = new Set();
    let hash = 0;
    for (let i = 0; i < data.length; i += 4) {
      const value = (data[i] << 16) | (data[i + 1] << 8) | data[i + 2];
      hash = (hash * 31 + value) | 0;
      if (value !== 0x0000ff) {
        ++model;
        if (value === 0xffffff) ++white;
        colours.add(value);
      }
    }
    return {corners: [at(0, 0), at(copy.width - 1, 0), at(0, copy.height - 1),
      at(copy.width - 1, copy.height - 1)], model, white, colours: colours.size, hash};
  });
  const until = async (test, what) => {
    for (let tries = 0; tries < 200; ++tries) {
      const seen = await look();
      if (seen && test(seen)) return seen;
      await page.waitForTimeout(50);
    }
    assert.fail(`the canvas never showed ${what}`);
  };
  try {
    await page.goto(korvel.address);
    await label('game.idx').waitFor();
    await button('game.idx').click();
    await button('entry 0').click();
    await button('pack item 0').click();
    const selected = Date.now();
    await label('model · 16 submeshes').click();

    // The replay sizes the canvas as it draws the first frame of the window's size.
    await page.waitForFunction(() => {
      const canvas = document.querySelector('canvas.device-view');
      return canvas && canvas.clientWidth > 1 && canvas.width === canvas.clientWidth &&
          canvas.height === canvas.clientHeight;
    }, null, {polling: 'raf', timeout: 20000});
    console.log(`selection to first frame drawn: ${Date.now() - selected - kHandOverPauseMs} ms ` +
        `(after the ${kHandOverPauseMs} ms hand-over pause)`);
    const first = await until((seen) => seen.model > 100, 'the model');
    const blue = [0, 0, 255];
    assert.deepEqual(first.corners, [blue, blue, blue, blue], 'corners in the clear colour');
    // Untextured, the model would be white.
    assert.ok(first.colours >= 2 && first.white === 0,
        `the model shows its texture (${first.colours} colours, ${first.white} white pixels)`);

    // The model turns: a second later the picture differs.
    await page.waitForTimeout(1000);
    const later = await look();
    assert.notEqual(later.hash, first.hash, 'the model turns');

    // Every checkbox off leaves only the clear colour; on again, the model is back.
    const boxes = page.locator('[id="model_show_flag"]');
    await boxes.nth(15).waitFor();
    assert.equal(await boxes.count(), 16, 'one checkbox per sub-model');
    for (let i = 0; i < 16; ++i) await boxes.nth(i).click();
    await until((seen) => seen.model === 0, 'only the clear colour');
    for (let i = 0; i < 16; ++i) await boxes.nth(i).click();
    await until((seen) => seen.model > 100, 'the model again');
  } finally {
    await korvel.stop();
  }
});
