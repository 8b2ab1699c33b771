// Keeps the "registered" badge of every tab up to date.
'use strict';

// Chromium runs this file alone as the service worker; Firefox loads linkwell.js before it.
if (typeof updateBadge === 'undefined') importScripts('linkwell.js');

ext.tabs.onUpdated.addListener((tabId, change, tab) => {
  if (change.url || change.status === 'complete') updateBadge(tabId, tab.url);
});

async function updateAllBadges() {
  for (const tab of await ext.tabs.query({})) updateBadge(tab.id, tab.url);
}

ext.runtime.onStartup.addListener(updateAllBadges);
ext.runtime.onInstalled.addListener(updateAllBadges);
// New port or token: what the badges said may be wrong now.
ext.storage.onChanged.addListener((changes) => {
  if (changes.port || changes.token) updateAllBadges();
});

// A new install cannot reach Linkwell before it has the token: the options page asks for it.
ext.runtime.onInstalled.addListener(async ({ reason }) => {
  if (reason === 'install' && !(await settings()).token) ext.runtime.openOptionsPage();
});
