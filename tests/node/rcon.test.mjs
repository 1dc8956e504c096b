// End to end: the real nestkeep-sandbox, driven over RCON by the ordinary npm client, and by raw
// sockets where a client would never send what we need to send.
import { spawn } from 'node:child_process';
import { mkdtempSync, mkdirSync, writeFileSync, rmSync } from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { after, before, describe, it } from 'node:test';
import assert from 'node:assert/strict';
import { createRequire } from 'node:module';

const Rcon = createRequire(import.meta.url)('rcon-srcds').default;

const BIN_DIR = process.env.NESTKEEP_BIN_DIR ?? path.resolve('build/bin');
// A build for another platform names its programs the way that platform does, and runs them
// through an emulator (the Windows build, through wine).
const SANDBOX = path.join(BIN_DIR, `nestkeep-sandbox${process.env.NESTKEEP_EXE_SUFFIX ?? ''}`);
const RUN_WITH = process.env.NESTKEEP_RUN_WITH ? [process.env.NESTKEEP_RUN_WITH] : [];
// Windows has no SIGTERM: a service stops a console program with the console's Ctrl-C, which wine
// delivers for a SIGINT.
const STOP = process.env.NESTKEEP_PLATFORM === 'windows'
  ? { signal: 'SIGINT', logged: 'Ctrl-C' } : { signal: 'SIGTERM', logged: 'SIGTERM' };
const PASSWORD = 'nursery-keeper';
const HOST = '127.0.0.1';

const GOOD_CONFIG = JSON.stringify({
  General: { ReplaceCuddleTypeWalk: true },
  Dinolist: { Mossback: { CuddleIntervalTime: 30, CuddleIncreasePercent: 0.25 } },
  Footlist: ["Blueprint'/Game/Nursery/Foods/Berries.Berries'"],
});

// What `memory` answers.
const MEMORY = /^memory blocks=\d+$/;

const AUTH = 3;
const EXEC = 2;
const AUTH_ANSWER = 2;
const RESPONSE_VALUE = 0;

function withTimeout(promise, ms, what) {
  let timer;
  const limit = new Promise((_, reject) => {
    timer = setTimeout(() => reject(new Error(`timed out after ${ms} ms: ${what}`)), ms);
  });
  return Promise.race([promise, limit]).finally(() => clearTimeout(timer));
}

function encode(id, type, body) {
  const text = Buffer.from(body, 'utf8');
  const packet = Buffer.alloc(14 + text.length);
  packet.writeInt32LE(10 + text.length, 0);
  packet.writeInt32LE(id, 4);
  packet.writeInt32LE(type, 8);
  text.copy(packet, 12);
  return packet;
}

function int32(value) {
  const b = Buffer.alloc(4);
  b.writeInt32LE(value, 0);
  return b;
}

// A client that frames the byte stream itself, so it sees every packet with its id.
class RawClient {
  static async open(port, localAddress) {
    const client = new RawClient(net.createConnection({ host: HOST, port, localAddress }));
    await withTimeout(new Promise((resolve, reject) => {
      client.socket.once('connect', resolve);
      client.socket.once('error', reject);
    }), 5000, 'connect');
    return client;
  }

  constructor(socket) {
    this.socket = socket;
    this.input = Buffer.alloc(0);
    this.ended = false;
    this.waiters = [];
    socket.on('data', (chunk) => { this.input = Buffer.concat([this.input, chunk]); this.wake(); });
    socket.on('close', () => { this.ended = true; this.wake(); });
    socket.on('error', () => {});  // a reset shows as 'close'
  }

  wake() {
    const waiters = this.waiters;
    this.waiters = [];
    for (const w of waiters) w();
  }

  changed() { return new Promise((resolve) => this.waiters.push(resolve)); }

  send(bytes) { this.socket.write(bytes); }
  request(id, type, body) { this.send(encode(id, type, body)); }

  async authenticate(id) {
    this.request(id, AUTH, PASSWORD);
    assert.deepEqual(await this.packet(), { id, type: AUTH_ANSWER, body: '' });
  }

  async packet(ms = 5000) {
    return withTimeout((async () => {
      for (;;) {
        if (this.input.length >= 4) {
          const size = this.input.readInt32LE(0);
          if (this.input.length >= 4 + size) {
            const p = {
              id: this.input.readInt32LE(4),
              type: this.input.readInt32LE(8),
              body: this.input.toString('utf8', 12, 4 + size - 2),
            };
            this.input = this.input.subarray(4 + size);
            return p;
          }
        }
        if (this.ended) throw new Error('connection closed while a packet was expected');
        await this.changed();
      }
    })(), ms, 'a packet');
  }

  async closedByServer(ms = 5000) {
    await withTimeout((async () => { while (!this.ended) await this.changed(); })(), ms,
      'the server closing the connection');
  }

  destroy() { this.socket.destroy(); }
}

