// What the browser tests share: the real Linkwell with a known port and token in a temporary
// data folder, a Shift_JIS page served on a loopback address, and PASS/FAIL lines.
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';

export const token = 'test-token-0123456789abcdef0123456789abcdef';
export const group = 'ﾌﾞﾗｳｻﾞ/試験';
export const work = fs.mkdtempSync(path.join(os.tmpdir(), 'linkwell-extension-'));
export const dataDir = path.join(work, 'usData');
export const shots = process.env.SCREENSHOTS; // a folder: screenshots of what the user sees
export const cleanups = [];
let failures = 0;

export function check(ok, what, detail = '') {
  console.log(`${ok ? 'PASS' : 'FAIL'}: ${what}${ok || !detail ? '' : `\n      ${detail}`}`);
  if (!ok) failures += 1;
  return ok;
}

export async function until(what, probe, ms = 20000) {
  const end = Date.now() + ms;
  let last;
  for (;;) {
    try {
      last = await probe();
      if (last) return last;
    } catch (e) {
      last = e;
      if (e.message === 'ended') throw new Error(`${what}: Linkwell ended`);
    }
    if (Date.now() > end) throw new Error(`timed out: ${what} (last: ${last})`);
    await new Promise((r) => setTimeout(r, 200));
  }
}

export function freePort(host) {
  return new Promise((resolve, reject) => {
    const s = net.createServer().listen(0, host, () => {
      const { port } = s.address();
      s.close(() => resolve(port));
    });
    s.on('error', reject);
  });
}

// User.xml is Shift-JIS (code page 932).
function writeSettings(port) {
  fs.mkdirSync(dataDir, { recursive: true });
  const text = "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n   <画面>\r\n"
    + `      <CAPTURE_PORT>${port}</CAPTURE_PORT>\r\n`
    + `      <CAPTURE_TOKEN>${token}</CAPTURE_TOKEN>\r\n   </画面>\r\n</運用>`;
  const sjis = spawnSync('iconv', ['-f', 'UTF-8', '-t', 'CP932'], { input: text });
  if (sjis.status !== 0) throw new Error(`iconv: ${sjis.stderr}`);
  fs.writeFileSync(path.join(dataDir, 'User.xml'), sjis.stdout);
}

// The page, in Shift_JIS as many Japanese sites still are; its script adds a paragraph, which
// the copy taken from the browser must hold.
export const pageTitle = 'ﾌﾞﾗｳｻﾞから登録の試験ﾍﾟｰｼﾞ';
function pageBytes() {
  const html = '<!DOCTYPE html>\n<html lang="ja"><head><meta charset="Shift_JIS">'
    + `<title>${pageTitle}</title></head><body><h1>見出し</h1><p>本文の日本語です。</p>`
    + '<script>const p = document.createElement("p"); p.id = "added";'
    + ' p.textContent = "ｽｸﾘﾌﾟﾄで追加"; document.body.append(p);</script></body></html>';
  return spawnSync('iconv', ['-f', 'UTF-8', '-t', 'CP932'], { input: html }).stdout;
}

function servePages(host) {
  const server = http.createServer((req, res) => {
    if (req.url !== '/article.html') {
      res.writeHead(404).end();
      return;
    }
    res.writeHead(200, { 'Content-Type': 'text/html; charset=Shift_JIS' });
    res.end(pageBytes());
  });
  return new Promise((resolve) => server.listen(0, host, () => {
    cleanups.push(() => server.close());
    resolve(`http://${host}:${server.address().port}`);
  }));
}

function startLinkwell(exe) {
  const env = {
    ...process.env,
    LINKWELL_NONINTERACTIVE: '1',
    LINKWELL_SEARCH_URL: 'about:blank',
    LINKWELL_HOME_URL: 'about:blank',
    QTWEBENGINE_DISABLE_SANDBOX: '1',
    QTWEBENGINE_CHROMIUM_FLAGS: '--no-sandbox --disable-gpu',
    ASAN_OPTIONS: 'new_delete_type_mismatch=0:detect_leaks=0',
  };
  const log = fs.openSync(path.join(work, 'linkwell.log'), 'w');
  const child = spawn(exe, ['--data-dir', dataDir], { env, stdio: ['ignore', log, log] });
  cleanups.push(() => child.kill('SIGTERM'));
  return child;
}

export async function api(port, route, init = {}) {
  const res = await fetch(`http://127.0.0.1:${port}${route}`, {
    ...init,
    headers: { Authorization: `Bearer ${token}`, ...(init.headers || {}) },
  });
  return { status: res.status, data: await res.json() };
}

// A command to its end, the test's page server answering meanwhile.
export function run(exe, args, env = process.env) {
  return new Promise((resolve) => {
    const child = spawn(exe, args, { env, stdio: ['ignore', 'pipe', 'pipe'] });
    let stdout = '';
    let stderr = '';
    child.stdout.on('data', (d) => { stdout += d; });
    child.stderr.on('data', (d) => { stderr += d; });
    const timer = setTimeout(() => child.kill('SIGKILL'), 120000);
    child.on('close', (status) => {
      clearTimeout(timer);
      resolve({ status, stdout, stderr });
    });
  });
}

// Linkwell listening on a free port with the test's token, and the test page's address.
export async function startLinkwellAndPage(exe) {
  const port = await freePort('127.0.0.1');
  writeSettings(port);
  const site = await servePages('127.0.0.2');
  const linkwell = startLinkwell(exe);
  linkwell.on('exit', (code, signal) => console.log(`Linkwell ended: ${code ?? signal}`));
  await until('the receiver answers', async () => {
    if (linkwell.exitCode !== null || linkwell.signalCode) return Promise.reject(new Error('ended'));
    return (await api(port, '/api/groups')).status === 200;
  }, 90000);
  return { port, pageUrl: `${site}/article.html` };
}

// Stops what was started, shows Linkwell's output after a failure, and exits.
export async function finish(main, name) {
  let code = 1;
  try {
    code = (await main()) || failures ? 1 : 0;
  } catch (e) {
    console.log(`FAIL: ${e.stack || e}`);
  } finally {
    for (const f of cleanups) await Promise.resolve().then(f).catch(() => {});
    if (code !== 0) {
      const log = path.join(work, 'linkwell.log');
      if (fs.existsSync(log)) console.log(`--- Linkwell's output\n${fs.readFileSync(log, 'utf8')}`);
    }
    if (!process.env.KEEP) fs.rmSync(work, { recursive: true, force: true });
    else console.log(`kept ${work}`);
  }
  console.log(code === 0 ? `${name} passed` : `${name} FAILED`);
  process.exit(code);
}
