// Local subscribers from the page: a channel's row adds a crowd of them, whose group is drawn on
// the page at once, and each broadcast's newest outcome and count show in the row without a
// reload; a refused request says why beside the button.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { startServe, stopServe } from './serve_process.mjs';
import { launch } from './support.mjs';

let browser;
let server;
before(async () => {
  browser = await launch();
  server = await startServe(['--port', '0']);
});
after(async () => {
  await browser?.close();
  if (server) assert.equal(await stopServe(server.child), 0, 'the server ends cleanly');
});

async function createChannel() {
  const made = await fetch(`${server.url}1/apps/com.corvlin.app/channels`, {
    method: 'POST',
    body: JSON.stringify({ 'message-storage-policy': 0, 'push-type': 'LiveActivity' }),
  });
  assert.equal(made.status, 201);
  return made.headers.get('apns-channel-id');
}

async function broadcast(channel, contentState) {
  const sent = await fetch(`${server.url}4/broadcasts/apps/com.corvlin.app`, {
    method: 'POST',
    headers: { 'apns-push-type': 'liveactivity', 'apns-channel-id': channel },
    body: JSON.stringify({
      aps: { event: 'update', timestamp: Math.floor(Date.now() / 1000), 'content-state': contentState },
    }),
  });
  return sent.json();
}

test('a channel row adds local subscribers and shows each broadcast as it lands', async () => {
  const channel = await createChannel();
  const page = await browser.newPage({ viewport: { width: 1600, height: 1000 } });
  const errors = [];
  page.on('pageerror', (e) => errors.push(String(e)));
  await page.goto(server.url);
  await page.waitForSelector('[data-testid="canvas"][data-live="true"]');

  const row = page.locator(`tr[data-channel="${channel}"]`);
  await row.locator('input[name="count"]').fill('2500');
  await row.getByRole('button', { name: 'Add subscribers' }).click();
  await assert.doesNotReject(
    row.getByTestId('add-subscribers-said').getByText(`added ${channel}#1-2500`).waitFor());
  assert.equal(await row.getByTestId('channel-subscribers').textContent(), '2500');
  // The group's section, drawn from the extension's answer, as a device's activity is.
  const group = page.locator(`section[data-subscribers="2500"]`);
  await group.waitFor();
  assert.match(await group.getByRole('heading').first().textContent(),
    new RegExp(`^2500 local subscribers ${channel.replace(/[+/=]/g, '\\$&')}#1-2500`));

  const answer = await broadcast(channel, { title: 'Home 1 Away 0', tone: 'Warning' });
  assert.equal(answer.subscribers, 2500);
  const newest = row.getByTestId('newest-broadcast');
  await assert.doesNotReject(newest.getByText(/ to 2500: delivered/).waitFor());
  assert.equal(await newest.locator('[data-kind="unknownKeyword"]').count(), 1,
    'the broadcast\'s warnings are shown with it');
  await assert.doesNotReject(group.getByText('Home 1 Away 0').first().waitFor());

  // Past the channel's 10,000: refused, and the reason is shown beside the button.
  await row.locator('input[name="count"]').fill('9000');
  await row.getByRole('button', { name: 'Add subscribers' }).click();
  await assert.doesNotReject(
    row.getByTestId('add-subscribers-said').getByText(/^TooManySubscribers: channel .* holds 2500/)
      .waitFor());
  assert.equal(await row.getByTestId('channel-subscribers').textContent(), '2500');
  assert.deepEqual(errors, []);
  await page.close();
});
