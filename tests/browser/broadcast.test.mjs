// Broadcast channels as an app's server drives them: @parse/node-apn, unmodified, manages a
// channel on the endpoint's own port (manageChannelsAddress, manageChannelsPort) and
// broadcasts on it over HTTP/2 with TLS, with provider tokens checked; the activities that
// subscribed by a push-to-start change on /events as the phone would change them.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { generateKeyPairSync } from "node:crypto";
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import http2 from "node:http2";
import { tmpdir } from "node:os";
import { join } from "node:path";
import apn from "@parse/node-apn";
import { startServe, stopServe } from "./serve_process.mjs";

const keyId = "ABC123DEFG";
const teamId = "DEF123GHIJ";
const bundleId = "com.corvlin.app";
const topic = `${bundleId}.push-type.liveactivity`;

let folder;
let serve;
let port;
let client;
let events;

before(async () => {
  folder = mkdtempSync(join(tmpdir(), "corvlin-broadcast-"));
  const { privateKey } = generateKeyPairSync("ec", { namedCurve: "P-256" });
  writeFileSync(join(folder, "AuthKey.p8"), privateKey.export({ type: "pkcs8", format: "pem" }),
    { mode: 0o600 });
  ({ child: serve, port } = await startServe(["--tls", "--port", "0", "--state-dir",
    join(folder, "state"), "--auth-key", join(folder, "AuthKey.p8"), "--key-id", keyId,
    "--team-id", teamId], "ignore"));
  const ca = readFileSync(join(folder, "state", "ca.pem"));
  client = new apn.Provider({
    token: { key: join(folder, "AuthKey.p8"), keyId, teamId },
    address: "localhost", port, manageChannelsAddress: "localhost", manageChannelsPort: port,
    ca, production: false,
  });
  events = await openEvents(ca);
});

after(async () => {
  await client?.shutdown();
  events?.close();
  if (serve) {
    assert.equal(await stopServe(serve), 0, "the server ends cleanly");
  }
  if (folder) rmSync(folder, { recursive: true, force: true });
});

// The event stream over HTTP/2, each event's JSON kept in order; `until` waits for the events
// that satisfy `found`, however many came before.
async function openEvents(ca) {
  const session = http2.connect(`https://localhost:${port}`, { ca });
  const stream = session.request({ ":path": "/events" });
  stream.setEncoding("utf8");
  const heard = [];
  const waiting = [];
  let pending = "";
  stream.on("data", (chunk) => {
    pending += chunk;
    let end;
    while ((end = pending.indexOf("\n")) >= 0) {
      const line = pending.slice(0, end);
      pending = pending.slice(end + 1);
      if (line.startsWith("data: ")) heard.push(JSON.parse(line.slice(6)));
    }
    for (const w of [...waiting]) w();
  });
  await new Promise((resolve) => stream.once("response", resolve));
  return {
    heard,
    until(found) {
      return new Promise((resolve, reject) => {
        const timer = setTimeout(() => reject(new Error("the events never came")), 10000);
        const check = () => {
          const got = found(heard);
          if (got) {
            clearTimeout(timer);
            waiting.splice(waiting.indexOf(check), 1);
            resolve(got);
          }
        };
        waiting.push(check);
        check();
      });
    },
    close() { stream.close(); session.close(); },
  };
}

// The step events of `token` for `event`, and its drawings whose section shows `text`.
const steps = (token, event) => (heard) => {
  const found = heard.filter((e) => e.token === token && e.step?.event === event);
  return found.length > 0 ? found : null;
};
const drawnWith = (token, text) => (heard) =>
  heard.find((e) => e.token === token && e.drawn !== undefined && e.html.includes(text));

function channelNote(fields = {}) {
  const note = new apn.Notification();
  Object.assign(note, fields);
  return note;
}

let timestamp = Math.floor(Date.now() / 1000);
// Every start carries the kick-off's state and instant, older than the broadcasts after it.
const kickOff = timestamp++;
function start(channelId, title) {
  const note = new apn.Notification();
  note.topic = topic;
  note.pushType = "liveactivity";
  note.event = "start";
  note.timestamp = kickOff;
  note.attributesType = "CorvlinLiveActivityAttributes";
  note.attributes = { kind: "delivery", activityId: "M1" };
  note.contentState = { title };
  note.inputPushChannel = channelId;
  return note;
}
function onChannel(channelId, event, contentState) {
  const note = new apn.Notification();
  note.pushType = "liveactivity";
  note.channelId = channelId;
  note.priority = 1;
  note.event = event;
  note.timestamp = timestamp++;
  if (contentState) note.contentState = contentState;
  return note;
}

