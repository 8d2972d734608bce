// The wizard as a person meets it outside the happy path: opened without its
// token (the page says how to open it, also for a visit of the JSON
// interface or under another name), every page on a 400 px wide screen, a
// number left empty in the target list, a pack exported twice, an import
// refused because the store changed while its confirmation was open, and the
// check of a pack changed after its export.
// No page says the command line's words or the component's legacy texts.
// Screenshots go into the folder given as the second argument.
// Usage: node pages.mjs KESTREL SCREENSHOT_FOLDER
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { browser, demoWorkspace, loadPuppeteer, own, request, serve } from './harness.mjs';

const puppeteer = await loadPuppeteer();
const shots = process.argv[3];
fs.mkdirSync(shots, { recursive: true });

const ws = demoWorkspace();
const server = await serve(ws);
const origin = 'http://' + server.host;
const html = 'text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8';

// Visits without the token, or under another name, get the page on how to
// open the wizard (never the token); the page's own calls still get JSON.
const visits = [
  // [what, path, headers, status, text the page holds]
  ['the page on opening', '/open', { Accept: html }, 200, 'opened without the wizard\'s access token'],
  ['the JSON interface visited', '/api/profiles', { Accept: html }, 403, 'shown by its own page'],
  ['a pack visited', '/api/packs/30-ACC10-ACCX2-M', { Accept: html }, 403, 'shown by its own page'],
  ['another name', '/', { Accept: html, Host: `kestrel.example:${server.port}` }, 403,
    `answers at http://${server.host}/, not under the name`],
];
for (const [what, where, headers, status, holds] of visits) {
  const r = await request(server, 'GET', where, headers);
  assert.equal(r.status, status, what);
  assert.match(r.headers['content-type'], /^text\/html/, what);
  assert.ok(r.text.includes(holds), `${what}: ${r.text}`);
  assert.ok(r.text.includes(`http://${server.host}/?token=<var>TOKEN</var>`), `${what}: names the address`);
  assert.ok(!r.text.includes(server.token), `${what}: never the token`);
}
const script = await request(server, 'GET', '/api/profiles', { Accept: '*/*' });
assert.equal(script.status, 403);
assert.equal(JSON.parse(script.text).error.number, 70, 'a script gets the JSON refusal');
const icon = await request(server, 'GET', '/favicon.svg');
assert.equal(icon.status, 200);
assert.equal(icon.headers['content-type'], 'image/svg+xml');
assert.match(icon.text, /^<svg /);

const chrome = await browser(puppeteer);
const page = await chrome.newPage();
const snap = name => page.screenshot({ path: path.join(shots, `pages-${name}.png`), fullPage: true });
const text = selector => page.$eval(selector, e => e.innerText);
const setValue = (selector, value) => page.$eval(selector, (e, v) => { e.value = v; }, value);
// Words of the command line and of the component's own messages, which
// mean nothing in a browser.
const cliWords = /(^|\s)--?[a-z]|run it again|Suggession|Overwrite Option|kestrel (import|export|verify)/;
const saysNoCliWords = async what => {
  const body = await page.evaluate(() => document.body.innerText);
  assert.ok(!cliWords.test(body), `${what}: ${body}`);
};