async function startSandbox() {
  const dir = mkdtempSync(path.join(os.tmpdir(), 'nestkeep-rcon-'));
  const configDir = path.join(dir, 'ArkApi', 'Plugins', 'Nestkeep');
  mkdirSync(configDir, { recursive: true });
  const configPath = path.join(configDir, 'config.json');
  writeFileSync(configPath, GOOD_CONFIG);

  const [program, ...args] = [...RUN_WITH, SANDBOX,
    '--dir', dir, '--rcon-port', '0', '--rcon-password', PASSWORD];
  const child = spawn(program, args, { stdio: ['pipe', 'pipe', 'pipe'] });
  let stdout = '';
  let stderr = '';
  child.stderr.on('data', (d) => { stderr += d; });
  // 'close' comes once its output has all been read, after 'exit'.
  const exited = new Promise((resolve) => child.once('close', (code, signal) => resolve({ code, signal })));

  const port = await withTimeout(new Promise((resolve, reject) => {
    child.stdout.on('data', (d) => {
      stdout += d;
      const m = /^rcon listening on 127\.0\.0\.1:(\d+)$/m.exec(stdout);
      if (m && /^ready$/m.test(stdout)) resolve(Number(m[1]));
    });
    child.once('exit', (code) => reject(new Error(`sandbox exited ${code} before it was ready:\n${stderr}`)));
    child.once('error', reject);
  }), 15000, 'the sandbox to start');

  return {
    port,
    configPath,
    output: () => stdout,
    errors: () => stderr,
    console: (line) => child.stdin.write(`${line}\n`),
    endInput: () => child.stdin.end(),
    // Ends it with `quit`, or with a signal; with RCON on, the end of its input does not end it.
    async stop(signal) {
      if (signal) child.kill(signal);
      else child.stdin.write('quit\n');
      child.stdin.end();
      try {
        return await withTimeout(exited, 15000, 'the sandbox to exit');
      } catch (e) {
        child.kill('SIGKILL');
        throw e;
      } finally {
        rmSync(dir, { recursive: true, force: true });
      }
    },
  };
}

