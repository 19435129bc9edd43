// The page tells what the phone would cut off, keeps timers on one line, and follows the
// extension's later answer on its own clock.
import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';
import { box, launch, openPage } from './support.mjs';

let browser;
before(async () => { browser = await launch(); });
after(async () => { await browser?.close(); });

describe('overflow', () => {
  test('the default activity fits every frame: no badge', async () => {
    const { page, seen } = await openPage(browser, 'default');
    assert.equal(await page.getByTestId('overflow-badge').count(), 0);
    assert.deepEqual(seen.errors, []);
  });

  test('an oversized lock screen says by how much, and shows the cut part on request', async () => {
    const { page, seen } = await openPage(browser, 'honest');
    const activity = page.locator('[data-activity="1"]');
    const figure = activity.locator('figure[data-presentation="lockScreen"]');
    const badge = figure.locator('[data-testid="overflow-badge"][data-kind="clipped"]');
    const text = await badge.textContent();
    const [, content] = text.match(/content is (\d+) pt tall; the phone shows 160 pt/) ?? [];
    assert.ok(Number(content) > 160, text);

    const card = figure.getByTestId('lock-screen');
    const cardBox = await box(card);
    assert.equal(cardBox.height, 160);
    const lastButton = card.getByTestId('action-link').last();
    assert.ok((await box(lastButton)).bottom > cardBox.bottom, 'the buttons lie below the cut');
    const hitBefore = await lastButton.evaluate((a) => {
      const r = a.getBoundingClientRect();
      return a.contains(document.elementFromPoint(r.x + r.width / 2, r.y + r.height / 2));
    });
    assert.equal(hitBefore, false, 'the cut part is hidden at first');

    await figure.getByTestId('overflow-toggle').click();
    const hitAfter = await lastButton.evaluate((a) => {
      const r = a.getBoundingClientRect();
      return a.contains(document.elementFromPoint(r.x + r.width / 2, r.y + r.height / 2));
    });
    assert.equal(hitAfter, true, 'the toggle shows the cut part');
    assert.equal(await figure.getByTestId('overflow-toggle').getAttribute('aria-pressed'), 'true');
    await figure.getByTestId('overflow-toggle').click();
    assert.equal(await figure.getByTestId('overflow-toggle').getAttribute('aria-pressed'), 'false');
    assert.deepEqual([seen.errors, seen.cspViolations], [[], []]);
  });
});

describe('timers', () => {
  test('a ten-hour countdown stays on one line in every presentation', async () => {
    const { page } = await openPage(browser, 'honest');
    const timers = page.locator('[data-activity="2"] .timer');
    assert.equal(await timers.count(), 3);
    const shapes = await timers.evaluateAll((ts) => ts.map((t) => ({
      text: t.textContent,
      height: t.getBoundingClientRect().height,
      lineHeight: parseFloat(getComputedStyle(t).lineHeight),
    })));
    for (const s of shapes) {
      assert.match(s.text, /^10:00:0\d$/);
      assert.ok(s.height <= s.lineHeight + 0.5, `${s.text}: ${s.height} high, one line is ${s.lineHeight}`);
    }
  });
});

describe('the later answer', () => {
  test('the buttons go when the countdown ends on the page\'s own clock', async () => {
    const { page, seen } = await openPage(browser, 'honest');
    const activity = page.locator('[data-activity="3"]');
    assert.equal(await activity.getByTestId('action-link').count(), 4, 'two buttons, twice');
    await page.waitForFunction(
      () => document.querySelector('[data-activity="3"] [data-testid="action-link"]') === null,
      null, { timeout: 4000 });
    assert.equal(await activity.getAttribute('data-answer-at'), '1767225512');
    assert.deepEqual(await activity.getByTestId('lock-screen').locator('.zstack .text').allTextContents(), ['0:00']);
    // The other activities keep their answers.
    assert.equal(await page.locator('[data-activity="1"]').getByTestId('action-link').count(), 6);
    assert.deepEqual(seen.errors, []);
  });
});

describe('warnings', () => {
  test('each warning stands under its activity with its path and hint', async () => {
    const { page } = await openPage(browser, 'honest');
    // The first activity's only warnings are the layout's: its lock screen and expanded island
    // are cut off.
    const first = page.locator('[data-activity="1"]').getByTestId('warnings').locator('li');
    assert.deepEqual(await first.evaluateAll((items) => items.map((li) => li.dataset.kind)),
      ['clipped', 'clipped']);
    const panel = page.locator('[data-activity="2"]').getByTestId('warnings');
    const items = panel.locator('li');
    assert.equal(await items.count(), 1);
    assert.equal(await items.getAttribute('data-kind'), 'unknownKeyword');
    assert.equal(await items.locator('.warning-path').textContent(), '[1].tone');
    assert.equal(await items.locator('.warning-hint').textContent(), 'did you mean "warning"?');
  });

  test('emoji are drawn from a colour emoji font', async () => {
    const { page } = await openPage(browser, 'honest');
    const family = await page.evaluate(() => getComputedStyle(document.body).fontFamily);
    assert.match(family, /Noto Color Emoji/);
    assert.ok(await page.evaluate(() => document.fonts.check('16px "Noto Color Emoji"', '🚲')));
  });
});
