// Shared by the browser tests: Debian's Chromium through playwright-core, the pages run.sh
// wrote, and a few measurements of what a person would see.
import { existsSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { chromium } from 'playwright-core';

const here = dirname(fileURLToPath(import.meta.url));
export const pagesDir = resolve(process.env.CORVLIN_PREVIEW_PAGES ?? join(here, '../../build/browser'));
export const screenshotPath = resolve(
  process.env.CORVLIN_PREVIEW_SCREENSHOT ?? join(pagesDir, '../preview.png'));

// The accents by tone, as the computed style serialises them.
export const accents = {
  danger: 'color(srgb 1 0.3 0.37)',
  warning: 'color(srgb 1 0.62 0.11)',
  positive: 'color(srgb 0.13 0.77 0.37)',
  default: 'color(srgb 0.18 0.42 1)',
};

export async function launch() {
  return chromium.launch({
    headless: true,
    executablePath: '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
}

// Opens one of the written pages from its file:// address. Every request that leaves the file
// itself, page errors and dialogs are recorded, so that tests can insist there are none.
export async function openPage(browser, name, viewport = { width: 1600, height: 900 }) {
  const file = join(pagesDir, `${name}.html`);
  if (!existsSync(file)) throw new Error(`${file} is missing: run tests/browser/run.sh`);
  const page = await browser.newPage({ viewport, deviceScaleFactor: 1 });
  const url = pathToFileURL(file).href;
  const seen = { requests: [], errors: [], dialogs: [], cspViolations: [] };
  page.on('request', (r) => { if (r.url() !== url) seen.requests.push(r.url()); });
  page.on('pageerror', (e) => seen.errors.push(String(e)));
  page.on('dialog', async (d) => { seen.dialogs.push(d.message()); await d.dismiss(); });
  page.on('console', (m) => {
    if (/Content Security Policy/i.test(m.text())) seen.cspViolations.push(m.text());
  });
  await page.goto(url);
  return { page, seen };
}

export async function box(locator) {
  const b = await locator.boundingBox();
  if (!b) throw new Error('element is not rendered');
  return { ...b, right: b.x + b.width, bottom: b.y + b.height,
    cx: b.x + b.width / 2, cy: b.y + b.height / 2 };
}

// The colours at the given page points of a screenshot, as [r, g, b] 0 to 255. The PNG is
// decoded by a blank page's own image decoder.
export async function pixelsAt(browser, png, points) {
  const page = await browser.newPage();
  try {
    return await page.evaluate(async ({ data, points: ps }) => {
      const image = new Image();
      image.src = `data:image/png;base64,${data}`;
      await image.decode();
      const canvas = document.createElement('canvas');
      canvas.width = image.width;
      canvas.height = image.height;
      const context = canvas.getContext('2d');
      context.drawImage(image, 0, 0);
      return ps.map(([x, y]) => {
        const d = context.getImageData(Math.round(x), Math.round(y), 1, 1).data;
        return [d[0], d[1], d[2]];
      });
    }, { data: png.toString('base64'), points });
  } finally {
    await page.close();
  }
}

export function colourDistance(a, b) {
  return Math.max(...a.map((v, i) => Math.abs(v - b[i])));
}
