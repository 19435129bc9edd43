// What a person sees of one activity: the frames, the right-to-left order, the ring and colours.
import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';
import { accents, box, colourDistance, launch, openPage, pixelsAt, screenshotPath } from './support.mjs';

let browser;
before(async () => { browser = await launch(); });
after(async () => { await browser?.close(); });

describe('the default activity', () => {
  let page;
  before(async () => { ({ page } = await openPage(browser, 'default')); });

  test('sits in frames the size the phone gives each presentation, each labelled', async () => {
    const card = await box(page.getByTestId('lock-screen'));
    assert.equal(card.width, 371);
    assert.ok(card.height >= 84 && card.height <= 160, `card height ${card.height}`);
    const tint = await page.getByTestId('lock-screen').evaluate((e) => getComputedStyle(e).backgroundColor);
    assert.equal(tint, 'color(srgb 0 0 0 / 0.85)');

    const expanded = page.getByTestId('island-expanded');
    assert.equal((await box(expanded)).width, 371);
    const island = await expanded.evaluate((e) => {
      const s = getComputedStyle(e);
      return { radius: s.borderTopLeftRadius, background: s.backgroundColor, color: s.color };
    });
    assert.deepEqual(island, { radius: '44px', background: 'rgb(0, 0, 0)', color: 'rgb(255, 255, 255)' });

    for (const [id, width, height] of [['compact-leading', 52, 37], ['compact-trailing', 52, 37], ['minimal', 37, 37]]) {
      const b = await box(page.getByTestId(id));
      assert.deepEqual([b.width, b.height], [width, height], id);
    }
    const leading = await box(page.getByTestId('compact-leading'));
    const trailing = await box(page.getByTestId('compact-trailing'));
    assert.ok(trailing.x - leading.right >= 100, 'the camera area lies between the compact pieces');

    const captions = await page.locator('figcaption, .piece-labels span').allTextContents();
    for (const label of ['Lock screen', 'expanded', 'compact leading', 'compact trailing', 'Minimal']) {
      assert.ok(captions.some((c) => c.includes(label)), `no caption names ${label}`);
    }
    const regions = await page.locator('[data-region]').evaluateAll((es) => es.map((e) => e.dataset.region));
    assert.deepEqual(regions, ['leading', 'trailing', 'bottom']);
  });

  test('puts the text column right of the ring, 14 points apart', async () => {
    const card = page.getByTestId('lock-screen');
    const ring = await box(card.locator('.frame').filter({ has: page.locator('svg.circle') }));
    assert.deepEqual([ring.width, ring.height], [58, 58]);
    const title = await box(card.getByText('Order 42 is on its way'));
    const column = await box(card.locator('.flex-frame'));
    assert.ok(Math.abs(column.x - ring.right - 14) < 0.5, `gap ${column.x - ring.right}`);
    assert.ok(title.x >= ring.right, 'the title stands right of the ring');
    // The column's content lines up along its left edge, next to the ring.
    assert.ok(Math.abs(title.x - column.x) < 0.5);
    const cardBox = await box(card);
    assert.ok(Math.abs(ring.x - cardBox.x - 16) < 0.5, 'the ring sits inside the 16-point padding');
  });

  for (const where of ['lock-screen', 'expanded-bottom']) {
    test(`runs the buttons right to left in ${where}, lock right of its label`, async () => {
      const links = page.getByTestId(where).getByTestId('action-link');
      assert.equal(await links.count(), 2);
      assert.match(await links.nth(0).getAttribute('href'), /actionId=cancel$/);
      const first = await box(links.nth(0));
      const second = await box(links.nth(1));
      assert.ok(first.x >= second.right, 'the first action is the rightmost button');
      assert.ok(Math.abs(first.x - second.right - 8) < 0.5, 'buttons stand 8 points apart');

      const lock = await box(links.nth(0).locator('[data-symbol="lock.fill"]'));
      const label = await box(links.nth(0).getByText('Cancel order'));
      assert.ok(lock.x >= label.right, 'the lock stands right of its label');
      assert.equal(await links.nth(1).locator('[data-symbol]').count(), 0);
      // The capsule is the padded content's size: 14 points each side, 7 above and below.
      assert.ok(Math.abs(first.width - (lock.right - label.x) - 28) < 1, `button ${first.width} wide`);
      assert.ok(Math.abs(label.x - first.x - 14) < 1);
    });
  }

  test('keeps the tone colour everywhere an accent shows', async () => {
    const colours = await page.evaluate(() => ({
      arc: getComputedStyle(document.querySelectorAll('[data-testid="lock-screen"] svg.circle circle')[1]).stroke,
      capsules: [...document.querySelectorAll('.capsule')].map((c) => getComputedStyle(c).backgroundColor),
      dots: ['expanded-trailing', 'compact-leading', 'minimal'].map((id) =>
        getComputedStyle(document.querySelector(`[data-testid="${id}"] circle`)).fill),
      labels: [...document.querySelectorAll('[data-testid="action-link"] .text')].map((t) => getComputedStyle(t).color),
    }));
    assert.equal(colours.arc, accents.warning);
    assert.deepEqual(colours.capsules, Array(4).fill(accents.warning));
    assert.deepEqual(colours.dots, Array(3).fill(accents.warning));
    assert.deepEqual(colours.labels, Array(4).fill('color(srgb 1 1 1)'));
  });

  test('writes a screenshot for people to look at', async () => {
    await page.setViewportSize({ width: 1600, height: 420 });
    await page.screenshot({ path: screenshotPath, fullPage: true });
  });
});

