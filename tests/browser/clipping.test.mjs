// The page's cut badges are render's clipped warnings, from the one layout behind both: a lock
// screen that fits (no badge, no warning), one just over and one far over; and the card of a
// page written with --width 408 is that wide.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, test } from 'node:test';
import { box, launch, openPage, pagesDir } from './support.mjs';

let browser;
before(async () => { browser = await launch(); });
after(async () => { await browser?.close(); });

// Each activity's layout warnings about the lock screen, as render --format json wrote them.
function lockScreenWarnings() {
  const activities = JSON.parse(readFileSync(join(pagesDir, 'clipping.json'), 'utf8'));
  return activities.map((a) => (a.warnings ?? []).map((x) => x.warning).filter((w) =>
    (w.kind === 'clipped' || w.kind === 'truncated') && w.presentation === 'lockScreen'));
}

test('each badge under the lock screen is one of render\'s warnings, word for word', async () => {
  const { page, seen } = await openPage(browser, 'clipping');
  const warned = lockScreenWarnings();
  assert.equal(warned.length, 3);
  for (let i = 1; i <= 3; i++) {
    const figure = page.locator(`[data-activity="${i}"] figure[data-presentation="lockScreen"]`);
    const badges = await figure.getByTestId('overflow-badge').evaluateAll((bs) =>
      bs.map((b) => ({ kind: b.dataset.kind, text: b.textContent })));
    assert.deepEqual(badges, warned[i - 1].map((w) => ({ kind: w.kind, text: w.description })),
      `activity ${i}`);
    // The card is as tall as its content, up to the 160 points the phone shows.
    const card = await box(figure.getByTestId('lock-screen'));
    assert.ok(card.height >= 84 && card.height <= 160, `activity ${i}: ${card.height}`);
    const clipped = warned[i - 1].find((w) => w.kind === 'clipped');
    if (clipped) {
      assert.match(clipped.description, /the phone shows 160 pt/);
      assert.equal(card.height, 160);
    }
  }
  assert.equal(warned[0].length, 0, 'the first fits, and gives no warning');
  assert.ok(warned[2].length > 0, 'the third is far over');
  // Each warning is in the activity's panel too.
  for (const i of [2, 3]) {
    const kinds = await page.locator(`[data-activity="${i}"] [data-testid="warnings"] li`)
      .evaluateAll((items) => items.map((li) => li.dataset.kind));
    for (const w of warned[i - 1]) assert.ok(kinds.includes(w.kind), `activity ${i}: ${kinds}`);
  }
  assert.deepEqual(seen.errors, []);
});

test('a page written for the larger phone lays the lock screen out 408 points wide', async () => {
  const { page, seen } = await openPage(browser, 'wide');
  for (let i = 1; i <= 3; i++) {
    const figure = page.locator(`[data-activity="${i}"] figure[data-presentation="lockScreen"]`);
    assert.equal((await box(figure.getByTestId('lock-screen'))).width, 408);
    assert.match(await figure.locator('figcaption').textContent(), /408 pt wide/);
  }
  // No choice of width on the page: it is one layout, chosen when the page was written.
  assert.equal(await page.locator('input[name="lock-screen-width"]').count(), 0);
  assert.deepEqual(seen.errors, []);
});
