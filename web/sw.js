// sw.js -- keeps the page, the program and its data in the browser's cache
// on the first visit, so that the game starts with the network gone. One
// cache a build, named by its build id (make_page.py writes it and the list
// of files in): a new build's worker fills its own cache beside the one in
// use, waits until the page lets it take over (no game running), and then
// removes the caches of older builds. The settings and the score log are not
// here: the program keeps them in IndexedDB.
'use strict';

var BUILD = '@BUILD@';
var FILES = @FILES@;
// Caches of this page's builds, under this worker's own scope.
var FAMILY = 'valmoren ' + self.registration.scope + ' ';
var CACHE = FAMILY + BUILD;
var SCOPE = new URL(self.registration.scope).pathname;

self.addEventListener('install', function (event) {
  event.waitUntil(caches.open(CACHE).then(function (cache) {
    // Revalidated against the browser's own cache: what the first visit has
    // downloaded already is not downloaded again.
    return cache.addAll(FILES.map(function (name) { return new Request(name, { cache: 'no-cache' }); }));
  }));
});

self.addEventListener('message', function (event) {
  if (event.data === 'take-over') self.skipWaiting();
});

self.addEventListener('activate', function (event) {
  event.waitUntil(caches.keys().then(function (names) {
    return Promise.all(names.filter(function (name) {
      return name.indexOf(FAMILY) === 0 && name !== CACHE;
    }).map(function (name) { return caches.delete(name); }));
  }).then(function () { return self.clients.claim(); }));
});

// The build's own files from its cache (the page with or without its name
// and with any query, ?frame-log among them); anything else from the network.
self.addEventListener('fetch', function (event) {
  var request = event.request;
  var url = new URL(request.url);
  if (request.method !== 'GET' || url.origin !== self.location.origin) return;
  var page = url.pathname === SCOPE || url.pathname === SCOPE + 'index.html';
  event.respondWith(caches.open(CACHE).then(function (cache) {
    var key = page ? 'index.html' : request;
    return cache.match(key, { ignoreSearch: true }).then(function (kept) {
      return kept || fetch(request);
    });
  }));
});
