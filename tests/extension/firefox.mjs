// The same extension in Debian's Firefox ESR against the real Linkwell program: installed as a
// user installs it for a session, its options page opens by itself and is filled in, the pop-up
// registers a page, the tab gets its badge, and a wrong token is named.
// Firefox lets no automation press the toolbar button, so the pop-up is opened in a tab of its
// own with ?tab=ID (as the extension itself does) and without the page's copy, which needs the
// button's activeTab. Run by scripts/test-extension: node firefox.mjs LINKWELL_EXE EXTENSION_DIR
import path from 'node:path';
import fs from 'node:fs';
import puppeteer from 'puppeteer-core';
import {
  api, check, cleanups, finish, group, pageTitle, shots, startLinkwellAndPage, token, until, work,
} from './support.mjs';

const [linkwellExe, extensionDir] = process.argv.slice(2).map((p) => path.resolve(p));
const firefox = process.env.FIREFOX || '/usr/bin/firefox-esr';

// Firefox reports extension pages as about:blank: a page is found by what it says it is.
async function pageAt(browser, suffix) {
  return until(`a tab with ${suffix}`, async () => {
    for (const p of await browser.pages()) {
      const href = await p.evaluate(() => location.href).catch(() => '');
      if (href.includes(suffix)) return p;
    }
    return null;
  }, 20000);
}

const text = (p, id) => p.$eval(`#${id}`, (e) => e.textContent);
const answered = (p) => p.waitForFunction(
  () => /ok|error/.test(document.getElementById('answer').className), { timeout: 30000 });

async function main() {
  for (const [file, what] of [[linkwellExe, 'Linkwell'], [firefox, 'Firefox']]) {
    if (!fs.existsSync(file)) throw new Error(`${what} is missing: ${file}`);
  }
  const { port, pageUrl } = await startLinkwellAndPage(linkwellExe);
  const browser = await puppeteer.launch({
    browser: 'firefox',
    executablePath: firefox,
    headless: !process.env.DISPLAY,
    userDataDir: path.join(work, 'firefox'),
    extraPrefsFirefox: { 'intl.locale.requested': 'ja' },
    env: { ...process.env, LANGUAGE: 'ja', LANG: 'ja_JP.UTF-8' },
  });
  cleanups.unshift(() => browser.close());
  await browser.installExtension(extensionDir);
  const options = await pageAt(browser, '/options.html');
  check(true, 'installed, the extension opens its options page');
  const m = (name, ...subs) => options.evaluate((n, a) => browser.i18n.getMessage(n, a), name,
    subs.map(String));

  await options.waitForFunction(() => document.getElementById('port').value !== '');
  await options.$eval('#port', (e) => { e.value = ''; });
  await options.type('#port', String(port));
  await options.type('#token', token);
  await options.click('#save');
  await answered(options);
  check(await text(options, 'answer') === await m('connected'), 'the options reach Linkwell',
    await text(options, 'answer'));

  const page = await browser.newPage();
  await page.goto(pageUrl, { waitUntil: 'load' });
  const tabId = await options.evaluate(
    async (url) => (await browser.tabs.query({})).find((t) => t.url === url)?.id, pageUrl);
  const badge = () => options.evaluate((id) => browser.action.getBadgeText({ tabId: id }), tabId);
  const openPopup = async () => {
    await options.evaluate((id) => browser.tabs.create({ url: `popup.html?tab=${id}` }), tabId);
    const popup = await pageAt(browser, `/popup.html?tab=${tabId}`);
    await popup.waitForFunction(() => document.getElementById('state').textContent
      || document.getElementById('answer').textContent);
    return popup;
  };

  let popup = await openPopup();
  check(await text(popup, 'state') === await m('stateNew'), 'the pop-up says the page is new',
    await text(popup, 'state') + await text(popup, 'answer'));
  check(await popup.$eval('#title', (e) => e.value) === pageTitle, 'the pop-up shows the title');
  await popup.$eval('#savePage', (e) => { if (e.checked) e.click(); });
  await popup.$eval('#group', (e) => { e.value = ''; });
  await popup.type('#group', group);
  await popup.click('#register');
  await answered(popup);
  if (shots) await popup.screenshot({ path: path.join(shots, 'firefox-popup.png') });
  const link = await api(port, `/api/links?url=${encodeURIComponent(pageUrl)}`);
  check(link.data.registered === true && link.data.group === group
    && link.data.title === pageTitle, 'Linkwell holds the link with its group and title',
  JSON.stringify(link.data));
  check(await text(popup, 'answer') === await m('doneNew', link.data.number),
    'the pop-up says the page is registered', await text(popup, 'answer'));
  await until('the badge', async () => await badge() === '\u2713', 10000).catch(() => {});
  check(await badge() === '\u2713', 'the tab shows the badge ✓', await badge());
  await popup.close().catch(() => {});

  await options.evaluate(() => browser.storage.local.set({ token: 'wrong' }));
  popup = await openPopup();
  check(await text(popup, 'answer') === await m('errToken'), 'a wrong token is named',
    await text(popup, 'answer'));
  return 0;
}

finish(main, 'Firefox extension test');
