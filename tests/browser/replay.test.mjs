// The replay page: one step at a time, chosen with the scrubber, the arrow keys and the
// timeline; each step's state marked, its timers running from the step's instant, and ignored
// and rejected records with their reasons in plain view.
import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';
import { launch, openPage } from './support.mjs';

let browser;
before(async () => { browser = await launch(); });
after(async () => { await browser?.close(); });

// What the page shows now: the visible step's index, its state badge and the position text.
async function shown(page) {
  return page.evaluate(() => {
    const visible = [...document.querySelectorAll('[data-testid="replay-step"]')]
      .filter((s) => !s.hidden && s.getClientRects().length > 0);
    return {
      visible: visible.map((s) => Number(s.dataset.step)),
      badge: visible[0]?.querySelector('[data-testid="state-badge"]').textContent,
      position: document.querySelector('[data-testid="step-position"]').textContent,
      scrubber: document.querySelector('[data-testid="scrubber"]').value,
      current: document.querySelector('.timeline-step[aria-current="step"]')?.dataset.step,
    };
  });
}

describe('a delivery replayed', () => {
  let page;
  let seen;
  before(async () => {
    ({ page, seen } = await openPage(browser, 'replay-delivery'));
    await page.waitForFunction(() => document.body.dataset.live === 'true');
  });

  test('loads with nothing fetched, no errors and no CSP violation', () => {
    assert.deepEqual(seen.requests, []);
    assert.deepEqual(seen.errors, []);
    assert.deepEqual(seen.cspViolations, []);
  });

  test('starts on the first step, one step shown at a time', async () => {
    assert.deepEqual(await shown(page), {
      visible: [0], badge: 'active', position: 'Step 1 of 5', scrubber: '0', current: '0' });
    assert.equal(await page.getByTestId('timeline-step').count(), 5);
  });

  test('the arrow keys step forward and back, Home and End jump', async () => {
    const steps = [];
    for (const key of ['ArrowRight', 'ArrowRight', 'ArrowLeft', 'End', 'ArrowRight', 'Home']) {
      await page.keyboard.press(key);
      const s = await shown(page);
      steps.push([key, s.visible[0], s.badge, s.scrubber, s.current]);
    }
    assert.deepEqual(steps, [
      ['ArrowRight', 1, 'active', '1', '1'],
      ['ArrowRight', 2, 'active', '2', '2'],
      ['ArrowLeft', 1, 'active', '1', '1'],
      ['End', 4, 'dismissed', '4', '4'],
      ['ArrowRight', 4, 'dismissed', '4', '4'],
      ['Home', 0, 'active', '0', '0'],
    ]);
  });

  test('the scrubber chooses the step, by value and by its own keys', async () => {
    const scrubber = page.getByTestId('scrubber');
    await scrubber.evaluate((e) => {
      e.value = '3';
      e.dispatchEvent(new Event('input', { bubbles: true }));
    });
    let s = await shown(page);
    assert.deepEqual([s.visible, s.badge, s.position], [[3], 'ended', 'Step 4 of 5']);
    await scrubber.focus();
    await page.keyboard.press('ArrowLeft');
    s = await shown(page);
    assert.deepEqual([s.visible, s.scrubber], [[2], '2'], 'one step per key on the scrubber');
  });

  test('the ended step is drawn, the dismissed one says nothing is shown', async () => {
    await page.getByTestId('timeline-step').nth(3).click();
    const ended = page.locator('[data-testid="replay-step"][data-step="3"]');
    assert.equal(await ended.getByTestId('lock-screen').count(), 1);
    assert.match(await ended.getByTestId('lock-screen').textContent(), /Order 42 delivered/);
    await page.getByTestId('timeline-step').nth(4).click();
    const dismissed = page.locator('[data-testid="replay-step"][data-step="4"]');
    assert.equal(await dismissed.getByTestId('lock-screen').count(), 0);
    assert.match(await dismissed.getByTestId('nothing-shown').textContent(), /dismissed/);
    assert.match(await dismissed.getByTestId('step-note').textContent(),
      /the dismissal date was reached/);
  });

  test("timers run on from the step's own instant", async () => {
    await page.keyboard.press('Home');
    const timer = page.locator('[data-testid="replay-step"][data-step="0"] [data-testid="lock-screen"] .timer');
    assert.equal(await timer.textContent(), '40:00');
    await page.waitForFunction((e) => e.textContent === '39:59', await timer.elementHandle(),
      { timeout: 2500 });
    await page.keyboard.press('ArrowRight');
    await page.keyboard.press('ArrowRight');
    const third = page.locator('[data-testid="replay-step"][data-step="2"] [data-testid="lock-screen"] .timer');
    assert.match(await third.textContent(), /^(5:00|4:59)$/);
  });
});

describe('a timeline with broken records', () => {
  test('shows each rejected record and its error in the timeline, the others still drawn', async () => {
    const { page, seen } = await openPage(browser, 'replay-broken');
    assert.deepEqual(seen.errors, []);
    const outcomes = await page.locator('.timeline-step').evaluateAll(
      (items) => items.map((i) => [i.dataset.outcome, i.dataset.state]));
    assert.deepEqual(outcomes, [
      ['applied', 'active'], ['rejected', 'active'], ['rejected', 'active'],
      ['rejected', 'active'], ['applied', 'active'], ['applied', 'ended'],
      ['applied', 'dismissed']]);
    const reasons = await page.getByTestId('step-reason').allTextContents();
    assert.ok(reasons.some((r) => r.includes('keyNotFound at aps.content-state.actions[1].label')),
      reasons.join('\n'));
    assert.ok(reasons.some((r) => r.includes('dataCorrupted at aps.event')), reasons.join('\n'));
    await page.getByTestId('timeline-step').nth(2).click();
    const rejected = page.locator('[data-testid="replay-step"][data-step="2"]');
    assert.match(await rejected.getByTestId('step-note').textContent(), /keyNotFound/);
    assert.match(await rejected.getByTestId('lock-screen').textContent(), /Order 9 confirmed/,
      'a rejected record changes nothing: the last content stays');
  });
});

describe('a timeline with a timestamp in milliseconds', () => {
  test('shows the warning under its step, and the next update ignored because of it', async () => {
    const { page, seen } = await openPage(browser, 'replay-milliseconds');
    assert.deepEqual(seen.errors, []);
    const marks = await page.locator('.timeline-step').evaluateAll((items) =>
      items.map((i) => i.querySelector('[data-testid="step-warnings"]')?.textContent ?? ''));
    assert.deepEqual(marks, ['', '⚠ 2 warnings', '', '', ''], 'the timeline marks the warned step');
    await page.getByTestId('timeline-step').nth(1).click();
    const warned = page.locator('[data-testid="replay-step"][data-step="1"]');
    const kinds = await warned.getByTestId('warnings').locator('li').evaluateAll(
      (items) => items.map((i) => i.dataset.kind));
    assert.deepEqual(kinds, ['millisecondsInstant', 'unknownKeyword']);
    assert.ok(await warned.getByTestId('warnings').isVisible());
    assert.match(await warned.getByTestId('warnings').textContent(),
      /ignores every later update as older than this one/);
    await page.getByTestId('timeline-step').nth(2).click();
    const next = page.locator('[data-testid="replay-step"][data-step="2"]');
    assert.match(await next.getByTestId('step-note').textContent(), /older than the last update/);
    assert.equal(await next.getByTestId('warnings').count(), 0);
  });
});
