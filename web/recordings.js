// recordings.js -- the page's side of recorded games. The program keeps the
// last game played as replays/last.vrec in the player's folder; the page
// offers it as a download ("Last game's recording"), from the program that
// ran in this tab or, before one has, from the browser's storage. A
// recording chosen with "Play a recording", or dropped onto the page, is
// played in the canvas at its own pace (the program's --play: the player's
// keys do not reach the replayed game, Esc held for a second ends it), and
// the page says how it ended. page.js starts the program
// (window.valmorenPage).
(function () {
  'use strict';

  var page = window.valmorenPage;
  var group = document.getElementById('recordings');
  var playButton = document.getElementById('play-recording');
  var chooser = document.getElementById('recording-file');
  var downloadButton = document.getElementById('download-recording');
  if (!page || !group) return;
  // The player's folder, and how emscripten's IDBFS keeps it: a database
  // named after the folder, one entry a file under its whole path.
  var FOLDER = '/save';
  var LAST = FOLDER + '/replays/last.vrec';
  var STORE = 'FILE_DATA';
  // Where a recording to play is put in the program's own file system.
  var PLAYED = '/tmp/playback.vrec';
  // The program reads no larger recording.
  var LARGEST = 64 * 1024 * 1024;

  function fromProgram() {
    var module = page.program();
    if (!module || !module.FS) return null;
    try {
      return module.FS.readFile(LAST);
    } catch (e) {
      return null;
    }
  }

  // The stored copy, or null; never makes the database where there is none.
  function fromStorage() {
    return new Promise(function (resolve) {
      var request;
      try {
        request = indexedDB.open(FOLDER);
      } catch (e) {
        resolve(null);
        return;
      }
      request.onupgradeneeded = function () { request.transaction.abort(); };
      request.onerror = function () { resolve(null); };
      request.onsuccess = function () {
        var db = request.result;
        try {
          var get = db.transaction(STORE, 'readonly').objectStore(STORE).get(LAST);
          get.onsuccess = function () {
            var entry = get.result;
            resolve(entry && entry.contents instanceof Uint8Array ? entry.contents : null);
          };
          get.onerror = function () { resolve(null); };
          get.transaction.oncomplete = function () { db.close(); };
        } catch (e) {
          db.close();
          resolve(null);
        }
      };
    });
  }

  function lastRecording() {
    var bytes = fromProgram();
    return bytes ? Promise.resolve(bytes) : fromStorage();
  }

  function offer(bytes) {
    downloadButton.hidden = !bytes;
  }

  // The date its game started (in its header), as the download's name has it.
  function dateOf(bytes) {
    var at = 10;
    for (var i = 0; i < 2 && at < bytes.length; i++) at += 1 + bytes[at];
    var seconds = 0;
    if (at + 8 <= bytes.length) {
      for (var k = 5; k >= 0; k--) seconds = seconds * 256 + bytes[at + k];
    }
    var d = new Date(seconds > 0 ? seconds * 1000 : Date.now());
    var two = function (n) { return (n < 10 ? '0' : '') + n; };
    return d.getFullYear() + '-' + two(d.getMonth() + 1) + '-' + two(d.getDate()) + '_' +
           two(d.getHours()) + '-' + two(d.getMinutes()) + '-' + two(d.getSeconds());
  }

  downloadButton.addEventListener('click', function () {
    lastRecording().then(function (bytes) {
      offer(bytes);
      if (!bytes) return;
      var link = document.createElement('a');
      link.href = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
      link.download = 'valmoren_' + dateOf(bytes) + '.vrec';
      document.body.appendChild(link);
      link.click();
      link.remove();
      setTimeout(function () { URL.revokeObjectURL(link.href); }, 10000);
    });
  });

  // Plays `file` (a File) in the canvas; false when a game runs here now.
  function play(file) {
    if (page.busy()) return;
    if (file.size > LARGEST) {
      page.say('"' + file.name + '" is too large to be a recording.');
      return;
    }
    file.arrayBuffer().then(function (buffer) {
      var verdict = '';
      var problem = '';
      page.play({
        arguments: ['--play', PLAYED],
        preRun: function (module) {
          module.FS.mkdirTree('/tmp');
          module.FS.writeFile(PLAYED, new Uint8Array(buffer));
        },
        print: function (text) { verdict = text; },
        printErr: function (text) { problem = text.split(PLAYED + ': ').pop(); },
        ended: function (status) {
          if (status === 2) return '"' + file.name + '" cannot be played: ' + problem + '.';
          if (!verdict) return 'The playback of "' + file.name + '" has ended.';
          return 'The playback of "' + file.name + '" has ended: ' + verdict + '.';
        }
      });
    }, function (e) {
      page.say('"' + file.name + '" cannot be read: ' + e);
    });
  }

  playButton.addEventListener('click', function () {
    if (!page.busy()) chooser.click();
  });
  chooser.addEventListener('change', function () {
    var file = chooser.files && chooser.files[0];
    chooser.value = '';
    if (file) play(file);
  });
  // A file dropped anywhere on the page (while no game runs here).
  function carriesFiles(e) {
    return e.dataTransfer && Array.prototype.indexOf.call(e.dataTransfer.types || [], 'Files') >= 0;
  }
  document.addEventListener('dragover', function (e) {
    if (!carriesFiles(e)) return;
    e.preventDefault();
    e.dataTransfer.dropEffect = page.busy() ? 'none' : 'copy';
  });
  document.addEventListener('drop', function (e) {
    if (!carriesFiles(e)) return;
    e.preventDefault();
    var file = e.dataTransfer.files && e.dataTransfer.files[0];
    if (file) play(file);
  });

  // The download is offered once there is a last game: looked for in storage
  // now, and in the program's folder while one runs here (it writes the file
  // at each game's end).
  group.hidden = false;
  fromStorage().then(function (bytes) { if (bytes) offer(bytes); });
  setInterval(function () {
    if (page.program() && downloadButton.hidden) offer(fromProgram());
  }, 2000);
})();