test("a channel made, read, listed, broadcast on, subscribed late, ended and deleted", async () => {
  const made = await client.manageChannels(
    channelNote({ rawPayload: { "message-storage-policy": 1, "push-type": "LiveActivity" } }),
    bundleId, "create");
  assert.deepEqual(made.failed, []);
  const channelId = made.sent[0]["apns-channel-id"];
  assert.match(channelId, /^[A-Za-z0-9+/]{22}==$/);
  assert.ok(made.sent[0]["apns-request-id"]);

  const read = await client.manageChannels(channelNote({ channelId }), bundleId, "read");
  assert.deepEqual(read.failed, []);
  assert.equal(read.sent[0]["message-storage-policy"], 1);
  assert.equal(read.sent[0]["push-type"], "LiveActivity");

  const all = await client.manageChannels(channelNote(), bundleId, "readAll");
  assert.deepEqual(all.failed, []);
  assert.deepEqual(all.sent[0].channels, [channelId]);

  for (const token of ["0b1", "0b2"]) {
    const started = await client.send(start(channelId, "Kick-off"), token);
    assert.deepEqual(started.failed, []);
    assert.equal(started.sent[0].outcome, "applied");
  }

  const score = await client.broadcast(onChannel(channelId, "update", { title: "Home 1 Away 0" }),
    bundleId);
  assert.deepEqual(score.failed, []);
  assert.equal(score.sent[0].outcome, "delivered");
  assert.equal(score.sent[0].subscribers, 2);
  assert.ok(score.sent[0]["apns-request-id"]);
  for (const token of ["0b1", "0b2"]) {
    const [step] = await events.until(steps(token, "update"));
    assert.equal(step.step.outcome, "applied");
    await events.until(drawnWith(token, "Home 1 Away 0"));
  }

  // A third subscribes late, and shows the stored update at once: newer than the kick-off its
  // start carries, the rules apply it.
  const late = await client.send(start(channelId, "Kick-off"), "0b3");
  assert.deepEqual(late.failed, []);
  const [stored] = await events.until(steps("0b3", "update"));
  assert.equal(stored.step.outcome, "applied");
  await events.until(drawnWith("0b3", "Home 1 Away 0"));

  const ended = await client.broadcast(onChannel(channelId, "end"), bundleId);
  assert.deepEqual(ended.failed, []);
  assert.equal(ended.sent[0].subscribers, 3);
  for (const token of ["0b1", "0b2", "0b3"]) {
    const [end] = await events.until(steps(token, "end"));
    assert.equal(end.state, "ended");
  }

  const gone = await client.manageChannels(channelNote({ channelId }), bundleId, "delete");
  assert.deepEqual(gone.failed, []);
  assert.equal(gone.sent[0]["apns-channel-id"], channelId);
  const refused = await client.broadcast(onChannel(channelId, "update", { title: "late" }),
    bundleId);
  assert.deepEqual(refused.sent, []);
  assert.equal(refused.failed[0].status, 400);
  assert.equal(refused.failed[0].response.reason, "ChannelNotRegistered");
  const again = await client.manageChannels(channelNote({ channelId }), bundleId, "delete");
  assert.equal(again.failed[0].response.reason, "ChannelNotRegistered");
});

test("a start naming no channel that exists is refused, and starts nothing", async () => {
  const refused = await client.send(start("bm9uZSBzdWNo", "Kick-off"), "0c1");
  assert.deepEqual(refused.sent, []);
  assert.equal(refused.failed[0].status, 400);
  assert.equal(refused.failed[0].response.reason, "ChannelNotRegistered");
  const other = await client.manageChannels(
    channelNote({ rawPayload: { "message-storage-policy": 2, "push-type": "LiveActivity" } }),
    "com.other.app", "create");
  assert.equal(other.failed[0].response.reason, "TopicDisallowed");
});