// Opened by its address without the token, the wizard says how to open it.
await page.setViewport({ width: 400, height: 760 });
await page.goto(origin + '/');
await page.waitForSelector('main#open');
assert.equal(new URL(page.url()).pathname, '/open');
assert.match(await text('#why'), /without the wizard's access token/);
assert.match(await text('pre.address'), new RegExp(`http://${server.host}/\\?token=TOKEN`));
assert.equal(await page.$eval('link[rel=icon]', l => l.href), origin + '/favicon.svg');
await snap('open');
await page.goto(origin + '/api/packs');
await page.waitForSelector('main#open');
// A token of an earlier start is dropped, and the page says so as well.
await page.goto(`${origin}/?token=${'0'.repeat(32)}`);
await page.waitForSelector('main#open');
assert.equal(await page.evaluate(() => sessionStorage.getItem('kestrel-token')), null);

// Every page fits 400 px: the page itself never scrolls sideways; a wide
// table scrolls in its own box.
const fits = async what => {
  // Measured once the stylesheet applies: a page still loading it is wider.
  await page.waitForFunction(() => document.readyState === 'complete');
  const [width, wide] = await page.evaluate(() => [document.scrollingElement.scrollWidth,
    [...document.querySelectorAll('body *')].filter(e => e.getBoundingClientRect().right > 400)
      .map(e => `${e.tagName}.${e.className}#${e.id}`)]);
  assert.ok(width <= 400, `${what} is ${width} px wide: ${wide.join(' ')}`);
};
await fits('the page on opening');
await page.goto(server.url);
await page.waitForSelector('main table tbody tr');
await fits('the profiles');
await page.click('nav a[data-page=export]');
await page.waitForSelector('#export-form');
await fits('the export');
await page.select('#profile', '30');
await page.click('#export-button');
await page.waitForSelector('#export-result .passed');
await fits('the export done');

// The same pack again, without leave to write over it: the wizard's own
// sentence, with the checkbox that gives leave as the hint.
await page.click('#export-button');
await page.waitForSelector('#export-refused');
assert.match(await text('#export-refused'), /already in the export root[\s\S]*Write again into an existing pack folder/);
await saysNoCliWords('the export refused');
await fits('the export refused');

// An import without consent, as a script may send it: the engine's refusal
// stays in the description, the answer carries the page's own sentence.
const details = JSON.parse((await request(server, 'GET', '/api/packs/30-ACC10-ACCX2-M', own(server))).text).details;
const targets = details.target.map(t => [t.profile, t.source_application, t.target_application, t.parent, t.source_extn, t.target_extn].map(String));
const progress = async () => {
  for (let polls = 0; polls < 600; ++polls) {
    const p = JSON.parse((await request(server, 'GET', '/api/progress', own(server))).text);
    if (p.state !== 'running') return p;
    await new Promise(ok => setTimeout(ok, 100));
  }
};
assert.equal((await request(server, 'POST', '/api/import', own(server), { pack: '30-ACC10-ACCX2-M', targets })).status, 202);
const unconfirmed = (await progress()).result.error;
assert.equal(unconfirmed.number, 9030);
assert.match(unconfirmed.description, /^The import would delete and replace what the store holds: the store holds profile 10/,
  'the engine\'s own text stays for scripts');
assert.match(unconfirmed.sentence, /^The import would delete and replace what the store holds \(profile 10, profile 20, profile 30, application ACC10, application ACCX2\)/);
assert.match(unconfirmed.hint, /confirm the replacement in the dialog/);
assert.ok(!cliWords.test(unconfirmed.sentence + unconfirmed.hint), unconfirmed.sentence);

await page.goto(`${origin}/#/pack/30-ACC10-ACCX2-M`);
await page.waitForSelector('#targets tbody tr');
await fits('the pack');
assert.ok(await page.$eval('#targets', t => t.parentElement.scrollWidth > t.parentElement.clientWidth),
  'the target list scrolls in its box');
await snap('pack-narrow');

// A number left empty is named by its row, before anything else is said.
await setValue('input[name=profile-2]', '');
for (const button of ['#verify', '#import']) {
  await page.$eval('#results', r => r.replaceChildren());
  await page.click(button);
  await page.waitForSelector('#run-result');
  assert.match(await text('#run-result'), /Row 3 of the target list has no number to import its pack profile as: give a profile number from 1 to 32767/);
  assert.ok(!(await text('#run-result')).includes('()'), 'no empty number shown');
  assert.equal(await page.$('dialog'), null, 'nothing to confirm');
}

// An empty parent likewise.
await setValue('input[name=profile-2]', '40');
const parent = await page.$eval('input[name=parent-1]', i => i.value);
await setValue('input[name=parent-1]', '');
await page.$eval('#results', r => r.replaceChildren());
await page.click('#verify');
await page.waitForSelector('#run-result');
assert.match(await text('#run-result'), /Row 2 of the target list has no parent: give the number of the profile it derives from, or 0 for none/);
await setValue('input[name=parent-1]', parent);

// The store changes while the confirmation is open (another import makes
// profile 40): confirmed, the import is refused, saying so in the page's words.
await page.$eval('#results', r => r.replaceChildren());
await page.click('#import');
await page.waitForSelector('dialog#confirm-import[open]');
await fits('the confirmation');
await snap('confirm-narrow');
targets[2][0] = '40';
assert.equal((await request(server, 'POST', '/api/import', own(server), { pack: '30-ACC10-ACCX2-M', targets, replace: true })).status, 202);
assert.equal((await progress()).state, 'done');
const stored = ws.run('list', '--store', ws.store, '--json');
await page.click('#confirm-import-button');
await page.waitForSelector('#run-result');
assert.match(await text('#run-result'),
  /The store changed after the import was confirmed: the import would now also replace profile 40[\s\S]*Nothing was imported/);
assert.equal(ws.run('list', '--store', ws.store, '--json'), stored, 'the refused import changed nothing');
await saysNoCliWords('the import refused');
await fits('the import refused');
await snap('refused-narrow');

// The check of the pack alone passes; once a file of the pack was changed
// after its export, it is refused, in the page's words.
await page.$eval('#results', r => r.replaceChildren());
await page.click('#check');
await page.waitForSelector('#check-result.passed');
fs.appendFileSync(path.join(ws.root, 'ExportedRules', '30-ACC10-ACCX2-M', 'Qzmap130.dat'), 'changed after its export\r\n');
await page.$eval('#results', r => r.replaceChildren());
await page.click('#check');
await page.waitForSelector('#check-result.refused');
assert.match(await text('#check-result'), /differ from those its export listed[\s\S]*export the profile again/);
await saysNoCliWords('the check refused');
await fits('the check refused');
await snap('check-refused-narrow');

await page.click('nav a[data-page=log]');
await page.waitForSelector('#log');
await fits('the run log');
await page.click('nav a[data-page=packs]');
await page.waitForSelector('main table a');
await fits('the packs');

await chrome.close();
server.child.kill('SIGTERM');
assert.deepEqual(await server.exited, { code: 0, signal: null });
console.log(`${visits.length + 15} passed, 0 failed`);
