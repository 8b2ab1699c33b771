// The extension in Debian's chromium against the real Linkwell program: options set, a page
// opened, the toolbar button pressed, the page registered with its copy, the badge shown; the
// same page then uploaded as SingleFile's REST form upload sends it.
// Run by scripts/test-extension (under Xvfb): node run.mjs LINKWELL_EXE EXTENSION_DIR
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import puppeteer from 'puppeteer-core';
import {
  api, check, cleanups, dataDir, finish, freePort, group, pageTitle, run, shots,
  startLinkwellAndPage, token, until, work,
} from './support.mjs';

const [linkwellExe, extensionDir] = process.argv.slice(2).map((p) => path.resolve(p));
const here = path.dirname(new URL(import.meta.url).pathname);
const chromium = process.env.CHROMIUM || '/usr/bin/chromium';

// The pop-up as the toolbar button opens it (which also lends it the tab: activeTab).
async function openPopup(browser, extension, page) {
  const opened = browser.waitForTarget((t) => t.url().endsWith('/popup.html'), { timeout: 10000 });
  await page.bringToFront();
  await page.triggerExtensionAction(extension);
  const target = await opened;
  const popup = await target.asPage();
  await popup.waitForFunction(() => document.getElementById('state').textContent
    || document.getElementById('answer').textContent);
  return popup;
}

const text = (p, id) => p.$eval(`#${id}`, (e) => e.textContent);

