// The display server under attack, from raw request bytes over sockets while
// a real tab is open: each hostile request is refused with its status, the
// memory stays bounded, nothing is left behind, and the tab is still served.
// Usage: node attack.mjs [flood seconds] (1 in ctest, 10 by `make attack`).
import assert from 'node:assert/strict';
import net from 'node:net';
import {mkdirSync, symlinkSync} from 'node:fs';
import {join} from 'node:path';
import {startKorvel} from '../browser/korvel_session.mjs';
import {describe, memoryBounds, processFigures, settledFigures} from './process_figures.mjs';

const floodSeconds = Number(process.argv[2] || 1);
const floodRate = 1000;
const slowClients = 64;

// Sends bytes (string or Buffer, or a list of pieces with pauses between
// them) and answers the status line of the reply, or how the connection ended.
function exchange(port, pieces, {pauseMs = 0, timeoutMs = 15000} = {}) {
  return new Promise((resolve) => {
    const socket = net.connect(port, '127.0.0.1');
    let reply = '';
    let done = false;
    const finish = (result) => {
      if (done) return;
      done = true;
      clearTimeout(timer);
      socket.destroy();
      resolve(result);
    };
    const timer = setTimeout(() => finish('no answer'), timeoutMs);
    socket.on('data', (chunk) => {
      reply += chunk.toString('latin1');
      const end = reply.indexOf('\r\n');
      if (end >= 0) finish(reply.slice(0, end));
    });
    socket.on('error', () => finish(reply ? reply.split('\r\n')[0] : 'reset'));
    socket.on('close', () => finish(reply ? reply.split('\r\n')[0] : 'closed'));
    socket.on('connect', async () => {
      for (const piece of Array.isArray(pieces) ? pieces : [pieces]) {
        if (done || !socket.writable) return;
        socket.write(piece);
        if (pauseMs) await new Promise((r) => setTimeout(r, pauseMs));
      }
    });
  });
}

