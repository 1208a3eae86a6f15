// page.js -- starts the game on "Click to play" (browsers open sound only
// after a gesture), scales its 640x480 canvas crisply to fill the window at
// 4:3, gives it the keyboard and the mouse, offers full screen, and says when
// the game has ended, or why it could not start. One tab plays at a time:
// the player's settings and score log are one folder for the whole site, so
// a second tab waits until the first has closed or its game is over. On a
// touch device (a coarse pointer, or the first touch) it shows the on-screen
// pad, whose buttons the program takes as a gamepad; a finger on the canvas
// is the mouse (SDL maps it). It keeps the page, the program and its data
// for playing offline (sw.js) and lets a new build take over between two
// games. From the moment it loads, before any tap, it fetches and compiles
// the program and fetches the game's data in packs, in the order the game
// needs them; each file goes into the program's /data as its pack arrives,
// and the program waits for a file that has not ("Loading..." shows). The
// offline worker is registered once the data has arrived, so that its copy
// comes from the browser's cache rather than a second download.
// `?frame-log` in the address makes the program log every page it shows to
// /tmp/frames.log in its own file system (pacing figures).
(function () {
  'use strict';

  var stage = document.getElementById('stage');
  var startButton = document.getElementById('start');
  var notice = document.getElementById('notice');
  var noticeText = document.getElementById('notice-text');
  var againButton = document.getElementById('again');
  var playHereButton = document.getElementById('play-here');
  var reloadButton = document.getElementById('reload');
  var fullButton = document.getElementById('full-screen');
  var pad = document.getElementById('pad');
  var frameLog = new URLSearchParams(location.search).has('frame-log');
  // The program's parts under the names make_page.py gave them (their
  // content's hash in each), as the page names them.
  var PARTS = JSON.parse(document.querySelector('meta[name="valmoren-files"]').content);
  // The game's data packs, in the order the game first needs them, each with
  // its files' names (under /data) and sizes, one after the other.
  var DATA = JSON.parse(document.querySelector('meta[name="valmoren-data"]').content);
  // The player's files are one folder (IndexedDB) for the whole site: the tab
  // whose game runs holds this lock, from reading them to the last write.
  var LOCK = 'valmoren /save';
  // A "Play again" that let a new build in: the reloaded page plays at once.
  var PLAY_AFTER_RELOAD = 'valmoren-play-after-reload';
  var LABELS = { start: 'Click to play', again: 'Play again', playHere: 'Play here' };
  var canvas = null;
  var game = null;        // the running program's module
  var running = false;    // a game is loading or running in this tab
  var loading = false;    // ... and has not started yet
  var waiting = false;    // a start waits for the lock
  var gameOver = null;    // lets go of the lock once the game is over
  var touch = false;
  var newBuild = null;    // a new build's worker, waiting for the game to end
  var reloadDue = false;  // a new build took over during a game
  var installing = 0;     // new builds' workers installing
  var lastGame = null;    // the last program's module, its files kept once it is over
  var next = null;        // what the next start runs in place of a game (recordings.js)

  // Keys the game reads, which a page would otherwise scroll or click with.
  // Tab is not among them: it is the page's, to reach its buttons.
  var GAME_KEYS = ['ArrowUp', 'ArrowDown', 'ArrowLeft', 'ArrowRight', 'Space', 'Enter',
                   'NumpadEnter', 'Escape', 'PageUp', 'PageDown', 'Home', 'End', 'Backspace'];

  // The canvas holds the game's 640x480 picture; the page scales it as the
  // desktop window does: a whole multiple of the picture in screen pixels,
  // crisp, when it fills nearly all (nine tenths) of the largest 4:3 box the
  // stage holds; otherwise that box, still pixel for pixel (or smoothed when
  // the window is smaller than the picture).
  function fitCanvas() {
    if (!canvas) return;
    var ratio = window.devicePixelRatio || 1;
    var w = stage.clientWidth * ratio;
    var h = stage.clientHeight * ratio;
    var fitW = Math.min(w, h * 4 / 3);
    var whole = Math.floor(fitW / 640);
    var shownW = whole >= 1 && whole * 640 >= 0.9 * fitW ? whole * 640 : Math.floor(fitW);
    canvas.style.width = Math.max(shownW / ratio, 4) + 'px';
    canvas.style.height = Math.max(shownW * 3 / 4 / ratio, 3) + 'px';
    canvas.style.imageRendering = shownW >= 640 ? 'pixelated' : 'auto';
  }

  function newCanvas() {
    if (canvas) canvas.remove();
    canvas = document.createElement('canvas');
    canvas.id = 'canvas';
    canvas.tabIndex = 0;
    // The game takes its keys itself; a screen reader names it and passes
    // the keys on.
    canvas.setAttribute('role', 'application');
    canvas.setAttribute('aria-label', 'Valmoren');
    // The mouse belongs to the game over its picture: the right button steers
    // in two levels, and a press must not select or drag anything.
    canvas.addEventListener('contextmenu', function (e) { e.preventDefault(); });
    canvas.addEventListener('mousedown', function (e) {
      e.preventDefault();
      canvas.focus();
    });
    stage.appendChild(canvas);
    fitCanvas();
    return canvas;
  }

  // The notice (a live region, which screen readers read out when it
  // changes) and at most one of its buttons.
  function say(text, button) {
    noticeText.textContent = text;
    [againButton, playHereButton, reloadButton].forEach(function (b) {
      b.hidden = b !== button;
      b.disabled = false;
    });
    againButton.textContent = LABELS.again;
    playHereButton.textContent = LABELS.playHere;
    if (button) button.focus();
  }

  function startScreen(text, disabled) {
    startButton.hidden = false;
    startButton.textContent = text;
    startButton.disabled = disabled;
  }

  // The game is over (ended, stopped, or never started): the canvas goes,
  // the notice says why, and the lock is given up once the game's last
  // files have landed in storage.
  function over(text, button) {
    running = false;
    loading = false;
    loadingShown = false;
    notice.classList.remove('loading');
    releasePad();
    if (canvas) canvas.remove();
    canvas = null;
    window.valmorenGame = null;
    startButton.hidden = true;
    say(text, button);
    var module = game, letGo = gameOver;
    lastGame = module || lastGame;
    game = null;
    gameOver = null;
    var stored = module && module.valmorenFilesStored ? module.valmorenFilesStored() : Promise.resolve();
    if (letGo) stored.then(letGo, letGo);
    showUpdate();
  }

  function failed(why) {
    over('The game could not be loaded: ' + why, reloadButton);
  }

  // Another tab plays: this one offers to play here once that game is over.
  function busy() {
    next = null;
    startButton.hidden = true;
    say('Valmoren is already open in another tab.', playHereButton);
  }

  function runGame() {
    running = true;
    loading = true;
    fetchAgain();
    startScreen('Loading\u2026', true);
    say('', null);
    var c = newCanvas();
    padQueue = [];
    var extra = next || {};
    next = null;
    return new Promise(function (letGo) {
      gameOver = letGo;
      Valmoren({
        canvas: c,
        arguments: extra.arguments || [],
        valmorenPad: padQueue,
        valmorenData: programData,
        instantiateWasm: instantiateProgram,
        locateFile: function (name, prefix) { return PARTS[name] || prefix + name; },
        print: function (text) {
          console.log(text);
          if (extra.print) extra.print(text);
        },
        printErr: function (text) {
          console.warn(text);
          if (extra.printErr) extra.printErr(text);
        },
        preRun: [function (module) {
          game = module;
          if (frameLog) module.ENV.VALMOREN_FRAME_LOG = '/tmp/frames.log';
          packs.forEach(function (pack) {
            if (pack.state === 'here') installPack(module, pack);
          });
          if (extra.preRun) extra.preRun(module);
        }],
        onRuntimeInitialized: function () {
          loading = false;
          startButton.hidden = true;
          c.focus();
        },
        onExit: function (status) {
          over(extra.ended ? extra.ended(status)
                           : status === 0 ? 'The game has ended.' : 'The game ended (status ' + status + ').', againButton);
        },
        onAbort: function (what) {
          if (loading) failed(String(what));
          else if (running) over('The game stopped: ' + what, againButton);
        }
      }).then(function (module) {
        window.valmorenGame = running ? module : null;
      }, function (e) {
        if (loading) failed(String((e && e.message) || e));
      });
    });
  }

  // A download that fails while the program loads ends in an error thrown
  // outside the program's own calls.
  window.addEventListener('error', function (e) {
    if (loading) failed(String((e.error && e.error.message) || e.message));
  });
  window.addEventListener('unhandledrejection', function (e) {
    if (loading) failed(String((e.reason && e.reason.message) || e.reason));
  });

  // The program, fetched and compiled from the moment the page loads (its
  // compiling goes along with its download where the browser can); fetched
  // anew at a start when that failed (the network was away).
  var compiled = null;
  var programArrived = false;
  function compileProgram() {
    if (compiled) return compiled;
    var name = PARTS['valmoren.wasm'];
    compiled = fetch(name).then(function (response) {
      if (!response.ok) throw new Error(name + ': ' + response.status + ' ' + response.statusText);
      if (WebAssembly.compileStreaming) return WebAssembly.compileStreaming(response);
      return response.arrayBuffer().then(function (bytes) { return WebAssembly.compile(bytes); });
    });
    compiled.then(function () {
      programArrived = true;
      fetchPacks();
    }, function () {
      compiled = null;
      programArrived = true;
      fetchPacks();
    });
    return compiled;
  }

  // Emscripten's hook: the program instantiated from the compiled module.
  function instantiateProgram(imports, receive) {
    compileProgram().then(function (module) {
      return WebAssembly.instantiate(module, imports).then(function (instance) { receive(instance, module); });
    }).catch(function (e) {
      if (loading) failed(String((e && e.message) || e));
    });
    return {};
  }

  // The data packs, fetched in their order two at a time: the first (the
  // logo's) beside the program, the others once the program has arrived, so
  // that what the logo needs has the network to itself; a pack the game waits
  // for goes before the others. A failed fetch is tried again after a pause,
  // twice, unless the server said the file is not there.
  var AT_ONCE = 2;
  var TRIES = 3;
  var packs = DATA.map(function (p) {
    return { name: p.name, files: p.files, state: 'waiting', bytes: null, tries: 0, why: '', waiters: [] };
  });
  var packOf = {};
  packs.forEach(function (pack) {
    pack.files.forEach(function (file) { packOf[file[0]] = pack; });
  });
  var wanted = null;

  function fetchPacks() {
    var going = packs.filter(function (p) { return p.state === 'coming'; }).length;
    while (going < AT_ONCE) {
      var next = wanted && wanted.state === 'waiting' ? wanted
        : packs.filter(function (p) { return p.state === 'waiting'; })[0];
      if (!next || (!programArrived && next !== packs[0] && next !== wanted)) break;
      fetchPack(next);
      going++;
    }
    if (packs.every(function (p) { return p.state === 'here' || p.state === 'failed'; })) registerWorker();
  }

  function fetchPack(pack) {
    pack.state = 'coming';
    pack.tries++;
    fetch(pack.name).then(function (response) {
      if (!response.ok) {
        var missing = new Error(pack.name + ': ' + response.status + ' ' + response.statusText);
        missing.final = true;
        throw missing;
      }
      return response.arrayBuffer();
    }).then(function (bytes) {
      pack.bytes = bytes;
      pack.state = 'here';
      if (game) installPack(game, pack);
      settle(pack);
      fetchPacks();
    }, function (e) {
      if (!e.final && pack.tries < TRIES) {
        pack.state = 'resting';
        setTimeout(function () {
          pack.state = 'waiting';
          fetchPacks();
        }, 1000 * pack.tries);
        return;
      }
      pack.state = 'failed';
      pack.why = String((e && e.message) || e);
      settle(pack);
      fetchPacks();
    });
  }

  // A start tries again what failed before it.
  function fetchAgain() {
    packs.forEach(function (pack) {
      if (pack.state !== 'failed') return;
      pack.state = 'waiting';
      pack.tries = 0;
    });
    compileProgram();
    fetchPacks();
  }

  // Each file of the pack into the program's /data.
  function installPack(module, pack) {
    var at = 0;
    pack.files.forEach(function (file) {
      var name = '/data/' + file[0];
      module.FS.mkdirTree(name.slice(0, name.lastIndexOf('/')));
      module.FS.writeFile(name, new Uint8Array(pack.bytes, at, file[1]));
      at += file[1];
    });
  }

  var loadingShown = false;
  function showLoading(on) {
    if (on === loadingShown || !running) return;
    loadingShown = on;
    notice.classList.toggle('loading', on);
    say(on ? 'Loading\u2026' : '', null);
  }

  function settle(pack) {
    var waiters = pack.waiters.splice(0);
    waiters.forEach(function (done) { done(); });
    if (waiters.length && !packs.some(function (p) { return p.waiters.length; })) showLoading(false);
  }

  // A pack the game needs did not arrive: the game cannot go on.
  function dataFailed(pack) {
    var module = game;
    showLoading(false);
    if (module && module.SDL2 && module.SDL2.audioContext) module.SDL2.audioContext.close().catch(function () {});
    failed('its data (' + pack.name + ') did not arrive: ' + pack.why);
  }

  // What the program asks of the data (sdl_web.js): whether a file is still
  // to come, and a call back once it is there.
  var programData = {
    coming: function (name) {
      var pack = packOf[name];
      return !!pack && pack.state !== 'here';
    },
    whenHere: function (name, done) {
      var pack = packOf[name];
      if (!pack || pack.state === 'here') {
        done();
        return;
      }
      if (pack.state === 'failed') {
        dataFailed(pack);
        return;
      }
      pack.waiters.push(function () {
        if (pack.state === 'failed') dataFailed(pack);
        else done();
      });
      wanted = pack;
      showLoading(true);
      fetchPacks();
    }
  };

  // Lasting storage, so that a browser short of room does not evict the
  // player's files and the offline copy; asked for at the first start, a
  // gesture (some browsers ask the player).
  var lastingAsked = false;
  function askForLastingStorage() {
    if (lastingAsked || !navigator.storage || !navigator.storage.persist) return;
    lastingAsked = true;
    navigator.storage.persisted().then(function (lasting) {
      return lasting || navigator.storage.persist();
    }).catch(function () {});
  }

  // `patient`: wait for the other tab rather than say that it plays.
  function start(patient) {
    if (running || waiting) return;
    // A new build has taken over, or is ready to: the page reloads as it
    // and plays.
    if (reloadDue) {
      playAfterReload();
      location.reload();
      return;
    }
    if (newBuild) {
      letNewBuildIn(true);
      return;
    }
    askForLastingStorage();
    if (!navigator.locks) {
      runGame();
      return;
    }
    waiting = true;
    if (patient) {
      say('Valmoren starts here when the other tab is closed or its game is over.', null);
    } else {
      startScreen('Loading\u2026', true);
    }
    navigator.locks.request(LOCK, patient ? {} : { ifAvailable: true }, function (lock) {
      waiting = false;
      if (!lock) {
        busy();
        return null;
      }
      return runGame();
    }).catch(function (e) {
      waiting = false;
      failed('the browser refused to let this tab play (' + e + ')');
    });
  }

  // recordings.js plays a recording through this: `extra` names the
  // program's arguments, files put in place before it runs, and what the
  // page says when it ends.
  window.valmorenPage = {
    busy: function () { return running || waiting; },
    program: function () { return game || lastGame; },
    say: function (text) { say(text, null); },
    play: function (extra) {
      if (running || waiting) return;
      next = extra;
      start(false);
    }
  };

  startButton.addEventListener('click', function () { start(false); });
  againButton.addEventListener('click', function () { start(false); });
  playHereButton.addEventListener('click', function () { start(true); });
  reloadButton.addEventListener('click', function () { location.reload(); });

  window.addEventListener('resize', fitCanvas);
  window.addEventListener('keydown', function (e) {
    if (running && GAME_KEYS.indexOf(e.code) >= 0) e.preventDefault();
  });
  // Tab moves the focus between the picture and the page's buttons. The
  // program's key handler, which would keep it, never sees it.
  ['keydown', 'keyup', 'keypress'].forEach(function (type) {
    window.addEventListener(type, function (e) {
      if (e.key === 'Tab') e.stopImmediatePropagation();
    }, true);
  });

  // Full screen: the stage alone on a desktop; on a touch device the whole
  // page, so that the pad comes along.
  fullButton.addEventListener('click', function () {
    var whole = touch ? document.documentElement : stage;
    if (document.fullscreenElement) {
      document.exitFullscreen();
    } else if (whole.requestFullscreen) {
      whole.requestFullscreen({ navigationUI: 'hide' }).catch(function () {});
    }
    if (canvas && !touch) canvas.focus();
  });
  document.addEventListener('fullscreenchange', fitCanvas);
  if (!document.fullscreenEnabled) fullButton.hidden = true;

  // The on-screen pad. Its buttons are the buttons of a controller, named as
  // SDL names them (data-pad); the program takes them by SDL's number, their
  // place in this list. A finger may roll from one button onto another (the
  // D-pad's directions); a button held by two fingers is let go with the
  // second.
  var SDL_BUTTONS = ['a', 'b', 'x', 'y', 'back', 'guide', 'start', 'leftstick', 'rightstick',
                     'leftshoulder', 'rightshoulder', 'dpup', 'dpdown', 'dpleft', 'dpright'];
  Array.prototype.forEach.call(pad.querySelectorAll('[data-pad]'), function (button) {
    if (SDL_BUTTONS.indexOf(button.dataset.pad) < 0) console.error('Valmoren: no pad button ' + button.dataset.pad);
  });
  var MOST_WAITING = 256;  // changes the program has not taken yet
  var padQueue = [];
  var fingers = new Map();  // pointer -> the pad button under it, or null
  var holds = new Map();    // pad button -> the fingers on it

  function padHold(button, down) {
    var count = (holds.get(button) || 0) + (down ? 1 : -1);
    if (count < 0) return;
    holds.set(button, count);
    button.classList.toggle('held', count > 0);
    if (count !== (down ? 1 : 0)) return;
    var number = SDL_BUTTONS.indexOf(button.dataset.pad);
    if (running && number >= 0 && padQueue.length < MOST_WAITING) padQueue.push([number, down]);
  }

  function fingerOn(id, button) {
    var was = fingers.get(id) || null;
    if (was === button) return;
    if (was) padHold(was, false);
    if (button) padHold(button, true);
    fingers.set(id, button);
  }

  function fingerOff(id) {
    fingerOn(id, null);
    fingers.delete(id);
  }

  function releasePad() {
    fingers.forEach(function (button, id) { fingerOff(id); });
  }

  function padButtonAt(x, y) {
    var under = document.elementFromPoint(x, y);
    return under && under.closest ? under.closest('#pad [data-pad]') : null;
  }

  pad.addEventListener('pointerdown', function (e) {
    var button = e.target.closest('[data-pad]');
    if (!button) return;
    // A mouse's other buttons press nothing (and open no menu).
    if (e.pointerType === 'mouse' && e.button !== 0) return;
    // No focus, no selection, no emulated mouse: the press is the game's.
    e.preventDefault();
    // A touch holds on to the button it began on; let go, so that a finger
    // rolling onto the next button presses that one.
    if (button.hasPointerCapture(e.pointerId)) button.releasePointerCapture(e.pointerId);
    fingerOn(e.pointerId, button);
  });
  document.addEventListener('pointermove', function (e) {
    if (fingers.has(e.pointerId)) fingerOn(e.pointerId, padButtonAt(e.clientX, e.clientY));
  });
  ['pointerup', 'pointercancel'].forEach(function (type) {
    document.addEventListener(type, function (e) {
      if (fingers.has(e.pointerId)) fingerOff(e.pointerId);
    });
  });
  pad.addEventListener('contextmenu', function (e) { e.preventDefault(); });
  window.addEventListener('blur', releasePad);
  document.addEventListener('visibilitychange', function () {
    if (document.hidden) releasePad();
  });

  // A touch device: the pad shows, and the page is laid out around it.
  function useTouch() {
    if (touch) return;
    touch = true;
    document.documentElement.classList.add('touch');
    pad.hidden = false;
    fitCanvas();
  }
  var coarse = window.matchMedia ? window.matchMedia('(pointer: coarse)') : null;
  if (coarse && coarse.matches) useTouch();
  if (coarse && coarse.addEventListener) {
    coarse.addEventListener('change', function () { if (coarse.matches) useTouch(); });
  }
  window.addEventListener('touchstart', useTouch, { capture: true, passive: true });
  // Safari's own pinch zoom, which the viewport alone does not stop there.
  document.addEventListener('gesturestart', function (e) { e.preventDefault(); });

  // Offline: sw.js keeps this build's files. A new build's worker installs
  // beside the one in use ("Updating..." where a game would start) and
  // waits; it takes over when no game is running (at once on the start
  // screen, otherwise at the next "Play again", which then plays the new
  // build), and the page reloads as the new build.
  function playAfterReload() {
    try {
      sessionStorage.setItem(PLAY_AFTER_RELOAD, '1');
    } catch (e) {
      // No session storage: the reloaded page waits for a click.
    }
  }

  function letNewBuildIn(play) {
    if (play) playAfterReload();
    showUpdate();
    newBuild.postMessage('take-over');
  }

  // "Updating..." on the button that would start a game, while a new build
  // installs or takes over; the button comes back when the install fails.
  function showUpdate() {
    if (running || waiting) return;
    var updating = installing > 0 || (newBuild && startButton.hidden === false);
    var button = startButton.hidden ? (againButton.hidden ? null : againButton) : startButton;
    if (!button) return;
    button.disabled = updating || (button === startButton && typeof Valmoren !== 'function');
    button.textContent = updating ? 'Updating\u2026' : button === startButton ? LABELS.start : LABELS.again;
  }

  function newBuildWaiting(registration) {
    var waitingWorker = registration.waiting;
    if (!waitingWorker || !navigator.serviceWorker.controller) return;
    newBuild = waitingWorker;
    if (!running && !waiting && startButton.hidden === false) letNewBuildIn(false);
    else showUpdate();
  }

  // Every worker of the registration is followed, also one the browser found
  // before this page looked.
  var followed = [];
  function followWorker(worker, registration) {
    if (!worker || followed.indexOf(worker) >= 0) return;
    followed.push(worker);
    var counted = worker.state === 'installing' && !!navigator.serviceWorker.controller;
    if (counted) {
      installing++;
      showUpdate();
    }
    var settled = function () {
      if (!counted) return;
      counted = false;
      installing--;
      showUpdate();
    };
    worker.addEventListener('statechange', function () {
      if (worker.state === 'installed') {
        newBuildWaiting(registration);
        settled();
      } else if (worker.state !== 'installing') {
        settled();
      }
    });
  }

  var registered = false;
  var registerWorker = function () {};
  var registrations = [];
  function followRegistration(registration) {
    if (!registration || registrations.indexOf(registration) >= 0) return;
    registrations.push(registration);
    followWorker(registration.installing, registration);
    newBuildWaiting(registration);
    registration.addEventListener('updatefound', function () {
      followWorker(registration.installing, registration);
    });
  }

  if ('serviceWorker' in navigator && window.isSecureContext) {
    var controlled = !!navigator.serviceWorker.controller;
    navigator.serviceWorker.addEventListener('controllerchange', function () {
      // The first visit's worker taking over changes nothing on the page; a
      // new build's (let in here or by another tab) reloads it, but never
      // under a running game, whose program is the old build's.
      if (controlled && running) reloadDue = true;
      else if (controlled) location.reload();
      controlled = true;
    });
    // An update the browser found while the page loaded is followed at once.
    navigator.serviceWorker.getRegistration().then(followRegistration).catch(function () {});
    // Registered once the page has loaded, and on a first visit (no worker
    // yet) once the data has arrived, so that the worker's copy of every
    // file is the one in the browser's cache, not downloaded a second time
    // while the page's own fetch is under way.
    var pageLoaded = false;
    registerWorker = function () {
      if (!pageLoaded || registered || (!controlled && !packs.every(function (p) { return p.state === 'here'; }))) return;
      registered = true;
      navigator.serviceWorker.register('sw.js').then(followRegistration).catch(function (e) {
        console.warn('Valmoren: the page cannot be kept for playing offline: ' + e);
      });
    };
    window.addEventListener('load', function () {
      pageLoaded = true;
      registerWorker();
    });
  }

  // The program and its data are fetched from now on, while the player
  // reads the button.
  compileProgram();
  fetchPacks();

  // Ready: the start button works from here on (it shows disabled until now).
  if (typeof Valmoren !== 'function') {
    failed('its program (' + PARTS['valmoren.js'] + ') did not arrive');
  } else {
    startScreen(LABELS.start, false);
    showUpdate();
    var playNow = false;
    try {
      playNow = sessionStorage.getItem(PLAY_AFTER_RELOAD) === '1';
      sessionStorage.removeItem(PLAY_AFTER_RELOAD);
    } catch (e) {
      playNow = false;
    }
    if (playNow) {
      start(false);
    } else if (navigator.locks && navigator.locks.query) {
      // Another tab's game runs: said at once rather than at the click.
      navigator.locks.query().then(function (state) {
        var held = (state.held || []).some(function (l) { return l.name === LOCK; });
        if (held && !running && !waiting && !newBuild) busy();
      }).catch(function () {});
    }
  }
})();
