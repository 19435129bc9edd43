// Timers keep themselves current in the page, from the instant the host rendered at.
import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';
import { launch, openPage } from './support.mjs';

let browser;
before(async () => { browser = await launch(); });
after(async () => { await browser?.close(); });

const textOf = (locator) => locator.evaluate((e) => e.textContent);

describe('the default countdown', () => {
  test('ticks down within two seconds, in every presentation that shows it', async () => {
    const { page } = await openPage(browser, 'default');
    const timers = page.locator('.timer');
    assert.equal(await timers.count(), 3, 'ring centre, expanded leading, compact trailing');
    const first = await textOf(timers.first());
    assert.match(first, /^1:(30|29|28)$/);
    await page.waitForFunction(
      (was) => document.querySelector('.timer').textContent !== was, first, { timeout: 2500 });
    const now = await timers.allTextContents();
    assert.equal(new Set(now).size, 1, `timers disagree: ${now}`);
    assert.ok(now[0] < first, `${now[0]} should be less than ${first}`);
  });

  test('uses tabular digits at the sizes of its text styles', async () => {
    const { page } = await openPage(browser, 'default');
    const fonts = await page.locator('.timer').evaluateAll((ts) => ts.map((t) => {
      const s = getComputedStyle(t);
      return [s.fontSize, s.fontWeight, s.fontVariantNumeric];
    }));
    assert.deepEqual(fonts, [['12px', '600', 'tabular-nums'], ['22px', '400', 'tabular-nums'],
      ['11px', '400', 'tabular-nums']]);
  });
});

describe('timers in their other states', () => {
  let page;
  before(async () => { ({ page } = await openPage(browser, 'timers')); });
  const activity = (n) => page.locator(`[data-activity="${n}"]`);

  test('a countdown reaching its end stops at 0:00', async () => {
    // At its end the extension's later answer takes the place of the running timer.
    const ring = '[data-activity="1"] [data-testid="lock-screen"] .zstack .text';
    await page.waitForFunction((q) => document.querySelector(q)?.textContent === '0:00', ring, { timeout: 2500 });
    await page.waitForTimeout(600);
    assert.deepEqual(await page.locator(ring).allTextContents(), ['0:00']);
  });

  test('a countdown that had ended reads 0:00 and shows no buttons', async () => {
    const card = activity(2).getByTestId('lock-screen');
    assert.equal(await card.locator('.timer').count(), 0, 'a finished countdown is plain text');
    assert.deepEqual(await card.locator('.zstack .text').allTextContents(), ['0:00']);
    assert.equal(await activity(2).getByTestId('action-link').count(), 0);
  });

  test('a count-up past an hour shows hours and keeps counting', async () => {
    const timer = activity(3).getByTestId('expanded-leading').locator('.timer');
    const first = await textOf(timer);
    assert.match(first, /^1:02:0[5-9]$/);
    await page.waitForFunction((e) => e.textContent !== '1:02:05' && e.textContent > '1:02:05',
      await timer.elementHandle(), { timeout: 2500 });
  });
});
