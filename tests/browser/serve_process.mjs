// corvlin-host serve as the page and push-client tests start and stop it.
import { spawn } from 'node:child_process';
import { dirname, join } from 'node:path';
import { createInterface } from 'node:readline';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
export const host = process.env.CORVLIN_HOST ?? join(here, '../../build/bin/corvlin-host');

// Starts `corvlin-host serve ARGS`; resolves, once it says where it serves, with the process,
// its address ("http://127.0.0.1:PORT/" or "https://...") and its port.
export function startServe(args, stderr = 'inherit') {
  return new Promise((resolve, reject) => {
    const child = spawn(host, ['serve', ...args], { stdio: ['ignore', 'pipe', stderr] });
    child.once('error', reject);
    child.once('exit', (code) => reject(new Error(`serve exited ${code} before it served`)));
    createInterface({ input: child.stdout }).once('line', (line) => {
      const match = /^serving (https?:\/\/127\.0\.0\.1:(\d+)\/)$/.exec(line);
      if (match) resolve({ child, url: match[1], port: Number(match[2]) });
      else reject(new Error(`serve's first line: ${line}`));
    });
  });
}

// Ends a server with SIGTERM; resolves with its exit code (0 when it ended cleanly).
export function stopServe(child) {
  if (child.exitCode !== null) return Promise.resolve(child.exitCode);
  const exited = new Promise((resolve) => child.once('exit', (code) => resolve(code)));
  child.kill('SIGTERM');
  return exited;
}