describe('a ring a quarter full', () => {
  let page;
  before(async () => { ({ page } = await openPage(browser, 'ring-quarter')); });

  test('has an arc a quarter of the circle long, turned back a quarter turn', async () => {
    const arc = await page.getByTestId('lock-screen').locator('svg.circle').nth(1).evaluate((svg) => {
      const c = svg.querySelector('circle');
      const s = getComputedStyle(svg);
      return { r: Number(c.getAttribute('r')), dash: c.getAttribute('stroke-dasharray').split(' ').map(Number),
        cap: c.getAttribute('stroke-linecap'), transform: s.transform, origin: s.transformOrigin };
    });
    const circumference = 2 * Math.PI * arc.r;
    assert.equal(arc.r, 29);
    assert.ok(Math.abs(arc.dash[0] - circumference / 4) < 1e-6);
    assert.ok(arc.dash[1] >= circumference * 0.75, 'one dash, then nothing for the rest of the circle');
    assert.equal(arc.cap, 'round');
    const [a, b, c, d] = arc.transform.match(/matrix\(([^)]*)\)/)[1].split(',').map(Number);
    assert.deepEqual([a, b, c, d].map(Math.round), [0, -1, 1, 0], 'rotate(-90deg)');
    assert.equal(arc.origin, '29px 29px');
  });

  test('shows red from the top clockwise to the right-hand side, and the faint track elsewhere', async () => {
    const ring = await box(page.getByTestId('lock-screen').locator('svg.circle').first());
    const at = (degrees) => {
      const t = (degrees * Math.PI) / 180;
      return [ring.cx + 29 * Math.sin(t), ring.cy - 29 * Math.cos(t)];
    };
    const arcAngles = [12, 45, 80];
    const trackAngles = [130, 180, 225, 270, 340];
    const png = await page.screenshot();
    const colours = await pixelsAt(browser, png, [...arcAngles, ...trackAngles].map(at));
    const red = [255, 77, 94];
    colours.slice(0, arcAngles.length).forEach((c, i) =>
      assert.ok(colourDistance(c, red) <= 12, `at ${arcAngles[i]}° ${c} is not the red accent`));
    colours.slice(arcAngles.length).forEach((c, i) =>
      assert.ok(colourDistance(c, red) > 100 && Math.max(...c) < 110,
        `at ${trackAngles[i]}° ${c} is not the faint track`));
  });

  test('colours every accent red', async () => {
    const fills = await page.evaluate(() => [
      getComputedStyle(document.querySelectorAll('[data-testid="lock-screen"] svg.circle circle')[1]).stroke,
      ...[...document.querySelectorAll('.capsule')].map((c) => getComputedStyle(c).backgroundColor),
      ...[...document.querySelectorAll('.region circle')].map((c) => getComputedStyle(c).fill),
    ]);
    assert.equal(fills.length, 6);
    assert.deepEqual(fills, Array(6).fill(accents.danger));
  });
});
