// sdl_web.js -- the browser side of sdl_web.cpp, linked into the browser
// build with --js-library. The game suspends itself (ASYNCIFY) in the
// waiting calls and goes on when the browser calls back; the runtime is kept
// alive while it waits, and the callback goes through callUserCallback so
// that the program's end inside it is handled as an end, not an error.
mergeInto(LibraryManager.library, {
  // SDL2's browser audio, built here rather than taken from emscripten's own
  // ports, calls these two runtime functions, which are otherwise left out.
  $ValmorenWeb__deps: ['$autoResumeAudioContext', '$dynCall'],
  $ValmorenWeb: {
    channel: null,   // a message port pair that answers a turn of the event loop
    waking: null,    // the suspended program's wake-up, while it waits for its turn
    kept: false,     // the player's folder was read back from storage: copies go there
    flushing: false, // a copy of the player's folder to storage is under way
    flushAgain: false,
    page: null,      // the canvas, its context and the picture put on it
    napWord: null,   // the shared word a fine nap waits on
    stored: [],      // waiting for the copies under way to land
  },

  // A nap of `ms` milliseconds. Where the page is isolated from other
  // origins, a wait on a word of shared memory that nobody wakes ends at the
  // fraction of a millisecond asked for; a timer counts whole milliseconds.
  valmoren_web_fine_naps: function() {
    return (typeof crossOriginIsolated !== 'undefined' && crossOriginIsolated &&
            typeof SharedArrayBuffer !== 'undefined' && typeof Atomics.waitAsync === 'function') ? 1 : 0;
  },
  valmoren_web_nap__deps: ['$ValmorenWeb', '$callUserCallback', '$runtimeKeepalivePush', '$runtimeKeepalivePop',
                           'valmoren_web_fine_naps'],
  valmoren_web_nap: function(ms) {
    return Asyncify.handleSleep(function(wakeUp) {
      var woken = function() {
        runtimeKeepalivePop();
        callUserCallback(wakeUp);
      };
      runtimeKeepalivePush();
      if (_valmoren_web_fine_naps()) {
        if (!ValmorenWeb.napWord) ValmorenWeb.napWord = new Int32Array(new SharedArrayBuffer(4));
        var wait = Atomics.waitAsync(ValmorenWeb.napWord, 0, 0, ms);
        if (wait.async) {
          wait.value.then(woken);
          return;
        }
      }
      setTimeout(woken, ms);
    });
  },

  // One turn of the browser's event loop: a message posted to ourselves comes
  // back after the tasks already queued (input, due timers, painting) have
  // run, and, unlike a chain of timers, is never held back to 4 ms.
  valmoren_web_quick_turn__deps: ['$ValmorenWeb', '$callUserCallback',
                                  '$runtimeKeepalivePush', '$runtimeKeepalivePop'],
  valmoren_web_quick_turn: function() {
    return Asyncify.handleSleep(function(wakeUp) {
      if (!ValmorenWeb.channel) {
        ValmorenWeb.channel = new MessageChannel();
        ValmorenWeb.channel.port1.onmessage = function() {
          var wake = ValmorenWeb.waking;
          ValmorenWeb.waking = null;
          runtimeKeepalivePop();
          if (wake) callUserCallback(wake);
        };
      }
      runtimeKeepalivePush();
      ValmorenWeb.waking = wakeUp;
      ValmorenWeb.channel.port2.postMessage(0);
    });
  },

  // The game is about to read a file of its data (its name under /data):
  // when the page's pack that holds it has not arrived yet, the program
  // waits until it has (Module.valmorenData, page.js: coming(name) and
  // whenHere(name, done); a pack that fails never calls back, as the page
  // then ends the game). Returns 1 when it waited. Every call goes through
  // handleSleep, even one that does not wait: the call that resumes the
  // program after a wait comes here again, and only handleSleep ends the
  // resumption (the file has arrived by then, so a plain return would leave
  // the program resuming).
  valmoren_web_data_wait__deps: ['$callUserCallback', '$runtimeKeepalivePush', '$runtimeKeepalivePop'],
  valmoren_web_data_wait: function(path) {
    return Asyncify.handleSleep(function(wakeUp) {
      var data = Module['valmorenData'];
      var name = UTF8ToString(path);
      if (!data || !data.coming(name)) {
        wakeUp(0);
        return;
      }
      runtimeKeepalivePush();
      data.whenHere(name, function() {
        runtimeKeepalivePop();
        callUserCallback(function() { wakeUp(1); });
      });
    });
  },

  // Mounts the player's folder on the browser's IndexedDB storage, reads back
  // what was stored there, and makes it the working folder. Without storage
  // (no IndexedDB, storage switched off, a private window that refuses it)
  // or when reading it fails, the folder is a plain one in memory: the game
  // plays on and forgets, and nothing is ever written back (neither by a
  // copy nor by a file's fsync, which copies a stored folder by itself), so
  // that an empty folder is never copied over the settings and the score
  // log kept there. The page learns through Module.valmorenFilesStored()
  // when the last copy to storage has landed (a promise).
  valmoren_web_mount_files__deps: ['$FS', '$IDBFS', '$ValmorenWeb', '$callUserCallback',
                                   '$runtimeKeepalivePush', '$runtimeKeepalivePop'],
  valmoren_web_mount_files: function(folder) {
    Module['valmorenFilesStored'] = function() {
      return new Promise(function(resolve) {
        if (ValmorenWeb.flushing) ValmorenWeb.stored.push(resolve);
        else resolve();
      });
    };
    return Asyncify.handleSleep(function(wakeUp) {
      var path = UTF8ToString(folder);
      var finished = false;
      var mounted = false;
      var done = function(kept, why) {
        if (finished) return;
        finished = true;
        ValmorenWeb.kept = kept;
        if (!kept) {
          console.warn('Valmoren: the settings and scores are not kept in this browser this time (' + why + ')');
          // A plain folder in memory from here on: a file's fsync copies an
          // IndexedDB folder to storage by itself.
          if (mounted) {
            try { FS.unmount(path); } catch (e) { console.warn('Valmoren: the stored folder stays mounted: ' + e); }
          }
        }
        try { FS.chdir(path); } catch (e) { console.warn('Valmoren: no folder for the player\'s files: ' + e); }
        // Always from a turn of its own: a storage that fails at once would
        // otherwise wake the program before it has gone to sleep, and the
        // runtime, kept alive by nothing, would end.
        setTimeout(function() {
          runtimeKeepalivePop();
          callUserCallback(wakeUp);
        }, 0);
      };
      runtimeKeepalivePush();
      try {
        FS.mkdirTree(path);
        // Reading the name alone throws where storage is switched off.
        if (typeof indexedDB === 'undefined' || !indexedDB) {
          done(false, 'no IndexedDB');
          return;
        }
        FS.mount(IDBFS, {}, path);
        mounted = true;
        FS.syncfs(true, function(err) {
          if (err) done(false, 'reading the stored files failed: ' + err);
          else done(true);
        });
      } catch (e) {
        done(false, String(e));
      }
    });
  },

  // Copies the player's folder to storage (never after a failed read). A
  // copy asked for while one is under way follows it, so the last write
  // always lands.
  valmoren_web_flush_files__deps: ['$FS', '$IDBFS', '$ValmorenWeb'],
  valmoren_web_flush_files: function() {
    if (!ValmorenWeb.kept) return;
    if (ValmorenWeb.flushing) {
      ValmorenWeb.flushAgain = true;
      return;
    }
    ValmorenWeb.flushing = true;
    var landed = function(err) {
      ValmorenWeb.flushing = false;
      if (err) console.warn('Valmoren: the settings and scores could not be stored: ' + err);
      if (ValmorenWeb.flushAgain) {
        ValmorenWeb.flushAgain = false;
        _valmoren_web_flush_files();
      }
      if (!ValmorenWeb.flushing) ValmorenWeb.stored.splice(0).forEach(function(resolve) { resolve(); });
    };
    try {
      FS.syncfs(false, landed);
    } catch (e) {
      landed(e);
    }
  },

  // The page's on-screen pad: page.js hands the program a queue in
  // Module.valmorenPad, [button, held] pairs in SDL's numbering of controller
  // buttons; sdl_web_pad.cpp takes them at each look at the events.
  valmoren_web_pad_waiting: function() {
    var queue = Module['valmorenPad'];
    return queue ? queue.length : 0;
  },
  valmoren_web_pad_take: function(taken) {
    var queue = Module['valmorenPad'];
    while (queue && queue.length) {
      var button = queue[0][0];
      if (!(button >= 0 && button < 32 && button === (button | 0))) {
        queue.shift();  // not a button: dropped
        continue;
      }
      if ((taken >>> button) & 1) return -1;
      return button * 2 + (queue.shift()[1] ? 1 : 0);
    }
    return -1;
  },

  // The page onto the canvas (sdl_web_page.cpp): the rectangle x, y, w, h of
  // the 640x480 RGBA picture at `rgba` in the program's memory, handed to
  // the canvas without a copy in between. The canvas is opaque: nothing
  // under it shows through, and the browser need not blend it; and it is
  // desynchronized: what is put goes to the compositor as it is, without
  // waiting for a frame of the page and its commit.
  valmoren_web_put_page__deps: ['$ValmorenWeb'],
  valmoren_web_put_page: function(rgba, x, y, w, h) {
    var canvas = Module['canvas'];
    if (!canvas) return;
    var page = ValmorenWeb.page;
    if (!page || page.canvas !== canvas) {
      page = ValmorenWeb.page = { canvas: canvas, context: canvas.getContext('2d', { alpha: false, desynchronized: true }), image: null };
    }
    if (!page.context) return;
    // Memory that grows is a new buffer: the picture is looked up again.
    if (!page.image || page.image.data.buffer !== HEAPU8.buffer || page.at !== rgba) {
      page.image = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, rgba, 640 * 480 * 4), 640, 480);
      page.at = rgba;
    }
    page.context.putImageData(page.image, 0, 0, x, y, w, h);
  },

  // F12: the canvas as a PNG, offered to the player as a download (the
  // browser asks where, or puts it in its downloads folder).
  valmoren_web_save_canvas: function(name) {
    var file = UTF8ToString(name);
    var canvas = Module['canvas'];
    if (!canvas || !canvas.toBlob) return;
    canvas.toBlob(function(blob) {
      if (!blob) return;
      var link = document.createElement('a');
      link.href = URL.createObjectURL(blob);
      link.download = file;
      document.body.appendChild(link);
      link.click();
      link.remove();
      setTimeout(function() { URL.revokeObjectURL(link.href); }, 10000);
      console.log('Screenshot: ' + file);
    }, 'image/png');
  },
});
