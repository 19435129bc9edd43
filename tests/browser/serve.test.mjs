// The push endpoint's page: pushes sent with fetch show up without a reload, each activity in
// its place and each push at the top of the log, with the page's strict policy intact.
import assert from 'node:assert/strict';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import { startServe, stopServe } from './serve_process.mjs';
import { launch, pagesDir } from './support.mjs';

let timestamp = Math.floor(Date.now() / 1000);
function envelope(contentState, event = 'update') {
  return JSON.stringify({ aps: { event, timestamp: timestamp++, 'content-state': contentState } });
}

// A provider token of the right form and age, as a sender's would be; serve, started without a
// key, reads it without checking its signature, so its pushes carry no missingProviderToken.
const part = (object) => Buffer.from(JSON.stringify(object)).toString('base64url');
const providerToken = `bearer ${part({ alg: 'ES256', kid: 'ABC123DEFG' })}.` +
  `${part({ iss: 'DEF123GHIJ', iat: Math.floor(Date.now() / 1000) })}.` +
  Buffer.alloc(64, 7).toString('base64url');

async function push(url, token, body, headers = {}) {
  const response = await fetch(`${url}3/device/${token}`, {
    method: 'POST',
    headers: {
      'apns-push-type': 'liveactivity', 'apns-topic': 'com.corvlin.app.push-type.liveactivity',
      authorization: providerToken, ...headers,
    },
    body,
  });
  return { status: response.status, verdict: await response.json() };
}

let browser;
let server;
before(async () => {
  browser = await launch();
  server = await startServe(['--port', '0']);
});
after(async () => {
  await browser?.close();
  if (server) {
    assert.equal(await stopServe(server.child), 0, 'the server ends cleanly');
  }
});

describe('the push endpoint page', () => {
  let page;
  const seen = { errors: [], dialogs: [], cspViolations: [], foreign: [] };
  before(async () => {
    page = await browser.newPage({ viewport: { width: 1600, height: 1000 }, deviceScaleFactor: 1 });
    page.on('pageerror', (e) => seen.errors.push(String(e)));
    page.on('dialog', async (d) => { seen.dialogs.push(d.message()); await d.dismiss(); });
    page.on('console', (m) => {
      if (/Content Security Policy/i.test(m.text())) seen.cspViolations.push(m.text());
    });
    page.on('request', (r) => { if (!r.url().startsWith(server.url)) seen.foreign.push(r.url()); });
    await page.goto(server.url);
    await page.waitForSelector('[data-testid="canvas"][data-live="true"]');
  });

  test('starts empty and says so', async () => {
    assert.equal(await page.getByTestId('activity').count(), 0);
    assert.ok(await page.getByTestId('no-activity').isVisible());
  });

  test('draws a pushed activity without reloading, with its timer ticking', async () => {
    const marker = await page.evaluate(() => { window.loadedOnce = 'yes'; return window.loadedOnce; });
    const now = Date.now() / 1000;
    const { status, verdict } = await push(server.url, '0a1b', envelope({
      title: 'Order 42 is on its way', body: 'Courier is 2 km away', tone: 'warning',
      timerStart: now - 10, timerEnd: now + 600, timerDirection: 'down',
      actions: [{ actionId: 'track', label: 'Track' }],
    }));
    assert.equal(status, 200);
    assert.equal(verdict.outcome, 'applied');
    const activity = page.locator('[data-token="0a1b"]');
    await activity.getByText('Order 42 is on its way').first().waitFor({ timeout: 1000 });
    assert.equal(await page.evaluate(() => window.loadedOnce), marker, 'the page was not reloaded');
    assert.equal(await activity.getByTestId('activity-state').textContent(), 'active');
    assert.ok(!(await page.getByTestId('no-activity').isVisible()));

    const timer = activity.getByTestId('lock-screen').locator('.timer').first();
    const first = await timer.textContent();
    await page.waitForFunction((el) => el.textContent !== el.dataset.seen,
      await timer.evaluateHandle((el) => { el.dataset.seen = el.textContent; return el; }),
      { timeout: 3000 });
    assert.notEqual(await timer.textContent(), first, 'the timer ticks');

    // Its generated styles came with it: the card's tint and the title's font apply.
    const card = activity.getByTestId('lock-screen');
    assert.equal(await card.evaluate((el) => getComputedStyle(el).backgroundColor),
      'color(srgb 0 0 0 / 0.85)');
    assert.equal(await card.locator('.text').first().evaluate((el) => getComputedStyle(el).fontSize),
      '17px');
  });

  test('redraws the activity in place on the next push, and opens its buttons in the panel', async () => {
    await push(server.url, '0A1B', envelope({
      title: 'Delivered', actions: [{ actionId: 'rate', label: 'Rate it' }],
    }));
    const activity = page.locator('[data-token="0a1b"]');
    await activity.getByText('Delivered').first().waitFor({ timeout: 1000 });
    assert.equal(await page.locator('section[data-token="0a1b"]').count(), 1, 'one section per token');
    await activity.getByTestId('lock-screen').getByTestId('action-link').filter({ hasText: 'Rate it' }).click();
    assert.equal(await page.getByTestId('app-action-id').textContent(), 'rate');
  });

  test('logs every push, newest first, with the outcome and the error path', async () => {
    const rowsBefore = await page.getByTestId('push-log').locator('tr').count();
    await push(server.url, '0a1b', envelope({ title: 'Older' }).replace(/"timestamp":\d+/, '"timestamp":1'));
    await push(server.url, '0a1b', '{"aps":{"event":"update","timestamp":1,"content-state":{"title":"x","actions":[{"actionId":"a"}]}}}');
    await push(server.url, '0a1b', envelope({ title: 'x' }), { 'apns-priority': '3' });
    await page.waitForFunction((n) => document.querySelectorAll('[data-testid="push-log"] tr').length >= n,
      rowsBefore + 3, { timeout: 1000 });
    const rows = await page.getByTestId('push-log').locator('tr').evaluateAll((trs) =>
      trs.slice(0, 3).map((tr) => [...tr.cells].map((td) => td.textContent)));
    assert.deepEqual(rows.map((r) => r.slice(1, 4)), [
      ['0a1b', '', 'refused'], ['0a1b', '', 'rejected'], ['0a1b', 'update', 'ignored']]);
    assert.equal(rows[0][4], 'BadPriority');
    assert.match(rows[1][4], /^keyNotFound at aps\.content-state\.actions\[0\]\.label/);
    // The detail, then the push's warnings under it: fetch's HTTP/1.1 is named first.
    assert.match(rows[2][4], /^older than the last updatehttp1Push at <top level>: /);
    assert.equal(await page.locator('[data-token="0a1b"]').getByText('Delivered').count() > 0, true,
      'what was not applied leaves the activity as it was');
  });

  test("shows a push's warnings under its log entry", async () => {
    // fetch speaks HTTP/1.1, which the push service does not: that comes first.
    const { verdict } = await push(server.url, '0a1b', envelope({ title: 'Warned', tone: 'Warning' }));
    assert.deepEqual(verdict.warnings.map((w) => w.warning.kind), ['http1Push', 'unknownKeyword']);
    const row = page.getByTestId('push-log').locator('tr').first();
    await row.getByTestId('log-warnings').waitFor({ timeout: 1000 });
    const items = row.locator('li');
    assert.deepEqual(await items.evaluateAll((list) => list.map((li) => li.dataset.kind)),
      ['http1Push', 'unknownKeyword']);
    assert.match(await items.nth(0).textContent(),
      /^http1Push at <top level>: The push came over HTTP\/1\.1; the push service accepts only HTTP\/2/);
    assert.match(await items.nth(1).textContent(),
      /^unknownKeyword at aps\.content-state\.tone: The tone "Warning" .*\(did you mean "warning"\?\)$/);
    const fresh = await browser.newPage();
    await fresh.goto(server.url);
    assert.deepEqual(await fresh.getByTestId('push-log').locator('tr').first().locator('li').allTextContents(),
      await items.allTextContents(), 'the page the server draws says the same');
    await fresh.close();
  });

  test('shows texts that look like markup as text, and runs nothing from a payload', async () => {
    await push(server.url, 'ff', envelope({
      title: '<img src=x onerror=alert(1)>', body: '</section><script>alert(2)</script>',
    }));
    const activity = page.locator('[data-token="ff"]');
    await activity.getByText('<img src=x onerror=alert(1)>').first().waitFor({ timeout: 1000 });
    assert.equal(await page.locator('img, section script').count(), 0);
    assert.equal(await page.getByTestId('activity').count(), 2);
  });

  test('a new page shows everything so far', async () => {
    const fresh = await browser.newPage();
    await fresh.goto(server.url);
    assert.equal(await fresh.getByTestId('activity').count(), 2);
    assert.ok(await fresh.getByTestId('push-log').locator('tr').count() >= 6);
    await fresh.screenshot({ path: join(pagesDir, 'serve.png'), fullPage: true });
    await fresh.close();
  });

  test('nothing else happened', async () => {
    assert.deepEqual(seen, { errors: [], dialogs: [], cspViolations: [], foreign: [] });
  });
});

