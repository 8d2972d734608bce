// The diff page in a browser: the wizard's store against a pack of its
// export root, after the store's profile 30 changed one line of a rule (to a
// text that looks like markup) and lost a rule the pack holds. The page
// shows the changed line as a hunk with its context, "-" the store's and
// "+" the pack's, the added rule with its fields, every text as text; the
// interface refuses a pack name outside the root and a context that is no
// number. A screenshot goes into the folder given as the second argument.
// Usage: node diff.mjs KESTREL SCREENSHOT_FOLDER
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { browser, demoWorkspace, loadPuppeteer, own, request, serve, skip } from './harness.mjs';

try { execFileSync('sqlite3', ['-version']); } catch { skip('no sqlite3 program (scripts/setup.sh installs it)'); }
const puppeteer = await loadPuppeteer();
const shots = process.argv[3];
fs.mkdirSync(shots, { recursive: true });

const ws = demoWorkspace();
fs.mkdirSync(ws.root, { recursive: true });
const pack = ws.run('export', '--store', ws.store, '--profile', '30', '--root', ws.root).split('\n')[0];
const where = "where mprf = 30 and tcmod = 'HRPAY' and stat = 'I'";
execFileSync('sqlite3', [ws.store,
  `update qzmap120 set prtx = replace(prtx, 'END IF', '<b>END</b> IF') ${where};` +
  "delete from qzmap140 where mprf = 30 and tcmod = 'COCTR' and dnum = 2;"]);
const server = await serve(ws);
const name = path.basename(pack);

for (const [what, query, status, text] of [
  ['a pack name upwards', 'pack=..%2F..%2Fdemo.db', 400, 'pack name'],
  ['a pack that is not there', 'pack=30-ACC10-ACCX2-S', 404, 'there is no pack'],
  ['a context that is no number', `pack=${name}&context=three`, 400, 'context'],
]) {
  const r = await request(server, 'GET', '/api/diff?' + query, own(server));
  assert.equal(r.status, status, what);
  assert.match(r.text, new RegExp(text), what);
}

const chrome = await browser(puppeteer);
const page = await chrome.newPage();
await page.setViewport({ width: 1000, height: 720 });
await page.goto(server.url);
await page.waitForSelector('nav a[href="/diff.html"]');
await page.click('nav a[href="/diff.html"]');
await page.waitForSelector(`#pack option[value="${name}"]`);
await page.select('#pack', name);
await page.$eval('#context', e => { e.value = '1'; });
await page.click('#choose button');
await page.waitForSelector('section.change');

const text = await page.$eval('#result', e => e.innerText);
assert.match(text, /What importing .* would change in the store: lines with - are the store's, lines with \+ the pack's/);
const hunk = await page.$$eval('section.change', ss => ss.map(s => s.innerText)
  .find(t => t.includes('qzmap120') && t.includes('HRPAY')));
assert.ok(hunk, text);
assert.match(hunk, /@@ -2,3 \+2,3 @@ prtx\n {3}TGT\.\w+ = TRIM\(SRC\.\w+\)\n-<b>END<\/b> IF\n\+END IF\n ' Stra/);
assert.equal(await page.$$eval('section.change b', bs => bs.length), 0, 'a stored text is never markup');
assert.equal(await page.$eval('pre.hunks span.old', e => getComputedStyle(e).color), 'rgb(140, 29, 19)');
const added = await page.$$eval('section.change.added', ss => ss.map(s => s.innerText));
assert.equal(added.length, 1);
assert.match(added[0], /added\s*qzmap140 profile 30: .*dnum=2\n(\+\w+: .*\n)+/);
await page.screenshot({ path: path.join(shots, '20-diff.png'), fullPage: true });

await chrome.close();
server.child.kill('SIGTERM');
assert.deepEqual(await server.exited, { code: 0, signal: null });
console.log('1 passed, 0 failed');