async function main() {
  for (const [file, what] of [[linkwellExe, 'Linkwell'], [chromium, 'chromium']]) {
    if (!fs.existsSync(file)) throw new Error(`${what} is missing: ${file}`);
  }
  const { port, pageUrl } = await startLinkwellAndPage(linkwellExe);

  const browser = await puppeteer.launch({
    executablePath: chromium,
    headless: process.env.DISPLAY ? false : 'new',
    pipe: true,
    enableExtensions: true,
    defaultViewport: null,
    userDataDir: path.join(work, 'chromium'),
    args: [`--load-extension=${extensionDir}`, `--disable-extensions-except=${extensionDir}`,
      '--no-sandbox', '--no-first-run', '--window-size=1100,800', '--lang=ja'],
    env: { ...process.env, LANGUAGE: 'ja', LANG: 'ja_JP.UTF-8', LC_ALL: 'ja_JP.UTF-8' },
  });
  cleanups.unshift(() => browser.close());
  const workerTarget = await browser.waitForTarget(
    (t) => t.type() === 'service_worker' && t.url().endsWith('/background.js'));
  const extensionId = new URL(workerTarget.url()).host;
  const extension = (await browser.extensions()).get(extensionId);
  check(Boolean(extension), 'the unpacked extension is loaded', extensionId);
  const worker = await workerTarget.worker();
  // The texts in the browser's language, as the extension gives them.
  const m = (name, ...subs) => worker.evaluate((n, a) => chrome.i18n.getMessage(n, a), name,
    subs.map(String));

  // A new install opens its options page by itself; it is filled in as the user would after
  // copying the token.
  const options = await (await browser.waitForTarget(
    (t) => t.url() === `chrome-extension://${extensionId}/options.html`)).asPage();
  check(true, 'installed, the extension opens its options page');
  await options.waitForFunction(() => document.getElementById('port').value !== '');
  await options.$eval('#port', (e) => { e.value = ''; });
  await options.type('#port', String(port));
  await options.type('#token', token);
  await options.click('#save');
  const connected = await m('connected');
  await options.waitForFunction((c) => document.getElementById('answer').textContent === c
    || document.getElementById('answer').className.includes('error'), {}, connected);
  check(await text(options, 'answer') === connected, 'the options reach Linkwell',
    await text(options, 'answer'));

  const page = await browser.newPage();
  await page.goto(pageUrl, { waitUntil: 'load' });
  const tabId = await worker.evaluate(async (url) => (await chrome.tabs.query({ url }))[0].id,
    pageUrl);
  const badge = () => worker.evaluate((id) => chrome.action.getBadgeText({ tabId: id }), tabId);
  check(await badge() === '', 'no badge on a page not registered yet', await badge());

  let popup = await openPopup(browser, extension, page);
  check(await text(popup, 'state') === await m('stateNew'), 'the pop-up says the page is new',
    await text(popup, 'state') + await text(popup, 'answer'));
  check(await popup.$eval('#title', (e) => e.value) === pageTitle, 'the pop-up shows the title');
  await popup.type('#description', 'ﾌﾞﾗｳｻﾞで読んだﾍﾟｰｼﾞ');
  await popup.$eval('#group', (e) => { e.value = ''; });
  await popup.type('#group', group);
  check(await popup.$eval('#savePage', (e) => e.checked), 'ﾍﾟｰｼﾞも保存 is on at first');
  if (shots) await popup.screenshot({ path: path.join(shots, 'popup-before.png') });
  await popup.click('#register');
  await popup.waitForFunction(() => /ok|error/.test(document.getElementById('answer').className),
    { timeout: 30000 });
  if (shots) await popup.screenshot({ path: path.join(shots, 'popup-after.png') });
  const link = await api(port, `/api/links?url=${encodeURIComponent(pageUrl)}`);
  const { number } = link.data;
  check(link.data.registered === true && link.data.group === group
    && link.data.title === pageTitle, 'Linkwell holds the link with its group and title',
  JSON.stringify(link.data));
  check(await text(popup, 'answer') === await m('doneNew', number),
    'the pop-up says the page is registered', await text(popup, 'answer'));
  const listed = (await run(linkwellExe, ['--data-dir', dataDir, 'list'],
    { ...process.env, QT_QPA_PLATFORM: 'offscreen' })).stdout;
  check(listed.includes(pageUrl) && listed.includes(pageTitle), 'linkwell list shows it', listed);
  const copy = path.join(dataDir, 'Arc', `${number}.html`);
  const copyText = fs.existsSync(copy) ? fs.readFileSync(copy, 'utf8') : '';
  check(/^(<!--[^]*?-->\s*)?<!DOCTYPE html>/i.test(copyText) && copyText.includes('本文の日本語です。')
    && copyText.includes('ｽｸﾘﾌﾟﾄで追加') && /<meta charset="utf-8">/i.test(copyText)
    && !/Shift_JIS/i.test(copyText),
  'the copy is the page as the browser held it, in UTF-8', copyText.slice(0, 300));
  const picture = path.join(dataDir, 'Pic', `${number}.jpg`);
  await until('the picture', () => fs.existsSync(picture), 20000).catch(() => {});
  check(fs.existsSync(picture), 'the page has its picture');
  await until('the badge', async () => await badge() === '\u2713', 10000).catch(() => {});
  check(await badge() === '\u2713', 'the tab shows the badge ✓', await badge());
  await popup.close().catch(() => {});

  // Pressed again on a registered page: a correction, what was left empty kept.
  popup = await openPopup(browser, extension, page);
  check(await text(popup, 'state') === await m('stateRegistered', number, group),
    'the pop-up says the page is registered', await text(popup, 'state'));
  await popup.click('#register');
  await popup.waitForFunction(() => /ok|error/.test(document.getElementById('answer').className),
    { timeout: 30000 });
  check(await text(popup, 'answer') === await m('doneCorrected', number),
    'pressed again, the link is corrected', await text(popup, 'answer'));
  if (shots) {
    spawnSync('import', ['-window', 'root', path.join(shots, 'browser.png')]);
  }
  await popup.close().catch(() => {});

  // What the user reads when the token is wrong or Linkwell is not there.
  const closed = await freePort('127.0.0.1');
  const popupInTab = `chrome-extension://${extensionId}/popup.html?tab=${tabId}`;
  for (const [settings, expected, what] of [
    [{ token: 'wrong' }, await m('errToken'), 'a wrong token is named'],
    [{ port: closed }, await m('errOffline', closed), 'no Linkwell is named'],
  ]) {
    await worker.evaluate((s, t) => chrome.storage.local.set({ port: s.port ?? t.port,
      token: s.token ?? t.token }), settings, { port, token });
    const p = await browser.newPage();
    await p.goto(popupInTab);
    await p.waitForFunction(() => document.getElementById('answer').textContent);
    check(await text(p, 'answer') === expected, what, await text(p, 'answer'));
    await p.close();
  }
  await worker.evaluate((s) => chrome.storage.local.set(s), { port, token });

  // The same page saved by SingleFile and sent as its "upload to a REST form API" sends it: the
  // page in the field file, the address in the field url, the token as a bearer token.
  const saved = path.join(work, 'singlefile.html');
  // SingleFile now and then loses the page's script world at start: it is given three tries.
  let singleFile;
  let savedText = '';
  for (let tries = 0; tries < 3 && !savedText.includes('Page saved with SingleFile'); tries += 1) {
    singleFile = await run(process.execPath, ['--import', path.join(here, 'node20.mjs'),
      path.join(here, 'node_modules/single-file-cli/single-file-node.js'),
      `--browser-executable-path=${chromium}`, '--browser-args=["--no-sandbox"]',
      '--browser-wait-until=load', pageUrl, saved]);
    savedText = fs.existsSync(saved) ? fs.readFileSync(saved, 'utf8') : '';
  }
  check(savedText.includes('Page saved with SingleFile'), 'SingleFile saves the page',
    singleFile.stdout + singleFile.stderr);
  const curl = await run('curl', ['-sS', '-w', '\n%{http_code}', '-H', `Authorization: Bearer ${token}`,
    '-F', `file=@${saved};type=text/html;filename=${pageTitle}.html`, '-F', `url=${pageUrl}`,
    `http://127.0.0.1:${port}/api/pages`]);
  const [body, status] = curl.stdout.split(/\n(?=\d+$)/);
  const upload = JSON.parse(body || '{}');
  check(status === '200' && upload.status === 'corrected' && upload.number === number,
    'the SingleFile form upload replaces the copy of the registered page',
    curl.stdout + curl.stderr);
  const now = fs.existsSync(copy) ? fs.readFileSync(copy, 'utf8') : '';
  check(now.includes('Page saved with SingleFile') && now.includes('ｽｸﾘﾌﾟﾄで追加'),
    'the copy is the uploaded file', now.slice(0, 300));
  const after = await api(port, `/api/links?url=${encodeURIComponent(pageUrl)}`);
  check(after.data.title === pageTitle && after.data.group === group,
    'the upload keeps the title and group', JSON.stringify(after.data));
  return 0;
}

finish(main, 'extension test');
