// The page's overflow badge and render's clipped warning measure the same lock screen: one that
// fits (no badge, no warning), one just over and one far over, each within a few points.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, test } from 'node:test';
import { launch, openPage, pagesDir } from './support.mjs';

let browser;
before(async () => { browser = await launch(); });
after(async () => { await browser?.close(); });

// The points the warning gives the lock screen's content of each activity, or null for none.
function warnedHeights() {
  const activities = JSON.parse(readFileSync(join(pagesDir, 'clipping.json'), 'utf8'));
  return activities.map((a) => {
    const w = (a.warnings ?? []).find((x) => x.warning.kind === 'clipped' &&
      x.warning.presentation === 'lockScreen');
    if (!w) return null;
    assert.match(w.warning.description, /the phone shows 160 pt/);
    return Number(w.warning.description.match(/content is (\d+) pt tall/)[1]);
  });
}

test('the overflow badge and the clipped warning agree within a few points', async () => {
  const { page, seen } = await openPage(browser, 'clipping');
  await page.waitForFunction(() => document.querySelector('[data-now]').dataset.measured === 'true');
  const warned = warnedHeights();
  assert.equal(warned.length, 3);
  const badges = [];
  for (let i = 1; i <= 3; i++) {
    const badge = page.locator(`[data-activity="${i}"] figure[data-presentation="lockScreen"]`)
      .getByTestId('overflow-badge');
    if (await badge.count() === 0) {
      badges.push(null);
      continue;
    }
    const text = await badge.textContent();
    badges.push(Number(text.match(/^content (\d+) pt, the phone shows 160 pt$/)[1]));
  }
  console.log(`page: ${badges}, warnings: ${warned}`);
  assert.equal(badges[0], null, 'the first fits the page');
  assert.equal(warned[0], null, 'and gives no warning');
  for (const i of [1, 2]) {
    assert.ok(badges[i] !== null && warned[i] !== null, `activity ${i + 1}: ${badges[i]} ${warned[i]}`);
    assert.ok(Math.abs(badges[i] - warned[i]) <= 4,
      `activity ${i + 1}: the page says ${badges[i]} pt, the warning ${warned[i]} pt`);
  }
  assert.ok(warned[1] < 175, `the second is just over: ${warned[1]} pt`);
  assert.ok(warned[2] > 250, `the third is far over: ${warned[2]} pt`);
  // Each warning is on the page too, under its activity.
  for (const i of [2, 3]) {
    const kinds = await page.locator(`[data-activity="${i}"] [data-testid="warnings"] li`)
      .evaluateAll((items) => items.map((li) => li.dataset.kind));
    assert.ok(kinds.includes('clipped'), `activity ${i}: ${kinds}`);
  }
  assert.deepEqual(seen.errors, []);
});
