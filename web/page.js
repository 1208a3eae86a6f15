// page.js -- starts the game on "Click to play" (browsers open sound only
// after a gesture), scales its 640x480 canvas crisply to fill the window at
// 4:3, gives it the keyboard and the mouse, offers full screen, and says when
// the game has ended. `?frame-log` in the address makes the program log every
// page it shows to /tmp/frames.log in its own file system (pacing figures).
(function () {
  'use strict';

  var stage = document.getElementById('stage');
  var startButton = document.getElementById('start');
  var notice = document.getElementById('notice');
  var noticeText = document.getElementById('notice-text');
  var againButton = document.getElementById('again');
  var fullButton = document.getElementById('full-screen');
  var frameLog = new URLSearchParams(location.search).has('frame-log');
  var canvas = null;
  var running = false;

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
    if (canvas) canvas.remove();
    canvas = null;
    window.valmorenGame = null;
    showNotice(status === 0 ? 'The game has ended.' : 'The game ended (status ' + status + ').');
  }

  function start() {
    startButton.disabled = true;
    startButton.textContent = 'Loading\u2026';
    notice.hidden = true;
    var c = newCanvas();
    running = true;
    Valmoren({
      canvas: c,
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

  fullButton.addEventListener('click', function () {
    if (document.fullscreenElement) {
      document.exitFullscreen();
    } else if (stage.requestFullscreen) {
      stage.requestFullscreen().catch(function () {});
    }
    if (canvas) canvas.focus();
  });
  document.addEventListener('fullscreenchange', fitCanvas);
  if (!document.fullscreenEnabled) fullButton.hidden = true;
})();
