// Provider tokens as the app's own push code signs them: @parse/node-apn, unmodified, sends to
// corvlin-host serve --tls --auth-key, trusting only the local authority's ca.pem, and gets the
// service's refusals and the phone's verdicts.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { generateKeyPairSync } from "node:crypto";
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import apn from "@parse/node-apn";
import { startServe, stopServe } from "./serve_process.mjs";

const keyId = "ABC123DEFG";
const teamId = "DEF123GHIJ";
const topic = "com.corvlin.app.push-type.liveactivity";
const device = "0a1b2c3d";

let folder;
let serve;
let port;

function pemKey() {
  const { privateKey } = generateKeyPairSync("ec", { namedCurve: "P-256" });
  return privateKey.export({ type: "pkcs8", format: "pem" });
}

before(async () => {
  folder = mkdtempSync(join(tmpdir(), "corvlin-interop-"));
  writeFileSync(join(folder, "AuthKey.p8"), pemKey(), { mode: 0o600 });
  ({ child: serve, port } = await startServe(["--tls", "--port", "0", "--state-dir",
    join(folder, "state"), "--auth-key", join(folder, "AuthKey.p8"), "--key-id", keyId, "--team-id", teamId], "inherit"));
});

after(async () => {
  if (serve) {
    assert.equal(await stopServe(serve), 0, "the server ends cleanly");
  }
  if (folder) rmSync(folder, { recursive: true, force: true });
});

function provider(key) {
  return new apn.Provider({
    token: { key, keyId, teamId },
    address: "127.0.0.1",
    port,
    ca: readFileSync(join(folder, "state", "ca.pem")),
    production: false,
  });
}

function update(title, timestamp) {
  const note = new apn.Notification();
  note.topic = topic;
  note.pushType = "liveactivity";
  note.event = "update";
  note.timestamp = timestamp;
  note.contentState = { title, tone: "success" };
  return note;
}

test("a push the library sends is accepted, and its result carries the phone's verdict", async () => {
  const client = provider(readFileSync(join(folder, "AuthKey.p8")));
  try {
    const now = Math.floor(Date.now() / 1000);
    const first = await client.send(update("Order 42 is on its way", now), device);
    assert.deepEqual(first.failed, []);
    assert.equal(first.sent.length, 1);
    assert.equal(first.sent[0].device, device);
    assert.match(first.sent[0]["apns-id"], /^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$/);
    assert.equal(first.sent[0].outcome, "applied");

    // An older timestamp than the one shown: the service accepts it, the phone ignores it.
    const older = await client.send(update("Order 42 is late", now - 60), device);
    assert.equal(older.sent.length, 1);
    assert.equal(older.sent[0].outcome, "ignored");
  } finally {
    client.shutdown();
  }
});

test("a token signed by another key is refused as the push service refuses it", async () => {
  const client = provider(pemKey());
  try {
    const result = await client.send(update("Order 42", Math.floor(Date.now() / 1000)), device);
    assert.deepEqual(result.sent, []);
    assert.equal(result.failed.length, 1);
    assert.equal(result.failed[0].status, 403);
    assert.equal(result.failed[0].response.reason, "InvalidProviderToken");
  } finally {
    client.shutdown();
  }
});

test("a device token that is not hexadecimal is refused before the provider token", async () => {
  const client = provider(readFileSync(join(folder, "AuthKey.p8")));
  try {
    const result = await client.send(update("Order 42", Math.floor(Date.now() / 1000)), "not-hex");
    assert.equal(result.failed.length, 1);
    assert.equal(result.failed[0].status, 400);
    assert.equal(result.failed[0].response.reason, "BadDeviceToken");
  } finally {
    client.shutdown();
  }
});
