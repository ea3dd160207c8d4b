// A korvel run for a browser test: the program copied into a fresh folder
// with a copy of the sample archives, started on a free port, and a headless
// Chromium with a fresh profile pointed at the address it prints.
import {spawn} from 'node:child_process';
import {cpSync, mkdtempSync, rmSync, copyFileSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join} from 'node:path';
import {chromium} from 'playwright-core';

export const buildDir = process.env.KORVEL_BUILD_DIR || join(import.meta.dirname, '../../build');

const chromiumArgs = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic',
  '--no-first-run', '--disable-background-networking', '--disable-component-update',
  '--disable-sync'];

export async function startKorvel() {
  const dir = mkdtempSync(join(tmpdir(), 'korvel-browser-'));
  copyFileSync(join(buildDir, 'korvel'), join(dir, 'korvel'));
  cpSync(join(buildDir, 'korvel_res'), join(dir, 'korvel_res'), {recursive: true,
    filter: (path) => !path.includes('CMakeFiles')});
  const child = spawn(join(dir, 'korvel'), ['--port', '0'], {cwd: dir, env: {...process.env,
    HOME: dir}});
  let output = '';
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({code,
    signal})));
  const address = await new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error(`korvel printed no address: ${output}`)),
        20000);
    const take = (chunk) => {
      output += chunk;
      const found = output.match(/http:\/\/127\.0\.0\.1:(\d+)\/\?token=[0-9a-f]+/);
      if (found) {
        clearTimeout(timer);
        resolve(found[0]);
      }
    };
    child.stdout.on('data', take);
    child.stderr.on('data', take);
    child.on('exit', () => reject(new Error(`korvel ended early: ${output}`)));
  });
  const port = Number(new URL(address).port);
  console.log(`korvel serves on port ${port}`);
  const profile = join(dir, 'chromium-profile');
  const browser = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium', args: chromiumArgs, headless: true,
    viewport: {width: 1400, height: 900}, bypassCSP: true});
  const page = browser.pages()[0] || await browser.newPage();
  return {
    dir, child, address, port, browser, page, exited, output: () => output,
    async stop() {
      await browser.close().catch(() => {});
      if (child.exitCode === null && child.signalCode === null) child.kill('SIGKILL');
      rmSync(dir, {recursive: true, force: true});
    },
  };
}
