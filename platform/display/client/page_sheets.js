// Style sheets of a page, fetched from /data and adopted by the shadow root
// that shows the page. Selectors are adjusted to how the page is mirrored: a
// frame is a korvel-frame element, and the page's root is its html element.

const cache = new Map();  // data id -> Promise<CSSStyleSheet>
// The sheet last fetched for each URL: every delivery has an id of its own,
// so a frame loaded again (each texture click) fetches its sheet again.
const latestByUrl = new Map();  // URL -> CSSStyleSheet

const base = new CSSStyleSheet();
base.replaceSync(`
  :host { display: block; position: relative; overflow: hidden; }
  head, script, template { display: none !important; }
  html { display: block; }
  korvel-frame { display: block; overflow: hidden; }
`);

// Hides a page whose sheets are on their way, so it never shows unstyled.
const pending = new CSSStyleSheet();
pending.replaceSync('html { visibility: hidden !important; }');

function adjustSelector(selector) {
  return selector
      .replace(/:root\b/g, 'html')
      .replace(/(^|[\s>+~,(])frame(?=$|[\s.#:[>+~,)])/g, '$1korvel-frame');
}

function adjustRules(rules) {
  for (const rule of rules) {
    if (rule instanceof CSSStyleRule) {
      const adjusted = adjustSelector(rule.selectorText);
      if (adjusted !== rule.selectorText) rule.selectorText = adjusted;
    }
    if (rule.cssRules) adjustRules(rule.cssRules);
  }
}

function sheetFor(id) {
  if (!cache.has(id)) {
    cache.set(id, fetch(`/data/${id}`)
        .then((response) => (response.ok ? response.text() : ''))
        .then((text) => {
          const sheet = new CSSStyleSheet();
          // @import would fetch by itself; the host delivers every byte.
          sheet.replaceSync(text.replace(/@import[^;]*;/g, ''));
          adjustRules(sheet.cssRules);
          return sheet;
        })
        .catch(() => new CSSStyleSheet()));
  }
  return cache.get(id);
}

// Adopts the sheets ({id, url}, in order) by root; calls done once they
// apply. Until then root.korvelStyled is false: a layout without its sheets
// would be reported as the page's.
export function adoptSheets(root, sheets, done) {
  const wanted = sheets.map((sheet) => sheet.id).join(',');
  if (root.korvelSheets === wanted) return;
  root.korvelSheets = wanted;
  root.korvelStyled = false;
  Promise.all(sheets.map((sheet) => sheetFor(sheet.id))).then((fetched) => {
    fetched.forEach((sheet, i) => latestByUrl.set(sheets[i].url, sheet));
    if (root.korvelSheets !== wanted) return;
    root.adoptedStyleSheets = [base, ...fetched];
    root.korvelStyled = true;
    done();
  });
  // A root that shows a page keeps its old sheets until the new ones apply.
  if (root.adoptedStyleSheets.length !== 0) return;
  // A new root borrows the sheets last fetched for the same URLs, so that a
  // frame loaded again does not blink out while its sheet comes; a page
  // with a sheet never seen stays hidden rather than show unstyled.
  const borrowed = sheets.map((sheet) => latestByUrl.get(sheet.url));
  root.adoptedStyleSheets = borrowed.every(Boolean) ? [base, ...borrowed] : [base, pending];
}
