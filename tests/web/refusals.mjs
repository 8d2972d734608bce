// What the wizard refuses, over plain HTTP: a request without the token or
// with a wrong one, a Host header naming another server (a page of another
// site rebinding its name to this machine), pack names that reach outside the
// export root, and a second import while one runs (held waiting for the
// store's write lock, taken by the sqlite3 program). SIGTERM then ends the
// wizard cleanly.
// Usage: node refusals.mjs KESTREL
import assert from 'node:assert/strict';
import { spawn, execFileSync } from 'node:child_process';
import { demoWorkspace, onExit, request, serve, skip } from './harness.mjs';

try { execFileSync('sqlite3', ['-version']); } catch { skip('no sqlite3 program (scripts/setup.sh installs it)'); }

const ws = demoWorkspace();
const server = await serve(ws);
const bearer = { Authorization: 'Bearer ' + server.token };
const cases = [
  // [what, method, path, headers, body, status, text the answer holds]
  ['no token', 'GET', '/api/profiles', {}, undefined, 403, 'needs the token'],
  ['no token for the page', 'GET', '/', {}, undefined, 403, 'needs the token'],
  ['a wrong token', 'GET', '/api/profiles?token=' + 'f'.repeat(32), {}, undefined, 403, 'needs the token'],
  ['another Host', 'GET', '/api/profiles', { ...bearer, Host: `rebound.example:${server.port}` }, undefined, 403, 'another server'],
  ['another port', 'GET', '/api/profiles', { ...bearer, Host: `127.0.0.1:${server.port + 1}` }, undefined, 403, 'another server'],
  ['the token as a header', 'GET', '/api/profiles', bearer, undefined, 200, '"profile":30'],
  ['the token in the query', 'GET', `/?token=${server.token}`, { Host: `localhost:${server.port}` }, undefined, 200, '<title>'],
  ['a pack name of ".."', 'GET', '/api/packs/..', bearer, undefined, 400, 'pack name'],
  ['a pack path upwards', 'GET', '/api/packs/..%2F..%2Fregistry.ini', bearer, undefined, 400, 'pack name'],
  ['a pack path in a request', 'POST', '/api/verify', bearer, { pack: '../packs', targets: [] }, 400, 'pack name'],
  ['a profile number out of range', 'POST', '/api/export', bearer, { profile: 40000 }, 400, 'from 1 to 32767'],
  ['a pack that is not there', 'GET', '/api/packs/30-ACC10-ACCX2-S', bearer, undefined, 404, 'there is no pack'],
  ['the export of the chain', 'POST', '/api/export', bearer, { profile: 30, revisions: true }, 200, '30-ACC10-ACCX2-M'],
  ['a marker typed', 'POST', '/api/verify', bearer,
    { pack: '30-ACC10-ACCX2-M', targets: [['10*', 'ACC10', 'ACCX2', '0', '0', '1']] }, 400, 'markers are output'],
];
for (const [what, method, path, headers, body, status, holds] of cases) {
  const r = await request(server, method, path, headers, body);
  assert.equal(r.status, status, `${what}: ${r.text}`);
  assert.ok(r.text.includes(holds), `${what}: ${r.text}`);
}
const cookie = (await request(server, 'GET', `/?token=${server.token}`)).headers['set-cookie'][0];
assert.match(cookie, new RegExp(`^kestrel_token_${server.port}=${server.token}; .*HttpOnly; SameSite=Strict`));

// Another program holds the store's write lock: the import waits for it.
const holder = spawn('sqlite3', [ws.store]);
onExit(() => holder.kill('SIGKILL'));
await new Promise(resolve => {
  holder.stdout.on('data', d => { if (String(d).includes('locked')) resolve(); });
  holder.stdin.write("BEGIN IMMEDIATE;\nSELECT 'locked';\n");
});
const details = JSON.parse((await request(server, 'GET', '/api/packs/30-ACC10-ACCX2-M', bearer)).text).details;
const targets = details.target.map(t => [t.profile, t.source_application, t.target_application, t.parent, t.source_extn, t.target_extn].map(String));
const run = { pack: '30-ACC10-ACCX2-M', targets, replace: true };
assert.equal((await request(server, 'POST', '/api/import', bearer, run)).status, 202);
for (const second of ['/api/import', '/api/dry-run']) {
  const r = await request(server, 'POST', second, bearer, run);
  assert.equal(r.status, 409, r.text);
  assert.equal(JSON.parse(r.text).error.description, 'An import into this store is running; wait until it has ended');
}
assert.equal(JSON.parse((await request(server, 'GET', '/api/progress', bearer)).text).state, 'running');
holder.stdin.end('ROLLBACK;\n.quit\n');
let progress;
for (let polls = 0; polls < 600; ++polls) {
  await new Promise(ok => setTimeout(ok, 100));
  progress = JSON.parse((await request(server, 'GET', '/api/progress', bearer)).text);
  if (progress.state !== 'running') break;
}
assert.equal(progress.state, 'done', JSON.stringify(progress.result));
assert.deepEqual(progress.result.summary.imported.map(i => i.profile), [10, 20, 30]);

server.child.kill('SIGTERM');
assert.deepEqual(await server.exited, { code: 0, signal: null });
console.log(`${cases.length + 4} passed, 0 failed`);
