// sw.js -- keeps the page, the program and its data in the browser's cache
// on the first visit, so that the game starts with the network gone. One
// cache a build, named by its build id (make_page.py writes it and the list
// of files in). Every file but the page carries its content's hash in its
// name, and the page names them: the worker keeps exactly that set, and
// only when each file is the one its name says and the page is of this
// build, so a host that serves a mix of two builds (files copied one by one,
// a cache that has not caught up) never gets a mixed copy kept: the install
// fails, the build in use goes on, and the browser tries again later. A new
// build's worker fills its own cache beside the one in use, waits until the
// page lets it take over (no game running), and then removes the caches of
// older builds. The settings and the score log are not here: the program
// keeps them in IndexedDB.
'use strict';

var BUILD = '@BUILD@';
var FILES = @FILES@;
// Caches of this page's builds, under this worker's own scope.
var FAMILY = 'valmoren ' + self.registration.scope + ' ';
var CACHE = FAMILY + BUILD;
var SCOPE = new URL(self.registration.scope).pathname;
// The page is kept under its folder's own address: hosts with "pretty URLs"
// answer index.html with a redirect to it.
var PAGE = self.registration.scope;
var HASHED = /\.([0-9a-f]{16})\.[A-Za-z0-9]+$/;

function hex(buffer) {
  return Array.prototype.map.call(new Uint8Array(buffer), function (b) {
    return (b < 16 ? '0' : '') + b.toString(16);
  }).join('');
}

// One file of the build as the network gives it, checked, as a response of
// its own: never a redirected one (a browser refuses that for a page load),
// and without the transfer's encoding, since the body is the decoded file.
function fetchChecked(address, name) {
  // Revalidated against the browser's own cache: what the first visit has
  // downloaded already is not downloaded again.
  return fetch(new Request(address, { cache: 'no-cache' })).then(function (response) {
    if (!response.ok) throw new Error(name + ': ' + response.status + ' ' + response.statusText);
    var headers = new Headers(response.headers);
    ['content-encoding', 'content-length', 'transfer-encoding'].forEach(function (h) { headers.delete(h); });
    return response.arrayBuffer().then(function (body) {
      var hashed = HASHED.exec(name);
      var checked = hashed
        ? crypto.subtle.digest('SHA-256', body).then(function (d) { return hex(d).slice(0, 16) === hashed[1]; })
        : Promise.resolve(new TextDecoder().decode(body).indexOf(
            '<meta name="valmoren-build" content="' + BUILD + '">') >= 0);
      return checked.then(function (ok) {
        if (!ok) throw new Error(name + ' is not the file of build ' + BUILD);
        return new Response(body, { status: 200, statusText: 'OK', headers: headers });
      });
    });
  });
}

self.addEventListener('install', function (event) {
  // Everything fetched and checked first: a cache is only ever made whole.
  var kept = [fetchChecked(PAGE, 'the page')].concat(FILES.map(function (name) {
    return fetchChecked(new URL(name, self.registration.scope).href, name);
  }));
  event.waitUntil(Promise.all(kept).then(function (responses) {
    return caches.open(CACHE).then(function (cache) {
      return Promise.all(responses.map(function (response, i) {
        return cache.put(i === 0 ? PAGE : new URL(FILES[i - 1], self.registration.scope).href, response);
      }));
    });
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

// The build's own files from its cache (the page at its folder's address or
// as index.html, with any query, ?frame-log among them); anything else, and
// whatever the cache has lost, from the network as the browser asked for it.
self.addEventListener('fetch', function (event) {
  var request = event.request;
  var url = new URL(request.url);
  if (request.method !== 'GET' || url.origin !== self.location.origin) return;
  var page = url.pathname === SCOPE || url.pathname === SCOPE + 'index.html';
  if (!page && (url.pathname.indexOf(SCOPE) !== 0 || FILES.indexOf(url.pathname.slice(SCOPE.length)) < 0)) return;
  event.respondWith(caches.open(CACHE).then(function (cache) {
    return cache.match(page ? PAGE : url.origin + url.pathname, { ignoreSearch: true });
  }).then(function (kept) {
    return kept || fetch(request);
  }));
});