async function eventually(check, ms, what) {
  const until = Date.now() + ms;
  while (!check()) {
    if (Date.now() > until) throw new Error(`timed out after ${ms} ms: ${what}`);
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
}

async function libraryClient(port) {
  const client = new Rcon({ host: HOST, port, timeout: 5000 });
  await withTimeout(client.authenticate(PASSWORD), 5000, 'authenticate');
  return client;
}

// The sandbox of the enclosing describe block: started before its tests, and it must stop cleanly
// after them. What it returns stands for that sandbox once the tests run.
function suiteSandbox() {
  let sandbox;
  before(async () => { sandbox = await startSandbox(); });
  after(async () => {
    const { code, signal } = await sandbox.stop();
    assert.equal(signal, null);
    assert.equal(code, 0);
  });
  return new Proxy({}, { get: (_, key) => sandbox[key] });
}

describe('nestkeep-sandbox over RCON', () => {
  const sandbox = suiteSandbox();

  it('authenticates, reloads the config, reports a broken one and reloads it repaired', async () => {
    const client = await libraryClient(sandbox.port);
    try {
      assert.equal(await withTimeout(client.execute('Nestkeep.reload'), 5000, 'reload'),
        'Successfully reloaded!\n');
      assert.match(await withTimeout(client.execute('memory'), 5000, 'memory'), MEMORY);
      writeFileSync(sandbox.configPath, '{"General": {"ReplaceCuddleTypeWalk": tru');
      assert.equal(await withTimeout(client.execute('Nestkeep.reload'), 5000, 'reload broken'),
        "Couldn't reloaded!\n");
      writeFileSync(sandbox.configPath, GOOD_CONFIG);
      assert.equal(await withTimeout(client.execute('Nestkeep.reload'), 5000, 'reload repaired'),
        'Successfully reloaded!\n');
    } finally {
      await client.disconnect();
    }
  });

  // The raw refusal is checked by the repeated-failures suite below and by rcon_server_test.
  it('refuses a wrong password to the library client', async () => {
    const client = new Rcon({ host: HOST, port: sandbox.port, timeout: 5000 });
    await assert.rejects(withTimeout(client.authenticate('not-the-password'), 5000, 'refusal'),
      /Unable to authenticate/);
  });

  it('keeps every printed result on one line, takes CRLF line ends, refuses rcon inside rcon', async () => {
    const raw = await RawClient.open(sandbox.port);
    try {
      await raw.authenticate(1);
      const cases = [
        { body: 'spawn Evil\nready', reply: 'error: a species name may not hold control characters (byte 0x0A)' },
        { body: 'bogus\nready', reply: 'unknown command: bogus\\nready' },
        { body: 'rcon memory', reply: 'error: rcon cannot run inside rcon' },
        { body: 'Nestkeep.reload\r\n', reply: 'Successfully reloaded!\n' },
      ];
      for (const [i, { body, reply }] of cases.entries()) {
        raw.request(10 + i, EXEC, body);
        assert.deepEqual(await raw.packet(), { id: 10 + i, type: RESPONSE_VALUE, body: reply }, body);
      }
    } finally {
      raw.destroy();
    }
  });

  const malformed = [
    { name: 'size 9', bytes: Buffer.concat([int32(9), Buffer.alloc(9)]) },
    { name: 'size 4097', bytes: int32(4097) },
    { name: 'negative size', bytes: int32(-20) },
    { name: 'body without its terminating zero', bytes: Buffer.concat([int32(12), int32(1), int32(EXEC), Buffer.from('abcd')]) },
    { name: 'half a packet, then hang up', bytes: encode(3, EXEC, 'memory').subarray(0, 9), hangUp: true },
    { name: 'half a size, then hang up', bytes: int32(14).subarray(0, 2), hangUp: true },
    { name: 'plain text', bytes: Buffer.from('GET / HTTP/1.1\r\n\r\n') },
  ];
  for (const { name, bytes, hangUp } of malformed) {
    it(`survives ${name}, serving its other connections`, async () => {
      const bystander = await libraryClient(sandbox.port);
      try {
        // Before authenticating: the sandbox's deadline for that is longer than this wait, so only
        // the bad bytes can close it. rcon_server_test covers the same bytes after authenticating.
        const raw = await RawClient.open(sandbox.port);
        raw.send(bytes);
        if (hangUp) raw.socket.end();
        await raw.closedByServer();
        assert.equal(raw.input.length, 0, 'a malformed packet got an answer');
        assert.match(await withTimeout(bystander.execute('memory'), 5000, 'bystander'), MEMORY);
        const fresh = await libraryClient(sandbox.port);
        assert.equal(await withTimeout(fresh.execute('Nestkeep.reload'), 5000, 'fresh'), 'Successfully reloaded!\n');
        await fresh.disconnect();
      } finally {
        await bystander.disconnect();
      }
    });
  }

  // Raw clients pipelining under load are rcon_load's; here the library's, each of which accepts
  // only a reply carrying its own request's id.
  it('answers many library clients at once, each with its own ids', async () => {
    const clients = 16;
    const library = Array.from({ length: clients }, async () => {
      const client = await libraryClient(sandbox.port);
      try {
        for (let r = 0; r < 3; ++r)
          assert.match(await withTimeout(client.execute('memory'), 10000, 'memory'), MEMORY);
      } finally {
        await client.disconnect();
      }
    });
    await withTimeout(Promise.all(library), 60000, 'all clients');
  });
});

// A sandbox of its own: the refusal covers every client on a loopback address for a minute.
describe('nestkeep-sandbox after repeated wrong passwords', () => {
  const sandbox = suiteSandbox();

  it('refuses the address, logs it once, and keeps open connections and the console', async () => {
    const panel = await libraryClient(sandbox.port);
    try {
      for (let i = 0; i < 10; ++i) {
        const raw = await RawClient.open(sandbox.port);
        raw.request(i, AUTH, `guess-${i}`);
        assert.deepEqual(await raw.packet(), { id: -1, type: AUTH_ANSWER, body: '' });
        await raw.closedByServer();
      }
      // Another loopback address is no other client.
      for (const from of [undefined, '127.0.0.1', '127.0.0.2']) {
        const raw = await RawClient.open(sandbox.port, from);
        raw.request(1, AUTH, PASSWORD);
        await raw.closedByServer();
        assert.equal(raw.input.length, 0, 'a refused connection got an answer');
      }
      assert.match(await withTimeout(panel.execute('memory'), 5000, 'panel'), MEMORY);
      sandbox.console('rcon memory');
      await eventually(() => /^rcon id=1 type=0: memory blocks=\d+$/m.test(sandbox.output()), 5000,
        "the console's rcon");
      const refusals = () => sandbox.errors().match(/\[ArkApi\]\[warning\] RCON: .*$/gm) ?? [];
      await eventually(() => refusals().length > 0, 5000, 'the log line');
      assert.deepEqual(refusals(),
        ['[ArkApi][warning] RCON: loopback (127.0.0.0/8 and ::1) refused for 60 s after 10 failed authentications']);
    } finally {
      await panel.disconnect();
    }
  });
});

// A server: the end of its input does not end it while RCON is on; a service manager stops it with
// SIGTERM (Ctrl-C on Windows), and it closes its connections, unloads the module and exits 0.
describe('nestkeep-sandbox as a server', () => {
  it('serves past the end of its input until a signal stops it cleanly', async () => {
    const sandbox = await startSandbox();
    const raw = await RawClient.open(sandbox.port);
    await raw.authenticate(1);
    sandbox.endInput();
    await new Promise((resolve) => setTimeout(resolve, 300));
    raw.request(2, EXEC, 'memory');
    assert.match((await raw.packet()).body, MEMORY);
    const { code, signal } = await sandbox.stop(STOP.signal);
    await raw.closedByServer();
    assert.equal(signal, null);
    assert.equal(code, 0);
    assert.ok(sandbox.errors().includes(
      `[ArkApi][info] stopped by ${STOP.logged}: RCON connections closed, the module unloaded`),
    sandbox.errors());
  });
});
