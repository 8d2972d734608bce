// A page of another server on this machine (another port of 127.0.0.1, which
// the browser counts as the same site), opened in the browser in which the
// user has the wizard open with its token: through the browser it can
// neither import, dry-run nor export (by fetch or by a form), nor read the
// wizard's packs, and no request to it carries the token. The wizard's own
// page still works, also after a reload.
// Usage: node crosssite.mjs KESTREL
import assert from 'node:assert/strict';
import http from 'node:http';
import { browser, demoWorkspace, loadPuppeteer, onExit, own, request, serve } from './harness.mjs';

const puppeteer = await loadPuppeteer();
const ws = demoWorkspace();
const server = await serve(ws);
const wizardOrigin = 'http://' + server.host;
assert.equal((await request(server, 'POST', '/api/export', own(server), { profile: 30 })).status, 200);
const details = JSON.parse((await request(server, 'GET', '/api/packs/30-ACC10-ACCX2-M', own(server))).text).details;
const targets = details.target.map(t => [t.profile, t.source_application, t.target_application, t.parent, t.source_extn, t.target_extn].map(String));
const run = { pack: '30-ACC10-ACCX2-M', targets, replace: true };

// The other server: one empty page for every address; what it is sent is kept.
const seen = [];
const other = http.createServer((req, res) => {
  seen.push({ url: req.url, headers: req.headers });
  res.setHeader('Content-Type', 'text/html');
  res.end('<!DOCTYPE html><title>another server</title><body></body>');
});
await new Promise(ok => other.listen(0, '127.0.0.1', ok));
const otherUrl = `http://127.0.0.1:${other.address().port}/`;

const chrome = await browser(puppeteer);
const wizard = await chrome.newPage();
await wizard.goto(server.url);
await wizard.waitForSelector('main table tbody tr');

const attacker = await chrome.newPage();
const answers = [];
attacker.on('response', r => {
  if (r.url().startsWith(wizardOrigin + '/')) answers.push(`${r.request().method()} ${r.url()} ${r.status()}`);
});
await attacker.goto(otherUrl);
const outcomes = await attacker.evaluate(async (wizardOrigin, run) => {
  const attempt = async (path, init = {}) => {
    try {
      const r = await fetch(wizardOrigin + path, { credentials: 'include', ...init });
      return r.type === 'opaque' ? 'sent, its answer unreadable' : `read ${r.status}: ${await r.text()}`;
    } catch {
      return 'stopped by the browser';
    }
  };
  const body = JSON.stringify(run);
  const plain = { method: 'POST', mode: 'no-cors', headers: { 'Content-Type': 'text/plain' } };
  return {
    'import as text/plain': await attempt('/api/import', { ...plain, body }),
    'dry run as text/plain': await attempt('/api/dry-run', { ...plain, body }),
    'export as a form': await attempt('/api/export', { method: 'POST', mode: 'no-cors', body: new URLSearchParams({ profile: '10' }) }),
    'import as JSON': await attempt('/api/import', { method: 'POST', headers: { 'Content-Type': 'application/json' }, body }),
    'the packs': await attempt('/api/packs'),
    'a pack': await attempt('/api/packs/30-ACC10-ACCX2-M'),
    'the packs, unread': await attempt('/api/packs', { mode: 'no-cors' }),
  };
}, wizardOrigin, run);
for (const [what, outcome] of Object.entries(outcomes)) assert.ok(!outcome.startsWith('read'), `${what}: ${outcome}`);

// A form posted as text/plain whose body is the import's JSON, the way such
// a page would send it in a top-level navigation.
await Promise.all([attacker.waitForNavigation(), attacker.evaluate((action, json) => {
  const form = document.createElement('form');
  form.method = 'POST';
  form.enctype = 'text/plain';
  form.action = action;
  const input = document.createElement('input');
  input.name = json.slice(0, -1) + ',"x":"';
  input.value = '"}';
  form.append(input);
  document.body.append(form);
  form.submit();
}, wizardOrigin + '/api/import', JSON.stringify(run))]);

assert.ok(answers.length >= 6, answers.join('\n'));
for (const answer of answers) assert.match(answer, / 403$/, answers.join('\n'));
assert.equal(JSON.parse((await request(server, 'GET', '/api/progress', own(server))).text).state, 'idle', 'nothing ran');
assert.deepEqual(JSON.parse((await request(server, 'GET', '/api/packs', own(server))).text).packs.map(p => p.name),
  ['30-ACC10-ACCX2-M'], 'nothing was exported');
assert.ok(seen.length > 0);
assert.ok(!JSON.stringify(seen).includes(server.token), 'the token went to the other server: ' + JSON.stringify(seen));

// The wizard's page keeps its token for this tab: a reload still reads packs.
await attacker.close();
await wizard.bringToFront();
await wizard.reload();
await wizard.waitForSelector('main table tbody tr');
await wizard.click('nav a[data-page=packs]');
await wizard.waitForSelector('main table a');
assert.equal(await wizard.$eval('main table a', a => a.innerText), '30-ACC10-ACCX2-M');

await chrome.close();
other.closeAllConnections();
other.close();
server.child.kill('SIGTERM');
assert.deepEqual(await server.exited, { code: 0, signal: null });
console.log(`${Object.keys(outcomes).length + 6} passed, 0 failed`);
