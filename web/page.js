// page.js -- starts the game on "Click to play" (browsers open sound only
// after a gesture), scales its 640x480 canvas crisply to fill the window at
// 4:3, gives it the keyboard and the mouse, offers full screen, and says when
// the game has ended. On a touch device (a coarse pointer, or the first
// touch) it shows the on-screen pad, whose buttons the program takes as a
// gamepad; a finger on the canvas is the mouse (SDL maps it). It keeps the
// page, the program and its data for playing offline (sw.js) and lets a new
// build take over between two games. `?frame-log` in the address makes the
// program log every page it shows to /tmp/frames.log in its own file system
// (pacing figures).
(function () {
  'use strict';

  var stage = document.getElementById('stage');
  var startButton = document.getElementById('start');
  var notice = document.getElementById('notice');
  var noticeText = document.getElementById('notice-text');
  var againButton = document.getElementById('again');
  var fullButton = document.getElementById('full-screen');
  var pad = document.getElementById('pad');
  var frameLog = new URLSearchParams(location.search).has('frame-log');
  var canvas = null;
  var running = false;
  var touch = false;
  var newBuild = null;    // a new build's worker, waiting for the game to end
  var reloadDue = false;  // a new build took over during a game

  // Keys the game reads, which a page would otherwise scroll or click with.
  var GAME_KEYS = ['ArrowUp', 'ArrowDown', 'ArrowLeft', 'ArrowRight', 'Space', 'Enter',
                   'NumpadEnter', 'Escape', 'PageUp', 'PageDown', 'Home', 'End', 'Tab',
                   'Backspace'];

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

  function showNotice(text) {
    noticeText.textContent = text;
    notice.hidden = false;
    againButton.focus();
  }

  function ended(status) {
    running = false;
    releasePad();
    if (canvas) canvas.remove();
    canvas = null;
    window.valmorenGame = null;
    showNotice(status === 0 ? 'The game has ended.' : 'The game ended (status ' + status + ').');
  }

  function start() {
    // A new build has taken over, or is ready to: the page reloads as it.
    if (reloadDue) {
      location.reload();
      return;
    }
    if (newBuild) {
      letNewBuildIn();
      return;
    }
    startButton.disabled = true;
    startButton.textContent = 'Loading\u2026';
    notice.hidden = true;
    var c = newCanvas();
    running = true;
    padQueue = [];
    Valmoren({
      canvas: c,
      valmorenPad: padQueue,
      print: function (text) { console.log(text); },
      printErr: function (text) { console.warn(text); },
      preRun: [function (module) {
        if (frameLog) module.ENV.VALMOREN_FRAME_LOG = '/tmp/frames.log';
      }],
      onRuntimeInitialized: function () {
        startButton.hidden = true;
        c.focus();
      },
      onExit: ended,
      onAbort: function (what) {
        running = false;
        releasePad();
        showNotice('The game stopped: ' + what);
      }
    }).then(function (module) {
      window.valmorenGame = running ? module : null;
    });
  }

  startButton.addEventListener('click', start);
  againButton.addEventListener('click', start);

  window.addEventListener('resize', fitCanvas);
  window.addEventListener('keydown', function (e) {
    if (running && GAME_KEYS.indexOf(e.code) >= 0) e.preventDefault();
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
  // beside the one in use and waits; it takes over when no game is running
  // (at once on the start screen, otherwise at the next "Play again"), and
  // the page reloads as the new build.
  function letNewBuildIn() {
    if (newBuild) newBuild.postMessage('take-over');
  }

  function newBuildWaiting(registration) {
    if (!registration.waiting || !navigator.serviceWorker.controller) return;
    newBuild = registration.waiting;
    if (!running && startButton.hidden === false && !startButton.disabled) {
      startButton.disabled = true;
      startButton.textContent = 'Updating\u2026';
      letNewBuildIn();
    }
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
    window.addEventListener('load', function () {
      navigator.serviceWorker.register('sw.js').then(function (registration) {
        newBuildWaiting(registration);
        registration.addEventListener('updatefound', function () {
          var installing = registration.installing;
          if (!installing) return;
          installing.addEventListener('statechange', function () {
            if (installing.state === 'installed') newBuildWaiting(registration);
          });
        });
      }).catch(function (e) {
        console.warn('Valmoren: the page cannot be kept for playing offline: ' + e);
      });
    });
  }
})();
