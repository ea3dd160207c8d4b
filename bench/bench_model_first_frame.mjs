// From a model's selection in the tree to its first frame drawn in headless
// Chromium, median of several selections, less the 500 ms the hand-over
// waits. Between selections a texture is selected, so every model selection
// starts a new viewer. The time splits at what the page hears: the model page,
// its layout report, the model window shown, the first 3-D resource, the
// first frame, and the first frame drawn (its frame_taken input).
// The reference, measured in the same run: the selection of a texture, whose
// picture shows with no hand-over. Prints figures only.
import {startKorvel} from '../tests/browser/korvel_session.mjs';

const rounds = Number(process.env.KORVEL_BENCH_ROUNDS || 8);
const kHandOverPauseMs = 500;

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

// Runs in the page before its scripts: notes when each event arrives and
// each input leaves, in the page's clock.
function recordTimeline() {
  window.korvelTimeline = [];
  const note = (kind, detail) => window.korvelTimeline.push({kind, detail, at: performance.now()});
  const OriginalEventSource = window.EventSource;
  window.EventSource = class extends OriginalEventSource {
    constructor(...args) {
      super(...args);
      this.addEventListener('message', (message) => {
        const event = JSON.parse(message.data);
        note(`event:${event.type}`, event.type === 'window' ? event.view : null);
      });
    }
  };
  const originalFetch = window.fetch;
  window.fetch = function (url, options) {
    if (url === '/input' && options && typeof options.body === 'string') {
      note(`input:${JSON.parse(options.body).type}`, null);
    }
    return originalFetch.apply(this, arguments);
  };
}

const korvel = await startKorvel();
const {page} = korvel;
try {
  await page.addInitScript(recordTimeline);
  await page.goto(korvel.address);
  const label = (text) => page.locator('.tree-label').filter({hasText: new RegExp(`^${text}$`)});
  const button = (text) => page.locator('.tree-row').filter({has: label(text)}).locator('.tree-button');
  await label('game.idx').waitFor();
  await button('game.idx').click();
  await button('entry 0').click();
  await button('pack item 0').click();
  await label('model · 16 submeshes').waitFor();
  const textureItem = page.locator('.tree-row').filter({has: page.locator('.tree-label')
      .filter({hasText: /^texture/})}).first().locator('.tree-label');
  const textureName = (await textureItem.textContent()).trim();

  // Clicks the item and waits for done(timeline since the click); the
  // timeline's entries are relative to the click.
  const select = (item, kind) => page.evaluate(async ({item, kind}) => {
    const target = [...document.querySelectorAll('.tree-label')]
        .find((element) => element.textContent.trim() === item);
    window.korvelTimeline.length = 0;
    performance.clearResourceTimings();
    performance.setResourceTimingBufferSize(100000);
    const clicked = performance.now();
    target.click();
    const since = () => window.korvelTimeline.map((entry) => ({...entry, at: entry.at - clicked}));
    const done = () => {
      const timeline = window.korvelTimeline;
      if (kind === 'model') {
        const frame = timeline.findIndex((entry) => entry.kind === 'event:frame');
        return frame >= 0 && timeline.slice(frame).some((entry) => entry.kind === 'input:frame_taken');
      }
      const img = document.querySelector('.page-view')?.shadowRoot.querySelector('korvel-frame')
          ?.shadowRoot.querySelector('#texture');
      return img && img.complete && img.naturalWidth > 0 && timeline.some((e) => e.kind === 'event:page');
    };
    for (const given = performance.now(); performance.now() - given < 20000;) {
      if (done()) break;
      await new Promise((resolve) => requestAnimationFrame(resolve));
    }
    const fetched = performance.getEntriesByType('resource').filter((entry) =>
      /\/devices?\b/.test(entry.name) && entry.startTime >= clicked);
    const timeline = since();
    if (fetched.length > 0) {
      timeline.push({kind: 'fetched', at: Math.max(...fetched.map((e) => e.responseEnd)) - clicked});
    }
    return {timeline, total: performance.now() - clicked};
  }, {item, kind});

  const marks = {page: [], layout: [], shown: [], resource: [], fetched: [], frame: [], drawn: []};
  const totals = [];
  const textureTotals = [];
  for (let round = 0; round < rounds; ++round) {
    textureTotals.push((await select(textureName, 'texture')).total);
    await page.waitForTimeout(200);
    const {timeline} = await select('model · 16 submeshes', 'model');
    const first = (test) => timeline.find(test)?.at ?? NaN;
    const pageAt = first((entry) => entry.kind === 'event:page');
    marks.page.push(pageAt);
    marks.layout.push(first((entry) => entry.kind === 'input:layout' && entry.at >= pageAt));
    marks.shown.push(first((entry) => entry.kind === 'event:window' &&
        entry.detail?.class === 'korvel_engine_v1 DirectX' && entry.detail.visible));
    marks.resource.push(first((entry) => entry.kind === 'event:device_resource'));
    marks.fetched.push(first((entry) => entry.kind === 'fetched'));
    const frameAt = first((entry) => entry.kind === 'event:frame');
    marks.frame.push(frameAt);
    const drawn = first((entry) => entry.kind === 'input:frame_taken' && entry.at >= frameAt);
    marks.drawn.push(drawn);
    totals.push(drawn - kHandOverPauseMs);
  }
  const f = (value) => value.toFixed(0).padStart(6);
  const rows = [['model page heard', marks.page], ['its layout reported', marks.layout],
    ['model window shown', marks.shown], ['first 3-D resource', marks.resource],
    ['its resources fetched', marks.fetched], ['first frame heard', marks.frame],
    ['first frame drawn', marks.drawn]];
  console.log(`model selection (16 sub-meshes), ms after the click (the hand-over waits ` +
      `${kHandOverPauseMs}):`);
  console.log(`${''.padEnd(24)}median  first  then each`);
  for (const [name, values] of rows) {
    console.log(`  ${name.padEnd(22)}${f(median(values))} ${f(values[0])}  ` +
        `${values.slice(1).map((value) => value.toFixed(0)).join(' ')}`);
  }
  console.log(`selection to first frame drawn, less the hand-over's ${kHandOverPauseMs} ms: ` +
      `${median(totals).toFixed(0)} ms (each: ${totals.map((t) => t.toFixed(0)).join(', ')})`);
  console.log(`reference, a texture's selection to its picture shown: ${median(textureTotals).toFixed(0)} ms`);
} finally {
  await korvel.stop();
}
