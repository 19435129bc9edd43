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

  test('an oversized lock screen says what it shortened, and ends those texts in "…"', async () => {
    const { page, seen } = await openPage(browser, 'honest');
    const figure = page.locator('[data-activity="1"] figure[data-presentation="lockScreen"]');
    const badges = await figure.getByTestId('overflow-badge').evaluateAll((bs) => bs.map((b) => ({
      kind: b.dataset.kind, shown: Number(b.dataset.shownLines), lines: Number(b.dataset.lines),
      text: b.textContent })));
    assert.ok(badges.length > 0, 'a badge for each text the layout shortened');
    for (const b of badges) {
      assert.equal(b.kind, 'truncated');
      assert.ok(b.shown < b.lines, JSON.stringify(b));
      assert.ok(b.text.includes(`shows ${b.shown} of the ${b.lines} lines`), b.text);
    }
    // As many texts on the card end in "…" as the layout shortened, each on its last line.
    const card = figure.getByTestId('lock-screen');
    const shortened = await card.locator('.text[data-truncated="true"]').evaluateAll((ts) =>
      ts.map((t) => t.lastElementChild.textContent));
    assert.equal(shortened.length, badges.length);
    for (const last of shortened) assert.ok(last.endsWith('…'), last);
    const cardBox = await box(card);
    assert.equal(cardBox.height, 160);
    // Nothing is cut off, so there is nothing to show.
    assert.equal(await figure.getByTestId('overflow-toggle').count(), 0);
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
    // The first activity's only warnings are the layout's: the texts its lock screen and expanded
    // island shortened.
    const first = page.locator('[data-activity="1"]').getByTestId('warnings').locator('li');
    const kinds = await first.evaluateAll((items) => items.map((li) => li.dataset.kind));
    assert.ok(kinds.length > 0 && kinds.every((k) => k === 'truncated'), `${kinds}`);
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
