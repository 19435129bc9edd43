// The push endpoint as the app's own push code meets it: @parse/node-apn over HTTP/2 with TLS,
// trusting the server through its local authority, and the page, opened over HTTP/2 with TLS in
// Chromium, drawing what that client pushed.
import assert from 'node:assert/strict';
import { generateKeyPairSync } from 'node:crypto';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { after, before, test } from 'node:test';
import apn from '@parse/node-apn';
import { startServe, stopServe } from './serve_process.mjs';
import { launch } from './support.mjs';

// serve --tls keeps its authority in a folder of this test's own.
const state = mkdtempSync(join(tmpdir(), 'corvlin-push-client-'));

// A provider as an app's server makes one: a token signing key, the service's address (here
// localhost, which node-apn sends as :authority without a port) and the authority to trust.
function provider(port) {
  const key = join(state, 'AuthKey_ABC123DEFG.p8');
  const { privateKey } = generateKeyPairSync('ec', { namedCurve: 'P-256' });
  writeFileSync(key, privateKey.export({ type: 'pkcs8', format: 'pem' }));
  return new apn.Provider({
    token: { key, keyId: 'ABC123DEFG', teamId: 'DEF123GHIJ' },
    address: 'localhost', port, production: false, ca: join(state, 'ca.pem'),
  });
}

let timestamp = Math.floor(Date.now() / 1000);
function liveActivity(contentState, topic = 'com.corvlin.app.push-type.liveactivity') {
  const note = new apn.Notification();
  note.pushType = 'liveactivity';
  note.topic = topic;
  note.priority = 10;
  note.rawPayload = { aps: { event: 'update', timestamp: timestamp++, 'content-state': contentState } };
  return note;
}

let server;
let client;
let browser;
before(async () => {
  server = await startServe(['--port', '0', '--tls', '--state-dir', state], 'ignore');
  client = provider(server.port);
  browser = await launch();
});
after(async () => {
  client?.shutdown();
  await browser?.close();
  if (server) {
    assert.equal(await stopServe(server.child), 0, 'the server ends cleanly');
  }
  rmSync(state, { recursive: true, force: true });
});

test('node-apn gets the service\'s answers and the phone\'s verdict over h2 with TLS', async () => {
  const sent = await client.send(liveActivity({ title: 'Order 42 is on its way' }), '0a1b');
  assert.deepEqual(sent.failed, []);
  assert.equal(sent.sent.length, 1);
  assert.match(sent.sent[0]['apns-id'], /^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$/);

  const refused = await client.send(liveActivity({ title: 'x' }, 'com.corvlin.app'), '0a1b');
  assert.equal(refused.failed.length, 1);
  assert.equal(refused.failed[0].status, 400);
  assert.deepEqual(refused.failed[0].response, { reason: 'TopicDisallowed' });
});

// node-apn spreads a 200 answer's body into its result, and files a result with a `status` or
// an `error` under `failed`: the phone's refusal is a verdict of an accepted push, so it lands in
// `sent` with the verdict readable, while the service's own refusals land in `failed`.
test('a push the phone rejects is sent, with its verdict; one the service refuses is failed', async () => {
  const cases = [
    { name: 'no title', note: liveActivity({ body: 'untitled' }), sent: true,
      check: (r) => {
        assert.equal(r.outcome, 'rejected');
        assert.equal(r.phone.error.kind, 'keyNotFound');
        assert.deepEqual(r.phone.error.codingPath, ['aps', 'content-state', 'title']);
      } },
    { name: 'not a Live Activity event', note: (() => {
      const note = liveActivity({ title: 'x' });
      note.rawPayload.aps.event = 'explode';
      return note;
    })(), sent: true, check: (r) => assert.equal(r.phone.error.codingPath.join('.'), 'aps.event') },
    { name: 'applied', note: liveActivity({ title: 'Applied' }), sent: true,
      check: (r) => { assert.equal(r.outcome, 'applied'); assert.equal(r.phone, undefined); } },
    { name: 'another push type\'s topic', note: liveActivity({ title: 'x' }, 'com.corvlin.app'),
      sent: false, check: (r) => {
        assert.equal(r.status, 400);
        assert.equal(r.response.reason, 'TopicDisallowed');
      } },
    { name: 'a body over 4096 bytes', note: liveActivity({ title: 'x'.repeat(5000) }), sent: false,
      check: (r) => {
        assert.equal(r.status, 413);
        assert.equal(r.response.reason, 'PayloadTooLarge');
      } },
  ];
  for (const c of cases) {
    const { sent, failed } = await client.send(c.note, 'c0de');
    const [result] = c.sent ? sent : failed;
    assert.equal((c.sent ? failed : sent).length, 0, c.name);
    assert.ok(result, c.name);
    assert.equal(result.device, 'c0de', c.name);
    c.check(result);
  }
});

test('the page over h2 with TLS draws what node-apn pushed, as it arrives', async () => {
  const context = await browser.newContext({ ignoreHTTPSErrors: true });
  const page = await context.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(String(e)));
  await page.goto(`https://localhost:${server.port}/`);
  assert.equal(await page.evaluate(() => performance.getEntriesByType('navigation')[0].nextHopProtocol), 'h2');
  await page.waitForSelector('[data-testid="canvas"][data-live="true"]');

  await client.send(liveActivity({ title: 'Pushed by node-apn' }), 'beef');
  await page.locator('[data-token="beef"]').getByText('Pushed by node-apn').first().waitFor({ timeout: 5000 });
  assert.equal(await page.getByTestId('push-log').locator('tr').first().locator('.log-token').textContent(), 'beef');
  assert.deepEqual(errors, []);
  await context.close();
});
