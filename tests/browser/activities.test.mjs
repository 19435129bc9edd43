// Several activities in one page: each in its place, a broken one showing why.
import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';
import { accents, box, launch, openPage } from './support.mjs';

let browser;
before(async () => { browser = await launch(); });
after(async () => { await browser?.close(); });

describe('a list with an activity that does not decode', () => {
  let page;
  before(async () => { ({ page } = await openPage(browser, 'several')); });
  const activity = (n) => page.locator(`[data-activity="${n}"]`);

  test('shows every activity in order, the broken one as its error', async () => {
    const headings = await page.locator('[data-testid="activity"] > h2').allTextContents();
    assert.deepEqual(headings, ['Activity 1 of 3', 'Activity 2 of 3', 'Activity 3 of 3']);
    const error = activity(2).getByTestId('activity-error');
    assert.match(await error.textContent(), /does not decode.*typeMismatch.*title/s);
    assert.equal(await activity(2).locator('[data-presentation]').count(), 0);
    for (const n of [1, 3]) {
      assert.equal(await activity(n).getByTestId('activity-error').count(), 0);
      assert.equal(await activity(n).locator('[data-presentation]').count(), 4);
    }
    const tops = await Promise.all([1, 2, 3].map(async (n) => (await box(activity(n))).y));
    assert.ok(tops[0] < tops[1] && tops[1] < tops[2]);
  });

  test('lays each working activity out side by side, in its own tone', async () => {
    for (const [n, tone] of [[1, 'warning'], [3, 'positive']]) {
      const card = await box(activity(n).getByTestId('lock-screen'));
      const island = await box(activity(n).getByTestId('island-expanded'));
      assert.equal(card.y, island.y);
      assert.ok(island.x > card.right, 'the island stands right of the card');
      const dot = await activity(n).getByTestId('minimal').locator('circle')
        .evaluate((c) => getComputedStyle(c).fill);
      assert.equal(dot, accents[tone]);
    }
  });
});
