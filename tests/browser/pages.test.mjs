// Every page stands alone: nothing loaded from anywhere, a strict policy, no errors.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, test } from 'node:test';
import { launch, openPage, pagesDir } from './support.mjs';

let browser;
before(async () => { browser = await launch(); });
after(async () => { await browser?.close(); });

for (const name of ['default', 'ring-quarter', 'timers', 'actions', 'several']) {
  test(`${name}: loads nothing, applies its own style and script under a strict policy`, async () => {
    const source = readFileSync(join(pagesDir, `${name}.html`), 'utf8');
    assert.doesNotMatch(source, /https?:|(?<!corvlin:)\/\/[a-z]/i, 'no address but the deep links');
    assert.doesNotMatch(source, /url\(|@import/, 'the stylesheet loads nothing');

    const { page, seen } = await openPage(browser, name);
    const policy = await page.locator('meta[http-equiv="Content-Security-Policy"]').getAttribute('content');
    assert.match(policy, /default-src 'none'/);
    assert.match(policy, /script-src 'sha256-[A-Za-z0-9+/]{43}='/);
    assert.doesNotMatch(policy, /unsafe/);
    const loaders = await page.evaluate(() => [...document.querySelectorAll('*')].filter((e) =>
      e.hasAttribute('src') || ['LINK', 'IFRAME', 'OBJECT', 'EMBED', 'IMG'].includes(e.tagName) ||
      [...e.attributes].some((a) => a.name.startsWith('on'))).map((e) => e.outerHTML));
    assert.deepEqual(loaders, [], 'nothing that loads or handles events inline');
    // The stylesheet applied (the island cuts what lies outside it) and the script ran (it marks
    // the canvas). (Read in one step: a countdown's end may swap the answer in between.)
    assert.equal(await page.evaluate(
      () => getComputedStyle(document.querySelector('.island-expanded')).overflow), 'hidden');
    assert.equal(await page.getByTestId('canvas').getAttribute('data-live'), 'true');
    await page.waitForTimeout(300);
    assert.deepEqual(seen, { requests: [], errors: [], dialogs: [], cspViolations: [] });
  });
}
