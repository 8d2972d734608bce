// What the wizard refuses, over plain HTTP: calls without the token in their
// Authorization header (none, a wrong one, the token in the query or in a
// cookie), a Host header naming another server (a page of another site
// rebinding its name to this machine), calls that change something sent the
// way a page of another origin can send them (another or no Origin, a body
// not declared JSON), pack names that reach outside the export root, and a
// second import while one runs (held waiting for the store's write lock,
// taken by the sqlite3 program), a diff context below 0 or above a million
// and a path that is no page. SIGTERM then ends the wizard cleanly.
// Usage: node refusals.mjs KESTREL
import assert from 'node:assert/strict';
import { spawn, execFileSync } from 'node:child_process';
import { demoWorkspace, onExit, own, request, serve, skip } from './harness.mjs';

try { execFileSync('sqlite3', ['-version']); } catch { skip('no sqlite3 program (scripts/setup.sh installs it)'); }

const ws = demoWorkspace();
const server = await serve(ws);
const page = own(server);
const cookie = { Cookie: `kestrel_token_${server.port}=${server.token}` };
const cases = [
  // [what, method, path, headers, body, status, text the answer holds]
  ['no token', 'GET', '/api/profiles', {}, undefined, 403, 'need the token'],
  ['a wrong token', 'GET', '/api/profiles', { Authorization: 'Bearer ' + 'f'.repeat(32) }, undefined, 403, 'need the token'],
  ['the token in the query', 'GET', '/api/profiles?token=' + server.token, {}, undefined, 403, 'need the token'],
  ['the token in a cookie', 'GET', '/api/packs', cookie, undefined, 403, 'need the token'],
  ['a read naming another origin', 'GET', '/api/packs', { ...page, Origin: `http://127.0.0.1:${server.port + 1}` },
    undefined, 403, 'another origin'],
  ['a read from another site', 'GET', '/api/log', { ...page, 'Sec-Fetch-Site': 'cross-site' }, undefined, 403, 'another origin'],
  ['another Host', 'GET', '/api/profiles', { ...page, Host: `rebound.example:${server.port}` }, undefined, 403, 'another server'],
  ['another port', 'GET', '/api/profiles', { ...page, Host: `127.0.0.1:${server.port + 1}` }, undefined, 403, 'another server'],
  ['the token as a header', 'GET', '/api/profiles', page, undefined, 200, '"profile":30'],
  ['the page, which holds no secret', 'GET', '/', {}, undefined, 200, '<title>'],
  ['the page with its token', 'GET', `/?token=${server.token}`, { Host: `localhost:${server.port}` }, undefined, 200, '<title>'],
  ['a pack name of ".."', 'GET', '/api/packs/..', page, undefined, 400, 'pack name'],
  ['a pack path upwards', 'GET', '/api/packs/..%2F..%2Fregistry.ini', page, undefined, 400, 'pack name'],
  ['a pack path in a request', 'POST', '/api/verify', page, { pack: '../packs', targets: [] }, 400, 'pack name'],
  ['a profile number out of range', 'POST', '/api/export', page, { profile: 40000 }, 400, 'from 1 to 32767'],
  ['a pack that is not there', 'GET', '/api/packs/30-ACC10-ACCX2-S', page, undefined, 404, 'there is no pack'],
  ['a path that is no page', 'GET', '/no-such-page.html', {}, undefined, 404, 'not found'],
  ['the export of the chain', 'POST', '/api/export', page, { profile: 30, revisions: true }, 200, '30-ACC10-ACCX2-M'],
  ['a diff without context lines', 'GET', '/api/diff?pack=30-ACC10-ACCX2-M&context=0', page, undefined, 200, '"equal"'],
  ['a diff of context -1', 'GET', '/api/diff?pack=30-ACC10-ACCX2-M&context=-1', page, undefined, 400, 'unchanged lines'],
  ['a diff of the most context', 'GET', '/api/diff?pack=30-ACC10-ACCX2-M&context=1000000', page, undefined, 200, '"equal"'],
  ['a diff of more context', 'GET', '/api/diff?pack=30-ACC10-ACCX2-M&context=1000001', page, undefined, 400, 'unchanged lines'],
  ['a marker typed', 'POST', '/api/verify', page,
    { pack: '30-ACC10-ACCX2-M', targets: [['10*', 'ACC10', 'ACCX2', '0', '0', '1']] }, 400, 'markers are output'],
];
for (const [what, method, path, headers, body, status, holds] of cases) {
  const r = await request(server, method, path, headers, body);
  assert.equal(r.status, status, `${what}: ${r.text}`);
  assert.ok(r.text.includes(holds), `${what}: ${r.text}`);
  assert.equal(r.headers['set-cookie'], undefined, `${what}: the token is never a cookie`);
  assert.ok(!r.text.includes(server.token), `${what}: the token is never echoed`);
}

