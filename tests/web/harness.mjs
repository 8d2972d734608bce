// What both browser tests share: a store with the demo data and an
// installation in a temporary folder, `kestrel serve` started on it on a free
// port (stopped when the test ends, also when it fails), plain HTTP requests
// with any headers (and those of the wizard's own page), and Debian's chromium
// started through puppeteer-core.
// A test exits 77 (skipped) when chromium or the npm packages are missing.
import { spawn, execFileSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';

export const kestrel = process.argv[2];
const chromium = process.env.KESTREL_CHROMIUM || '/usr/bin/chromium';

export function skip(why) {
  console.log('skipped: ' + why);
  process.exit(77);
}

export async function loadPuppeteer() {
  if (!fs.existsSync(chromium)) skip(`no chromium at ${chromium} (scripts/setup.sh installs it)`);
  try {
    return (await import('puppeteer-core')).default;
  } catch {
    skip('puppeteer-core is not installed in tests/web (scripts/setup.sh runs npm ci there)');
  }
}

const cleanups = [];
export function onExit(fn) { cleanups.push(fn); }
let cleaned = false;
function cleanUp() {
  if (cleaned) return;
  cleaned = true;
  for (const fn of cleanups.reverse()) try { fn(); } catch { /* the rest still runs */ }
}
process.on('exit', cleanUp);
for (const signal of ['SIGINT', 'SIGTERM']) process.on(signal, () => process.exit(1));
process.on('unhandledRejection', e => { console.error(e); process.exitCode = 1; cleanUp(); process.exit(1); });

// A folder with an installation (registry file) and a demo store.
export function demoWorkspace() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrel-web-'));
  onExit(() => fs.rmSync(dir, { recursive: true, force: true }));
  const env = { ...process.env, KESTREL_REGISTRY: path.join(dir, 'registry.ini') };
  const run = (...args) => execFileSync(kestrel, args, { env, encoding: 'utf8' });
  run('setup', '--install-dir', path.join(dir, 'install'));
  const store = path.join(dir, 'demo.db');
  run('demo-store', store);
  return { dir, env, store, root: path.join(dir, 'packs'), run };
}

// Starts `kestrel serve` and resolves with its address once it printed it.
export function serve(ws) {
  const child = spawn(kestrel, ['serve', '--store', ws.store, '--export-root', ws.root], { env: ws.env });
  onExit(() => child.kill('SIGKILL'));
  const exited = new Promise(resolve => child.on('exit', (code, signal) => resolve({ code, signal })));
  let stderr = '';
  child.stderr.on('data', d => { stderr += d; });
  return new Promise((resolve, reject) => {
    let out = '';
    child.stdout.on('data', d => {
      out += d;
      const m = out.match(/http:\/\/(\S+?)\/\?token=([0-9a-f]+)/);
      if (m) resolve({ url: m[0], host: m[1], port: Number(m[1].split(':')[1]), token: m[2], child, exited });
    });
    child.on('exit', code => reject(new Error(`kestrel serve ended (${code}) before it printed its address: ${stderr}`)));
  });
}

// The headers the wizard's own page sends with each call.
export function own(server) {
  return { Authorization: 'Bearer ' + server.token, Origin: 'http://' + server.host, 'Content-Type': 'application/json' };
}

// One HTTP request with the given headers; resolves with status and body.
// A body that is not a string is sent as JSON (the headers say its type).
export function request(server, method, pathAndQuery, headers = {}, body) {
  return new Promise((resolve, reject) => {
    const req = http.request({ host: '127.0.0.1', port: server.port, method, path: pathAndQuery,
      headers: { Host: server.host, ...headers } }, res => {
      let text = '';
      res.setEncoding('utf8');
      res.on('data', d => { text += d; });
      res.on('end', () => resolve({ status: res.statusCode, text, headers: res.headers }));
    });
    req.on('error', reject);
    if (body !== undefined) req.end(typeof body === 'string' ? body : JSON.stringify(body)); else req.end();
  });
}

export async function browser(puppeteer) {
  const b = await puppeteer.launch({
    executablePath: chromium, headless: true,
    args: [...(process.getuid && process.getuid() === 0 ? ['--no-sandbox'] : []), '--disable-gpu', '--no-first-run'],
  });
  onExit(() => { try { b.process()?.kill('SIGKILL'); } catch { /* gone already */ } });
  return b;
}
