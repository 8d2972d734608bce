// The whole wizard in a browser on the demo store: the profiles, the export
// of the chain, its pack with the target list edited (a number another
// target already takes is refused, then a free one passes), the dry run, the
// import, the run log; then the store's rows, read by `kestrel list`.
// A screenshot of each page goes into the folder given as the second argument.
// Usage: node flow.mjs KESTREL SCREENSHOT_FOLDER
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { browser, demoWorkspace, loadPuppeteer, serve } from './harness.mjs';

const puppeteer = await loadPuppeteer();
const shots = process.argv[3];
fs.mkdirSync(shots, { recursive: true });
console.log('screenshots: ' + shots);

const ws = demoWorkspace();
const server = await serve(ws);
const chrome = await browser(puppeteer);
const page = await chrome.newPage();
await page.setViewport({ width: 1000, height: 720 });
let shot = 0;
const snap = name => page.screenshot({ path: path.join(shots, `${String(++shot).padStart(2, '0')}-${name}.png`), fullPage: true });
const text = selector => page.$eval(selector, e => e.innerText);
const setValue = (selector, value) => page.$eval(selector, (e, v) => { e.value = v; }, value);

// The profiles of the store, as a table and as the tree of the chain 10 > 20 > 30.
await page.goto(server.url);
await page.waitForSelector('main table tbody tr');
const numbers = await page.$$eval('main table tbody tr td:first-child', tds => tds.map(td => td.innerText));
assert.deepEqual(numbers, ['10', '20', '30']);
assert.equal(await page.$eval('ul.tree > li > ul > li > ul > li strong', e => e.innerText), '30');
assert.ok(!page.url().includes('token='), 'the token leaves the address bar');
await snap('profiles');

// The chain of profile 30 exported with its revision history.
await page.click('nav a[data-page=export]');
await page.waitForSelector('#export-form');
await page.select('#profile', '30');
await page.click('input[name=revisions]');
await page.click('#export-button');
await page.waitForSelector('#export-result .panel');
assert.match(await text('#export-result'), /Exported to .*\/ExportedRules\/30-ACC10-ACCX2-M/);
await snap('export');

await page.click('nav a[data-page=packs]');
await page.waitForSelector('main table a');
assert.equal(await text('main table a'), '30-ACC10-ACCX2-M');
assert.match(await text('main table tbody tr'), /succeeded\s+30, 20, 10/);
await snap('packs');

// The pack: the proposal keeps every number, each one held by the store.
await page.click('main table a');
await page.waitForSelector('#targets tbody tr');
assert.equal(await page.$$eval('#targets tbody tr', rows => rows.length), 3);
assert.equal(await page.$eval('input[name=profile-2]', e => e.value), '30');
const held = await page.$$eval('#targets tbody tr:nth-child(3) .badge', bs => bs.map(b => [b.innerText, b.title]));
assert.deepEqual(held[0], ['in store', 'The store already holds profile 30: the import replaces it.']);
assert.equal(await page.$eval('#targets tbody tr:nth-child(1) td:last-child .badge', b => b.title),
  'No parent: the profile becomes a root of the hierarchy.');
assert.ok(!(await page.$$eval('#targets input', is => is.some(i => i.value.includes('*')))), 'markers are never typed');
await snap('pack');

// Pack profile 30 as profile 20, which pack profile 20 takes already: refused.
await setValue('input[name=profile-2]', '20');
await page.click('#verify');
await page.waitForSelector('#verify-result.refused');
const refusal = await page.$$eval('#verify-result li', lis => lis.map(l => l.innerText));
assert.ok(refusal.includes('Profile Number 20 repeats in the target selection.'), refusal.join('\n'));
await snap('verify-refused');

// As the free number 40: passes; the base profiles are still replaced.
await setValue('input[name=profile-2]', '40');
await page.click('#verify');
await page.waitForSelector('#verify-result.passed');
assert.match(await text('#verify-result'), /The selection passes\.[\s\S]*replaces what the store holds: profile 10, profile 20/);
assert.equal(await page.$$eval('#targets tbody tr:nth-child(3) td.sep .badge', bs => bs.length), 0, '40 is not held');
await snap('verify-passed');

await page.click('#dry-run');
await page.waitForSelector('#dry-run-result');
assert.match(await text('#dry-run-result'), /pack profile 30 would be imported as profile 40/);
assert.ok(!JSON.parse(ws.run('list', '--store', ws.store, '--json')).profiles.some(p => p.profile === 40),
  'the dry run changes nothing');
await snap('dry-run');

// The import asks first, naming what it deletes and replaces; cancelled,
// nothing changes.
const listed = () => ws.run('list', '--store', ws.store, '--json');
const before = listed();
const confirmation = async () => {
  await page.click('#import');
  await page.waitForSelector('dialog#confirm-import[open]');
  return page.$$eval('#confirm-replaces li', lis => lis.map(l => l.innerText));
};
assert.deepEqual(await confirmation(), ['profile 10', 'profile 20', 'application ACC10', 'application ACCX2']);
assert.match(await text('#confirm-import'), /Import pack 30-ACC10-ACCX2-M into .*demo\.db\?[\s\S]*pack profile 30 as profile 40/);
assert.equal(await page.$eval('#import', b => getComputedStyle(b).backgroundColor),
  await page.$eval('#confirm-import-button', b => getComputedStyle(b).backgroundColor), 'both look destructive');
assert.notEqual(await page.$eval('#import', b => getComputedStyle(b).backgroundColor),
  await page.$eval('#verify', b => getComputedStyle(b).backgroundColor), 'import does not look like verify');
await snap('confirm-import');
await page.click('#confirm-cancel');
await page.waitForSelector('#import-cancelled');
assert.equal(await page.$('dialog'), null);
assert.equal(listed(), before, 'a cancelled import changes nothing');

// Escape cancels as well; confirmed, the import replaces what it named.
await confirmation();
await page.keyboard.press('Escape');
await page.waitForSelector('#import-cancelled');
assert.equal(listed(), before);
await confirmation();
await page.click('#confirm-import-button');
await page.waitForSelector('#import-result');
assert.match(await text('#import-result'), /pack profile 30 was imported as profile 40[\s\S]*profiles replaced: (20, 10|10, 20)/);
await snap('import');

// The run log, its separators (character 1, a carriage return inside a
// line) shown as markers, not as characters a browser draws as boxes.
await page.click('nav a[data-page=log]');
await page.waitForSelector('#log');
const log = await text('#log');
assert.match(log, /Import Logic Pack/);
assert.ok(!/[\x00-\x08\x0b-\x1f]/.test(log), 'no control character is drawn');
assert.ok((await page.$$eval('#log .separator', ms => ms.map(m => m.innerText))).includes('1'), 'character 1 is a marker');
await snap('log');

// The store: 40 beside 30 under 20, with the rules of pack profile 30.
const after = JSON.parse(ws.run('list', '--store', ws.store, '--json')).profiles;
const byNumber = Object.fromEntries(after.map(p => [p.profile, p]));
assert.deepEqual(Object.keys(byNumber), ['10', '20', '30', '40']);
assert.equal(byNumber[40].parent, 20);
assert.equal(byNumber[40].depth, 3);
assert.deepEqual(byNumber[40].rules, byNumber[30].rules);
assert.equal(byNumber[40].description, byNumber[30].description);

await chrome.close();
server.child.kill('SIGTERM');
assert.deepEqual(await server.exited, { code: 0, signal: null });
console.log('1 passed, 0 failed');
