// Port and token of the Linkwell on this machine.
'use strict';

const $ = (id) => document.getElementById(id);
const ORIGINS = { origins: ['http://127.0.0.1/*', 'http://localhost/*'] };

function show(text, kind = '') {
  $('answer').textContent = text;
  $('answer').className = `answer ${kind}`;
}

// Firefox lets the user withhold the access to 127.0.0.1; without it every request fails.
async function checkPermission() {
  const granted = await ext.permissions.contains(ORIGINS);
  $('permit').hidden = granted;
  if (!granted) show(msg('errPermission'), 'error');
  return granted;
}

async function tryConnection() {
  if (!(await checkPermission())) return;
  try {
    await call('/api/groups');
    show(msg('connected'), 'ok');
  } catch (e) {
    show(e.message, 'error');
  }
}

async function save() {
  const port = Number($('port').value);
  if (!validPort(port)) return show(msg('errPort'), 'error');
  await ext.storage.local.set({ port, token: $('token').value.trim() });
  show(msg('saved'), 'ok');
  await tryConnection();
}

async function load() {
  translatePage();
  const s = await settings();
  $('port').value = s.port;
  $('token').value = s.token;
  $('save').addEventListener('click', save);
  $('permit').addEventListener('click', async () => {
    if (await ext.permissions.request(ORIGINS)) await tryConnection();
  });
  if (s.token) await tryConnection();
}

load();
