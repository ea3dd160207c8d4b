// Replacements killed by SIGKILL at random moments: after each, the archive
// reads back with the texture as before or as after and every other texture
// unchanged, and a temporary index a killed run left is gone after the next
// replacement. Usage: node replace_kills.mjs [kills] (20 in ctest, 200 by
// `make faults`).
import assert from 'node:assert/strict';
import {spawn, spawnSync} from 'node:child_process';
import {copyFileSync, mkdtempSync, readFileSync, readdirSync, rmSync, statSync, writeFileSync}
  from 'node:fs';
import {tmpdir} from 'node:os';
import {join} from 'node:path';
import {buildDir} from '../browser/korvel_session.mjs';
import {solidDxt3} from './dds_samples.mjs';

const kills = Number(process.argv[2] || 20);
const cli = join(buildDir, 'tools/cli/korvel-cli');
const key = '.\\00000001\\0.dds';  // a DXT3 texture between others in its entry
const others = ['.\\00000001\\1.dds', '.\\00000001\\2.dds', '.\\00000000\\0.dds'];
const temporary = /^textures\.idx\.tmp-[A-Za-z0-9]{6}$/;

const dir = mkdtempSync(join(tmpdir(), 'korvel-kills-'));
const index = join(dir, 'textures.idx');
for (const name of ['textures.idx', 'textures.bin']) {
  copyFileSync(join(buildDir, 'korvel_res/samples', name), join(dir, name));
}

function run(...args) {
  const result = spawnSync(cli, args, {encoding: 'utf8'});
  return {code: result.status, output: (result.stdout || '') + (result.stderr || '')};
}

function extract(which) {
  const out = join(dir, 'read-back.dds');
  rmSync(out, {force: true});
  const {code, output} = run('extract', index, which, out);
  assert.equal(code, 0, `the archive no longer reads ${which}: ${output}`);
  return readFileSync(out);
}

function temporaries() {
  return readdirSync(dir).filter((name) => temporary.test(name));
}

try {
  // Two new textures, and what each reads back as once in place.
  const sides = [0x001f, 0x07e0].map((colour, i) => {
    const path = join(dir, `side${i}.dds`);
    writeFileSync(path, solidDxt3(256, 128, colour));
    return path;
  });
  const original = extract(key);
  const otherBytes = others.map(extract);
  const readBack = sides.map((path) => {
    const started = process.hrtime.bigint();
    const {code, output} = run('replace', index, key, path);
    const ms = Number(process.hrtime.bigint() - started) / 1e6;
    assert.equal(code, 0, output);
    return {bytes: extract(key), ms};
  });
  assert.notDeepEqual(readBack[0].bytes, readBack[1].bytes);
  assert.notDeepEqual(readBack[1].bytes, original);
  const span = Math.min(readBack[0].ms, readBack[1].ms) * 0.9;

  const dataBefore = statSync(join(dir, 'textures.bin')).size;
  let current = 1;
  let asBefore = 0;
  let asAfter = 0;
  let leftTemporary = 0;
  let finished = 0;
  for (let round = 0; round < kills; ++round) {
    const target = 1 - current;
    const before = temporaries();
    const child = spawn(cli, ['replace', index, key, sides[target]], {stdio: 'ignore'});
    const delay = Math.random() * span;
    const ended = new Promise((resolve) => child.on('exit', (code, signal) => resolve(signal)));
    setTimeout(() => child.kill('SIGKILL'), delay);
    const signal = await ended;
    const now = extract(key);
    if (now.equals(readBack[current].bytes)) {
      ++asBefore;
    } else if (now.equals(readBack[target].bytes)) {
      ++asAfter;
      current = target;
    } else {
      assert.fail(`after a kill at ${delay.toFixed(1)} ms the texture reads as neither`);
    }
    others.forEach((other, i) => assert.ok(extract(other).equals(otherBytes[i]),
        `after a kill at ${delay.toFixed(1)} ms ${other} changed`));
    const after = temporaries();
    if (after.some((name) => !before.includes(name))) ++leftTemporary;
    if (signal !== 'SIGKILL') {
      // A replacement that ran to its end removed what killed ones left.
      ++finished;
      assert.deepEqual(after, [], 'a finished replacement leaves no temporary index');
    }
  }
  const left = temporaries();
  // The next replacement removes what killed ones left.
  const {code, output} = run('replace', index, key, sides[1 - current]);
  assert.equal(code, 0, output);
  assert.deepEqual(temporaries(), [], 'a temporary index stays after the next replacement');
  const grown = statSync(join(dir, 'textures.bin')).size - dataBefore;
  console.log(`replace kills: ${kills} runs killed at random within ${span.toFixed(0)} ms ` +
      `(${finished} finished first): ${asBefore} read back as before, ${asAfter} as after, ` +
      `none otherwise; ${leftTemporary} kills left a temporary index, each removed by the next ` +
      `replacement (${left.length} left before the last one); the data file grew by ${grown} ` +
      `bytes of unreferenced payloads`);
} finally {
  rmSync(dir, {recursive: true, force: true});
}