async function main() {
  const korvel = await startKorvel();
  const {page, port, child, dir} = korvel;
  const token = new URL(korvel.address).searchParams.get('token');
  const host = `Host: 127.0.0.1:${port}\r\n`;
  const cookie = `Cookie: korvel_token=${token}\r\n`;
  const origin = `Origin: http://127.0.0.1:${port}\r\n`;
  const get = (target, headers = host + cookie) =>
    `GET ${target} HTTP/1.1\r\n${headers}Connection: close\r\n\r\n`;
  const post = (body, headers = host + cookie + origin) =>
    `POST /input HTTP/1.1\r\n${headers}Content-Type: application/json\r\n` +
    `Content-Length: ${Buffer.byteLength(body)}\r\nConnection: close\r\n\r\n${body}`;
  // A link inside the browsable root that leads out of it.
  mkdirSync(join(dir, 'inside'));
  symlinkSync('/etc', join(dir, 'inside', 'out'));

  const label = (text) => page.locator('.tree-label').filter({hasText: new RegExp(`^${text}$`)});
  const button = (text) => page.locator('.tree-row').filter({has: label(text)}).locator('.tree-button');
  const shownWidth = () => page.evaluate(() => document.querySelector('.page-view').shadowRoot
      .querySelector('korvel-frame')?.shadowRoot.querySelector('#texture')?.naturalWidth);
  // The real tab: selecting a texture shows it, through the stream and /data.
  let shownTexture = 0;
  const tabIsServed = async (what) => {
    const [name, width] = shownTexture++ % 2 === 0 ? ['texture 1 · DXT5 128×128', 128] :
      ['texture 0 · DXT1 256×256', 256];
    const started = Date.now();
    await label(name).click({timeout: 20000});
    await page.waitForFunction((w) => document.querySelector('.page-view').shadowRoot
        .querySelector('korvel-frame')?.shadowRoot.querySelector('#texture')?.naturalWidth === w &&
        document.querySelector('.page-view').shadowRoot.querySelector('korvel-frame')
            .shadowRoot.querySelector('#texture').complete, width, {timeout: 20000})
        .catch(async () => assert.fail(`${what}: the tab shows width ${await shownWidth()}`));
    return Date.now() - started;
  };

  try {
    await page.goto(korvel.address);
    await button('textures.idx').click();
    await button('entry 0').click();
    await tabIsServed('at start');
    const start = await settledFigures(child.pid, () => true, 0);
    console.log(`at start: ${describe(start)}`);

    const big = (n) => 'x'.repeat(n);
    const cases = [
      ['no token', get('/', host), 403],
      ['a wrong token in the address', get(`/?token=${'0'.repeat(64)}`, host), 403],
      ['a wrong token in the cookie', get('/', host + 'Cookie: korvel_token=' + 'f'.repeat(64) + '\r\n'), 403],
      ['a token of another length', get('/', host + 'Cookie: korvel_token=abc\r\n'), 403],
      ['no token on the stream', get('/events', host), 403],
      ['no token for data', get('/data/1', host), 403],
      ['no token for a resource', get('/device/1', host), 403],
      ['no token for a listing', get('/fs', host), 403],
      ['no token on input', post('{"type":"desktop","width":8,"height":8}', host + origin), 403],
      ['a rebinding Host', get('/', `Host: attacker.example:${port}\r\n` + cookie), 403],
      ['a Host without its port', get('/', 'Host: 127.0.0.1\r\n' + cookie), 403],
      ['a Host with a userinfo', get('/', `Host: a@127.0.0.1:${port}\r\n` + cookie), 403],
      ['two Hosts', get('/', `Host: attacker.example\r\n${host}${cookie}`), 403],
      ['no Host', get('/', cookie), 403],
      ['a cross-origin POST', post('{"type":"desktop","width":8,"height":8}', host + cookie +
          'Origin: http://attacker.example\r\n'), 403],
      ['a POST from a look-alike origin', post('{"type":"desktop","width":8,"height":8}', host +
          cookie + `Origin: http://127.0.0.1:${port}.attacker.example\r\n`), 403],
      ['a null origin', post('{"type":"desktop","width":8,"height":8}', host + cookie +
          'Origin: null\r\n'), 403],
      ['no origin', post('{"type":"desktop","width":8,"height":8}', host + cookie), 403],
      ['data out of its root', get('/data/../../etc/passwd'), 404],
      ['data out of its root, encoded', get('/data/..%2f..%2fetc%2fpasswd'), [400, 404]],
      ['data with a negative id', get('/data/-1'), 400],
      ['data with an id past 64 bits', get('/data/99999999999999999999'), 400],
      ['a resource out of its root', get('/device/%2e%2e%2f%2e%2e%2fetc%2fpasswd'), [400, 404]],
      ['a resource id of letters', get('/device/abc'), 400],
      ['a client file out of its root', get('/client/../../../etc/passwd'), 404],
      ['a client file, encoded', get('/client/..%2f..%2fCMakeLists.txt'), 404],
      ['a client file of another kind', get('/client/index.html'), 404],
      ['a static file by absolute path', get('//etc/passwd'), 404],
      ['a page of the resource folder', get('/korvel_res/main.html'), 404],
      ['a listing of the parent', get('/fs?dir=..'), 403],
      ['a listing of /etc', get('/fs?dir=%2Fetc'), 403],
      ['a listing through ../', get('/fs?dir=inside%2F..%2F..%2F..'), 403],
      ['a listing through a link that leaves', get('/fs?dir=inside%2Fout'), 403],
      ['a listing with NUL', get('/fs?dir=inside%00%2Fetc'), 400],
      ['a listing path past its limit', get(`/fs?dir=${big(5000)}`), 414],
      ['a request line past the limit', get(`/data/${'1'.repeat(9000)}`), 414],
      ['a header past the limit', get('/', host + cookie + `X-Big: ${big(9000)}\r\n`), [400, 431]],
      ['ten thousand headers', get('/', host + cookie + `X-Many: ${big(100)}\r\n`.repeat(10000)),
        431],
      ['a body past the limit', post(big(4 * 1024 * 1024 + 1)), 413],
      ['a length of 2^63', `POST /input HTTP/1.1\r\n${host}${cookie}${origin}` +
          'Content-Length: 9223372036854775807\r\nConnection: close\r\n\r\n', 413],
      ['a negative length', `POST /input HTTP/1.1\r\n${host}${cookie}${origin}` +
          'Content-Length: -5\r\nConnection: close\r\n\r\n{}', [400, 413]],
      ['chunks past the limit', `POST /input HTTP/1.1\r\n${host}${cookie}${origin}` +
          'Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n' +
          `400000\r\n${big(0x400000)}\r\n10\r\n${big(16)}\r\n0\r\n\r\n`, [400, 413]],
      ['a chunk size past 64 bits', `POST /input HTTP/1.1\r\n${host}${cookie}${origin}` +
          'Transfer-Encoding: chunked\r\nConnection: close\r\n\r\nfffffffffffffffffff\r\nx\r\n0\r\n\r\n',
        [400, 413]],
      ['JSON nested a million deep', post('['.repeat(1000000) + ']'.repeat(1000000)), 400],
      ['JSON nested and left open', post('{"a":'.repeat(600000)), 400],
      ['a layout report past its limit', post(JSON.stringify({type: 'layout', window: 1,
        boxes: Array.from({length: 100001}, () => [1, 0, 0, 1, 1, 1])})), 400],
      ['a typed path past its limit', post(JSON.stringify({type: 'dialog', id: 1, answer: big(40000)})),
        400],
      ['a number with a thousand digits', post(`{"type":"desktop","width":${'9'.repeat(1000)},"height":1}`),
        400],
      ['text that is not UTF-8', post(Buffer.concat([Buffer.from('{"type":"key","text":"'),
        Buffer.from([0xff, 0xfe]), Buffer.from('"}')]).toString('latin1')), 400],
      ['an unknown method', `BREW / HTTP/1.1\r\n${host}${cookie}Connection: close\r\n\r\n`, [400, 404, 405]],
      ['a request that is no HTTP', 'hello\r\n\r\n', [400, 'closed']],
      ['the client, still served', get('/'), 200],
      ['the root listing, still served', get('/fs'), 200],
    ];
    // Twice: what the first pass took, the second must not add to.
    const afterPass = [];
    let refused = 0;
    for (let pass = 0; pass < 2; ++pass) {
      const wrong = [];
      for (const [fault, request, wanted] of cases) {
        const line = await exchange(port, request);
        const code = Number(line.split(' ')[1]) || line;
        const allowed = Array.isArray(wanted) ? wanted : [wanted];
        if (!allowed.includes(code)) {
          wrong.push(`${fault}: answered "${line}", wanted ${allowed.join(' or ')}`);
        }
        if (pass === 0 && (code >= 400 || code === 'closed')) ++refused;
      }
      assert.deepEqual(wrong, [], 'every hostile request is refused with its status');
      afterPass.push(processFigures(child.pid));
    }
    console.log(`hostile requests: ${cases.length} sent twice, ${refused} refused, each with ` +
        `its status; after the first pass ${describe(afterPass[0])}, after the second ` +
        `${describe(afterPass[1])}`);
    assert.ok(!memoryBounds || afterPass[1].rssKiB <= afterPass[0].rssKiB * 1.2 + 8 * 1024,
        'a second pass of hostile requests takes no more memory');
    await tabIsServed('after hostile requests');

    // Slow clients: each sends its headers a few bytes at a time and holds a
    // connection; the tab is served meanwhile.
    const pieces = ['GET / HTTP/1.1\r\n', host, ...Array.from({length: 40}, (_, i) => `X-${i}: y\r\n`)];
    const slow = Array.from({length: slowClients}, () =>
      exchange(port, pieces, {pauseMs: 1000, timeoutMs: 60000}));
    await new Promise((r) => setTimeout(r, 3000));
    const held = processFigures(child.pid);
    const slowServed = await tabIsServed(`with ${slowClients} slow clients`);
    const plainStarted = Date.now();
    const plainLine = await exchange(port, get('/'), {timeoutMs: 30000});
    const plainMs = Date.now() - plainStarted;
    assert.equal(plainLine, 'HTTP/1.1 200 OK', `a plain request with slow clients: ${plainLine}`);
    const slowEnds = await Promise.all(slow);
    console.log(`${slowClients} slow clients: the tab was served in ${slowServed} ms and a new ` +
        `connection in ${plainMs} ms while they ` +
        `held ${held.fds} open files and ${held.threads} threads; they ended with: ` +
        `${[...new Set(slowEnds)].join(', ')}`);

    // A flood: floodRate requests a second, new connections, a mix of refused and served.
    const floodCases = [get('/', host), get('/'), get('/data/1'), get('/fs?dir=..'),
      get('/', `Host: attacker.example:${port}\r\n` + cookie),
      post('{"type":"desktop","width":8,"height":8}', host + cookie)];
    const counts = {};
    const inFlight = new Set();
    let peakRss = 0;
    const floodStart = Date.now();
    let sent = 0;
    while (Date.now() - floodStart < floodSeconds * 1000) {
      const due = Math.floor((Date.now() - floodStart) * floodRate / 1000);
      for (; sent < due; ++sent) {
        const request = exchange(port, floodCases[sent % floodCases.length], {timeoutMs: 20000})
            .then((line) => {
              counts[line] = (counts[line] || 0) + 1;
              inFlight.delete(request);
            });
        inFlight.add(request);
      }
      peakRss = Math.max(peakRss, processFigures(child.pid).rssKiB);
      await new Promise((r) => setTimeout(r, 5));
    }
    const sending = (Date.now() - floodStart) / 1000;
    const floodTabMs = await tabIsServed('during the flood');
    await Promise.all(inFlight);
    const elapsed = (Date.now() - floodStart) / 1000;
    console.log(`flood: ${sent} requests sent in ${sending.toFixed(1)} s ` +
        `(${Math.round(sent / sending)}/s), all answered after ${elapsed.toFixed(1)} s, ` +
        `answers: ${JSON.stringify(counts)}; ` +
        `peak RSS ${(peakRss / 1024).toFixed(1)} MiB; the tab was served in ${floodTabMs} ms`);
    assert.equal((counts['no answer'] || 0) + (counts.reset || 0) + (counts.closed || 0), 0,
        'every flood request is answered');

    await tabIsServed('at the end');
    const end = await settledFigures(child.pid,
        (f) => f.threads <= start.threads && f.fds <= start.fds);
    console.log(`at the end: ${describe(end)}`);
    assert.ok(end.threads <= start.threads, `threads left behind: ${start.threads} -> ${end.threads}`);
    assert.ok(end.fds <= start.fds, `open files left behind: ${start.fds} -> ${end.fds}`);
    assert.ok(!memoryBounds || end.rssKiB < start.rssKiB * 1.5 + 64 * 1024,
        `memory grew: ${describe(start)} -> ${describe(end)}`);
    assert.equal(child.exitCode, null, 'korvel still runs');
    console.log('attack: passed');
  } catch (error) {
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
