// Buttons are deep links the page hands to a stand-in for the app; texts never become markup.
import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';
import { launch, openPage } from './support.mjs';

let browser;
before(async () => { browser = await launch(); });
after(async () => { await browser?.close(); });

describe('a click on a button', () => {
  let page;
  let seen;
  before(async () => { ({ page, seen } = await openPage(browser, 'actions')); });

  const cases = [
    { activity: 1, label: '<script>', actionId: 'pay now' },  // the layout may shorten it
    { activity: 1, label: 'Ampersand', actionId: 'a&b=c' },
    { activity: 1, label: 'Hash', actionId: '#frag' },
    { activity: 2, label: 'Plus', actionId: '1+1' },
    { activity: 2, label: 'Crème', actionId: 'crème brûlée ação' },
    { activity: 2, label: 'Padded', actionId: 'padded id' },
  ];
  for (const c of cases) {
    test(`shows the actionId ${JSON.stringify(c.actionId)} the app reads back`, async () => {
      const before = page.url();
      const link = page.locator(`[data-activity="${c.activity}"]`).getByTestId('lock-screen')
        .getByTestId('action-link').filter({ hasText: c.label });
      await link.click();
      assert.equal(page.url(), before, 'the page stays where it is');
      assert.equal(await page.getByTestId('app-action-id').textContent(), c.actionId);
      assert.equal(await page.getByTestId('app-url').textContent(), await link.getAttribute('href'));
      assert.ok((await link.getAttribute('href')).startsWith('corvlin://live-activity/action?actionId='));
    });
  }

  test('counts every link received, and nothing else happened', async () => {
    assert.equal(await page.getByTestId('app-panel').getAttribute('data-received'), String(cases.length));
    assert.deepEqual(seen, { requests: [], errors: [], dialogs: [], cspViolations: [] });
  });
});

describe('texts that look like markup', () => {
  test('appear as the very characters sent, and run nothing', async () => {
    const { page, seen } = await openPage(browser, 'actions');
    const card = page.locator('[data-activity="1"]').getByTestId('lock-screen');
    const texts = await card.locator('.text').allTextContents();
    assert.deepEqual(texts.slice(0, 3), ['<img src=x onerror=alert(1)>', 'Tom & "Jerry" <b>\'bold\'</b>',
      '</section><script>alert(3)</script>']);
    // A button's label, shortened by the layout where it needs more room, still as characters.
    assert.ok(texts.some((t) => t.startsWith('<script>al')), `${texts}`);
    const counts = await page.evaluate(() => ({
      img: document.querySelectorAll('img').length,
      b: document.querySelectorAll('b').length,
      scripts: document.querySelectorAll('script').length,
      sections: document.querySelectorAll('section').length,
    }));
    assert.deepEqual(counts, { img: 0, b: 0, scripts: 1, sections: 2 });
    await page.waitForTimeout(200);
    assert.deepEqual(seen.dialogs, []);
    assert.deepEqual(seen.errors, []);
  });
});
