// The pop-up of the toolbar button: registers the tab's page, with its copy when asked.
'use strict';

const $ = (id) => document.getElementById(id);
const MAX_PAGE = 64 * 1024 * 1024; // Linkwell refuses anything larger
let tab = null;

function show(text, kind = '') {
  $('answer').textContent = text;
  $('answer').className = `answer ${kind}`;
}

// The toolbar's pop-up works on the active tab; a pop-up opened in a tab of its own names its
// tab in ?tab=ID.
async function targetTab() {
  const id = Number(new URLSearchParams(location.search).get('tab'));
  if (id) return ext.tabs.get(id);
  const [active] = await ext.tabs.query({ active: true, currentWindow: true });
  return active;
}

// Runs in the page: its HTML as the browser holds it now. It is sent as UTF-8, so the page's
// own charset declaration (Shift_JIS, say) would make Linkwell read it wrongly: it is replaced.
function pageHtml() {
  const root = document.documentElement.cloneNode(true);
  for (const meta of root.querySelectorAll('meta[charset], meta[http-equiv]')) {
    if (meta.hasAttribute('charset') || /^content-type$/i.test(meta.getAttribute('http-equiv')))
      meta.remove();
  }
  let head = root.querySelector('head');
  if (!head) {
    head = document.createElement('head');
    root.prepend(head);
  }
  const charset = document.createElement('meta');
  charset.setAttribute('charset', 'utf-8');
  head.prepend(charset);
  const doctype = document.doctype ? new XMLSerializer().serializeToString(document.doctype) : '';
  return `${doctype}\n${root.outerHTML}`;
}

async function takePage(tabId) {
  let result;
  try {
    [{ result }] = await ext.scripting.executeScript({ target: { tabId }, func: pageHtml });
  } catch (e) {
    throw new LinkwellError('failed', msg('errNoCopy', e.message));
  }
  if (typeof result !== 'string') throw new LinkwellError('failed', msg('errNoCopy', ''));
  const page = new Blob([result], { type: 'text/html;charset=utf-8' });
  if (page.size > MAX_PAGE) throw new LinkwellError('toolarge', msg('errTooLarge'));
  return page;
}

function fields() {
  const all = {
    url: tab.url,
    title: $('title').value.trim(),
    description: $('description').value.trim(),
    group: $('group').value.trim(),
  };
  // What is left empty keeps what Linkwell holds.
  return Object.fromEntries(Object.entries(all).filter(([, v]) => v));
}

async function send(twin) {
  const given = fields();
  if (twin) given.twin = 'add';
  if (!$('savePage').checked) return call('/api/links', { method: 'POST', json: given });
  const form = new FormData();
  form.append('file', await takePage(tab.id), 'page.html');
  for (const [k, v] of Object.entries(given)) form.append(k, v);
  return call('/api/pages', { method: 'POST', form });
}

function report({ status, data }) {
  if (status === 500) return show(msg('donePartly', data.number, data.error), 'error');
  if (status === 201) return show(msg('doneNew', data.number), 'ok');
  if (status === 200 && data.status === 'skipped') return show(msg('doneSkipped', data.number), 'ok');
  if (status === 200) return show(msg('doneCorrected', data.number), 'ok');
  if (status === 409 && data.twin) {
    $('twin').hidden = false;
    return show(msg('errTwin', data.twin.number, data.twin.url), 'error');
  }
  return show(msg('errFailed', data.error || `HTTP ${status}`), 'error');
}

async function register(twin) {
  $('register').disabled = $('twin').disabled = true;
  $('twin').hidden = true;
  show(msg('sending'));
  try {
    const answer = await send(twin);
    report(answer);
    if (answer.status < 300 || answer.status === 500) {
      await ext.storage.local.set({ lastGroup: $('group').value.trim() });
      await updateBadge(tab.id, tab.url);
      showState((await lookUp(tab.url)).data);
    }
  } catch (e) {
    show(e.message, 'error');
  } finally {
    $('register').disabled = $('twin').disabled = false;
  }
}

function showState(link) {
  const state = $('state');
  if (link.registered) {
    state.textContent = msg('stateRegistered', link.number, link.group || '');
    state.className = 'state registered';
    if (link.title) $('title').value = link.title;
    if (link.group) $('group').value = link.group;
  } else if (link.twin) {
    state.textContent = msg('stateTwin', link.twin.number, link.twin.url);
  } else {
    state.textContent = msg('stateNew');
  }
}

async function load() {
  translatePage();
  $('options').addEventListener('click', (e) => {
    e.preventDefault();
    ext.runtime.openOptionsPage();
  });
  $('register').addEventListener('click', () => register(false));
  $('twin').addEventListener('click', () => register(true));
  const kept = await ext.storage.local.get({ savePage: true, lastGroup: '' });
  $('savePage').checked = kept.savePage;
  $('savePage').addEventListener('change', () =>
    ext.storage.local.set({ savePage: $('savePage').checked }));
  $('group').value = kept.lastGroup;

  tab = await targetTab();
  $('title').value = tab?.title || '';
  if (!tab || !registrable(tab.url)) {
    $('register').disabled = true;
    return show(msg('errNotPage'), 'error');
  }
  try {
    const [groups, link] = await Promise.all([call('/api/groups'), lookUp(tab.url)]);
    for (const path of groups.data.groups || []) {
      const option = document.createElement('option');
      option.value = path;
      $('groups').append(option);
    }
    showState(link.data);
  } catch (e) {
    show(e.message, 'error');
  }
}

load();
