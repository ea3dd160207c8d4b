// What a running korvel holds, read from /proc: resident memory, threads and
// open files, for checking that a long run leaves nothing behind.
import {readFileSync, readdirSync} from 'node:fs';

export function processFigures(pid) {
  const status = readFileSync(`/proc/${pid}/status`, 'utf8');
  const rssKiB = Number(status.match(/VmRSS:\s+(\d+)/)[1]);
  return {
    rssKiB,
    threads: readdirSync(`/proc/${pid}/task`).length,
    fds: readdirSync(`/proc/${pid}/fd`).length,
  };
}

export function describe(figures) {
  return `RSS ${(figures.rssKiB / 1024).toFixed(1)} MiB, ${figures.threads} threads, ` +
      `${figures.fds} open files`;
}

// Counts settle once the server's workers are idle and streams closed.
export async function settledFigures(pid, wanted, timeoutMs = 15000) {
  const until = Date.now() + timeoutMs;
  let figures = processFigures(pid);
  while (Date.now() < until && !wanted(figures)) {
    await new Promise((resolve) => setTimeout(resolve, 250));
    figures = processFigures(pid);
  }
  return figures;
}

// False in a sanitizer build, whose allocator keeps freed memory in
// quarantine: there the runs print their memory figures but do not bound them.
export const memoryBounds = process.env.KORVEL_MEMORY_BOUNDS !== '0';