const details = JSON.parse((await request(server, 'GET', '/api/packs/30-ACC10-ACCX2-M', page)).text).details;
const targets = details.target.map(t => [t.profile, t.source_application, t.target_application, t.parent, t.source_extn, t.target_extn].map(String));
const run = { pack: '30-ACC10-ACCX2-M', targets, replace: true };

// Calls that change something, sent as a page of another origin or a plain
// program without the page's headers could send them: none may run.
const { Authorization, Origin } = page;
const json = 'application/json';
const hostile = [
  // [what, path, headers, status]
  ['no token', '/api/import', { Origin, 'Content-Type': json }, 403],
  ['the token only in a cookie', '/api/import', { ...cookie, Origin, 'Content-Type': json }, 403],
  ['the token only in the query', `/api/dry-run?token=${server.token}`, { Origin, 'Content-Type': json }, 403],
  ['the origin of another port', '/api/import', { ...page, Origin: `http://127.0.0.1:${server.port + 1}` }, 403],
  ['the origin of another site', '/api/dry-run', { ...page, Origin: 'http://rebound.example' }, 403],
  ['a null origin', '/api/import', { ...page, Origin: 'null' }, 403],
  ['no origin', '/api/import', { Authorization, 'Content-Type': json }, 403],
  ['sent by another port, says the browser', '/api/import', { ...page, 'Sec-Fetch-Site': 'same-site' }, 403],
  ['a text/plain body', '/api/import', { ...page, 'Content-Type': 'text/plain' }, 415],
  ['a form-urlencoded body', '/api/dry-run', { ...page, 'Content-Type': 'application/x-www-form-urlencoded' }, 415],
  ['a multipart body', '/api/import', { ...page, 'Content-Type': 'multipart/form-data; boundary=x' }, 415],
  ['a body of no type', '/api/import', { Authorization, Origin }, 415],
  ['an export as text/plain', '/api/export', { ...page, 'Content-Type': 'text/plain' }, 415],
];
for (const [what, path, headers, status] of hostile) {
  const body = JSON.stringify(path.includes('export') ? { profile: 10 } : run);
  const r = await request(server, 'POST', path, headers, body);
  assert.equal(r.status, status, `${what}: ${r.text}`);
  assert.match(r.text, status === 415 ? /"number":9080/ : /"number":70/, what);
}
assert.equal(JSON.parse((await request(server, 'GET', '/api/progress', page)).text).state, 'idle', 'nothing ran');
assert.deepEqual(JSON.parse((await request(server, 'GET', '/api/packs', page)).text).packs.map(p => p.name),
  ['30-ACC10-ACCX2-M'], 'nothing was exported');

// Another program holds the store's write lock: the import waits for it.
const holder = spawn('sqlite3', [ws.store]);
onExit(() => holder.kill('SIGKILL'));
await new Promise(resolve => {
  holder.stdout.on('data', d => { if (String(d).includes('locked')) resolve(); });
  holder.stdin.write("BEGIN IMMEDIATE;\nSELECT 'locked';\n");
});
assert.equal((await request(server, 'POST', '/api/import', page, run)).status, 202);
for (const second of ['/api/import', '/api/dry-run']) {
  const r = await request(server, 'POST', second, page, run);
  assert.equal(r.status, 409, r.text);
  assert.equal(JSON.parse(r.text).error.description, 'An import into this store is running; wait until it has ended');
}
assert.equal(JSON.parse((await request(server, 'GET', '/api/progress', page)).text).state, 'running');
holder.stdin.end('ROLLBACK;\n.quit\n');
let progress;
for (let polls = 0; polls < 600; ++polls) {
  await new Promise(ok => setTimeout(ok, 100));
  progress = JSON.parse((await request(server, 'GET', '/api/progress', page)).text);
  if (progress.state !== 'running') break;
}
assert.equal(progress.state, 'done', JSON.stringify(progress.result));
assert.deepEqual(progress.result.summary.imported.map(i => i.profile), [10, 20, 30]);

server.child.kill('SIGTERM');
assert.deepEqual(await server.exited, { code: 0, signal: null });
console.log(`${cases.length + hostile.length + 5} passed, 0 failed`);
