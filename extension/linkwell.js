// The way to the Linkwell running on this machine, shared by the background, the pop-up and the
// options page. Linkwell listens on 127.0.0.1 only and wants its token on every request.
'use strict';

const ext = globalThis.browser ?? globalThis.chrome;
const DEFAULT_PORT = 48620;
const REGISTERED_BADGE = '\u2713';

function msg(name, ...subs) {
  return ext.i18n.getMessage(name, subs.map(String)) || name;
}

// Fills every element marked data-msg (text) or data-msg-placeholder with its message.
function translatePage() {
  for (const el of document.querySelectorAll('[data-msg]')) el.textContent = msg(el.dataset.msg);
  for (const el of document.querySelectorAll('[data-msg-placeholder]'))
    el.placeholder = msg(el.dataset.msgPlaceholder);
}

async function settings() {
  const s = await ext.storage.local.get({ port: DEFAULT_PORT, token: '' });
  return { port: Number(s.port) || DEFAULT_PORT, token: String(s.token || '').trim() };
}

function validPort(port) {
  return Number.isInteger(port) && port >= 1 && port <= 65535;
}

class LinkwellError extends Error {
  constructor(kind, message) {
    super(message);
    this.kind = kind; // offline | token | notoken | refused | toolarge | failed
  }
}

// One request; resolves to { status, data } for every answer Linkwell gives on purpose
// (2xx, 400, 409), rejects with a LinkwellError naming what the user can do otherwise.
async function call(path, { method = 'GET', json, form } = {}) {
  const { port, token } = await settings();
  if (!token) throw new LinkwellError('notoken', msg('errNoToken'));
  const headers = { Authorization: `Bearer ${token}` };
  let body;
  if (json !== undefined) {
    headers['Content-Type'] = 'application/json';
    body = JSON.stringify(json);
  } else if (form) {
    body = form;
  }
  let res;
  try {
    res = await fetch(`http://127.0.0.1:${port}${path}`, {
      method, headers, body, cache: 'no-store', credentials: 'omit', redirect: 'error',
    });
  } catch (e) {
    throw new LinkwellError('offline', msg('errOffline', port));
  }
  let data = null;
  try {
    data = await res.json();
  } catch (e) {
    data = null;
  }
  const said = (data && typeof data.error === 'string' && data.error) || `HTTP ${res.status}`;
  if (res.status === 401) throw new LinkwellError('token', msg('errToken'));
  if (res.status === 403) throw new LinkwellError('refused', msg('errRefused', said));
  if (res.status === 413) throw new LinkwellError('toolarge', msg('errTooLarge'));
  // A 500 with a number: registered, but its copy could not be kept.
  const partly = res.status === 500 && Number.isInteger(data?.number);
  if (data === null || (res.status >= 300 && ![400, 409].includes(res.status) && !partly))
    throw new LinkwellError('failed', msg('errFailed', said));
  return { status: res.status, data };
}

function lookUp(url) {
  return call(`/api/links?url=${encodeURIComponent(url)}`);
}

// Only what a web page is can be registered; the browser's own pages and files cannot.
function registrable(url) {
  return /^https?:\/\//i.test(url || '');
}

// The tab's badge says whether its page is registered; anything that stops the look-up
// (Linkwell not running, no token) leaves no badge and says why in the button's tooltip.
async function updateBadge(tabId, url) {
  let text = '';
  let title = msg('name');
  if (registrable(url)) {
    try {
      const { status, data } = await lookUp(url);
      if (status === 200 && data.registered === true) {
        text = REGISTERED_BADGE;
        title = msg('badgeRegistered', data.number);
      }
    } catch (e) {
      title = e.message;
    }
  }
  try {
    await ext.action.setBadgeText({ tabId, text });
    await ext.action.setTitle({ tabId, title });
    if (text) await ext.action.setBadgeBackgroundColor({ tabId, color: '#1b7f3b' });
  } catch (e) {
    // The tab closed meanwhile.
  }
}