// A page falls behind (a tab in the background, a flood of pushes) and is disconnected; it
// reconnects with the id its stream gave it, and must then show what it missed.
describe('a page that missed events', () => {
  test('catches up when it reconnects: the log and each newest drawing', async () => {
    await push(server.url, '0c0d', envelope({ title: 'Before' }));
    const page = await browser.newPage();
    const errors = [];
    page.on('pageerror', (e) => errors.push(String(e)));
    let asked = 0;
    await page.route('**/events', async (route) => {
      // (The Last-Event-ID the browser adds is not among the headers an intercepted request shows:
      // that the server heard it shows in what the page has after it is back.)
      asked += 1;
      if (asked === 1) {
        // The first stream gives its id and ends, as one cut off for falling behind would.
        await route.fulfill({
          status: 200, headers: { 'content-type': 'text/event-stream' }, body: 'retry: 100\nid: 1\n\n',
        });
        return;
      }
      // While the page was away: a push, drawn before the page is back, which it can hear of
      // only by catching up.
      if (asked === 2) {
        await push(server.url, '0c0d', envelope({ title: 'While away' }));
        for (let tries = 0; tries < 100; tries += 1) {
          if ((await (await fetch(server.url)).text()).includes('While away')) break;
          await new Promise((resolve) => setTimeout(resolve, 20));
        }
      }
      await route.continue();
    });
    await page.goto(server.url);
    const activity = page.locator('[data-token="0c0d"]');
    await activity.getByText('While away').first().waitFor({ timeout: 5000 });
    const rows = await page.getByTestId('push-log').locator('tr').evaluateAll((trs) =>
      trs.map((tr) => [...tr.cells].map((td) => td.textContent)));
    assert.deepEqual(rows.filter((r) => r[1] === '0c0d').map((r) => r[3]), ['applied', 'applied'],
      'the missed push is logged once, newest first, and nothing twice');
    assert.equal(await page.locator('section[data-token="0c0d"]').count(), 1);
    assert.ok(asked >= 2, 'it reconnected');
    assert.deepEqual(errors, []);
    await page.close();
  });
});
