// The page places every text line where render's layout broke it: on five activities (one that
// fits, a long title, three actions, an Arabic title, a Japanese title) the lock screen shows
// exactly the title lines the layout kept (its truncated warning's shownLines, or every line),
// and nothing of the card is visible below the 160 points the phone shows.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { after, before, describe, test } from 'node:test';
import { box, launch, openPage, pagesDir } from './support.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const payloads = JSON.parse(readFileSync(join(here, 'payloads/lines.json'), 'utf8'));
const rendered = JSON.parse(readFileSync(join(pagesDir, 'lines.json'), 'utf8'));
const names = ['fits', 'a long title', 'three actions', 'an Arabic title', 'a Japanese title'];

// The lines render's layout kept of the lock screen's title: a truncated warning's shownLines,
// or null when the title was not truncated.
function shownLines(index) {
  const w = (rendered[index].warnings ?? []).map((x) => x.warning).find((x) =>
    x.kind === 'truncated' && x.presentation === 'lockScreen' &&
    x.codingPath[x.codingPath.length - 1] === 'title');
  return w ? w.shownLines : null;
}

let browser;
let page;
let seen;
before(async () => {
  browser = await launch();
  // Tall enough that every activity is on the screen at once, for the screenshots below.
  ({ page, seen } = await openPage(browser, 'lines', { width: 1600, height: 3200 }));
});
after(async () => { await browser?.close(); });

describe('the title lines of the lock screen', () => {
  assert.equal(payloads.length, names.length);
  names.forEach((name, i) => {
    test(`${name}: the page shows the lines the layout kept`, async () => {
      const card = page.locator(`[data-activity="${i + 1}"]`).getByTestId('lock-screen');
      const cardBox = await box(card);
      assert.ok(cardBox.height <= 160, `the card is ${cardBox.height} pt tall`);
      const start = [...payloads[i].title].slice(0, 6).join('');
      const title = await card.evaluate((c, s) => {
        const texts = [...c.querySelectorAll('.text')].filter((t) => t.textContent.startsWith(s));
        if (texts.length !== 1) return { found: texts.length };
        const t = texts[0];
        const frame = c.getBoundingClientRect();
        const lines = [...t.querySelectorAll('.line')].map((l) => {
          const r = l.getBoundingClientRect();
          return { text: l.textContent, top: r.top - frame.top, bottom: r.bottom - frame.top };
        });
        return { found: 1, lines, count: Number(t.dataset.lines), truncated: t.dataset.truncated === 'true' };
      }, start);
      assert.equal(title.found, 1, `one text on the card starts with ${start}`);
      const visible = title.lines.filter((l) => l.top >= -0.5 && l.bottom <= cardBox.height + 0.5);
      const kept = shownLines(i);
      if (kept === null) {
        assert.equal(title.truncated, false);
        assert.equal(visible.length, title.count, `every line shows: ${JSON.stringify(title.lines)}`);
      } else {
        assert.equal(visible.length, kept, `the layout kept ${kept}: ${JSON.stringify(title.lines)}`);
        assert.equal(title.truncated, true);
        assert.ok(title.lines[title.lines.length - 1].text.endsWith('…'), 'the last kept line ends in "…"');
      }
      assert.ok(title.lines.length >= 1);
    });
  });

  test('a long title is shortened, and the fitting one is not', () => {
    assert.equal(shownLines(0), null);
    assert.ok(shownLines(1) !== null && shownLines(1) >= 1, `the long title keeps ${shownLines(1)}`);
  });
});

describe('below the 160 points the phone shows', () => {
  names.forEach((name, i) => {
    test(`${name}: nothing of the lock screen is visible`, async () => {
      const card = page.locator(`[data-activity="${i + 1}"]`).getByTestId('lock-screen');
      const b = await box(card);
      const below = { x: b.x, y: b.y + 160, width: b.width, height: 60 };
      // What is drawn there with the card, and with the card hidden, must be the same pixels.
      const withCard = await page.screenshot({ clip: below });
      await card.evaluate((c) => { c.style.visibility = 'hidden'; });
      const withoutCard = await page.screenshot({ clip: below });
      await card.evaluate((c) => { c.style.visibility = ''; });
      assert.ok(withCard.equals(withoutCard), 'the card draws something below 160 pt');
    });
  });

  test('the page broke no rule while it was looked at', () => {
    assert.deepEqual([seen.errors, seen.cspViolations, seen.requests], [[], [], []]);
  });
});
