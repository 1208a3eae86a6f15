// browser_test.mjs -- the browser build played in Debian's Chromium (headless,
// driven over the DevTools protocol by puppeteer-core), as a player would,
// from a server that answers index.html with a redirect to its folder (as
// hosts with "pretty URLs" do):
//   0. the test server itself: no folder listings, no file reached through a
//      link out of its folder, gzip refused when the browser says q=0, no
//      request for another host name;
//   1. "Click to play": the logo fades in on white, then the menu comes up
//      (the canvas's pixels read back); the page's policy forbids evaluating
//      text as code; Tab reaches "Full screen" with its focus shown, and
//      back; keys the game uses do not act on the page; Down x3 and Enter on
//      Exit end the program and the page says so in its live region, with
//      "Play again" focused; "Play again" starts it afresh, also in a browser
//      without IndexedDB; the page has asked for lasting storage; the canvas
//      shows exactly the game's page after the moves of the menu's ball;
//   2. reloaded: Options, Music changed, Save and Exit; a second tab says the
//      game is open in another tab and plays only once the first is closed,
//      with the saved value; a start whose reading of the storage fails plays
//      with the defaults and its save does not overwrite what is stored;
//   3. Start, Enter through the story slides: level 1 runs, and its frame
//      intervals are read from the program's own frame log; F12 downloads
//      the canvas as a 640x480 PNG under a date-and-time name; a gamepad in
//      the browser's Gamepad API (a stand-in, standard layout) opens the exit
//      question with B and answers no with X; Chromium reads the web app
//      manifest (its own id, a maskable icon) without errors, finds its
//      icons and nothing in the way of installing the page; the Apple web-app
//      tags are there; on this desktop the on-screen pad never shows; then
//      the game left (Esc, Y) and Exit: the page offers the last game's
//      recording, which downloads and which the Linux program checks as
//      recorded; every stored recording (made by the Linux program under
//      Xvfb) checked by the browser build to its score and digest; one
//      played on the page through "Play a recording" to its end, as
//      recorded; a damaged one dropped onto the page refused in one line;
//   4. a phone (DevTools' device metrics and touch emulation), in a profile
//      of its own, with touch alone, its first visit to index.html with the
//      game's script held back: a tap on "Click to play" as soon as it shows
//      either starts the game or finds the button disabled; the layout
//      sideways, upright and at exactly 4:3 (screenshots of the first two):
//      every control on the screen, none over another, the pad's gaps left
//      to the picture, its labels at least 3:1 over any picture; full
//      screen, no pinch zoom, no menu from a right click; the on-screen pad
//      through the menu and the options (the controls set to the keyboard),
//      the story, level 1 kept in play with its D-pad, the pause, the exit
//      question answered no and then yes, and Exit;
//   5. reloaded from the server, then offline (the server stopped and the
//      network off): the page reloads from its offline copy and the game
//      reaches the menu; then rebuilt copies (other program bytes) at the
//      same address: one served with the old build's .wasm under the new
//      name is refused whole (the old build plays on, every kept copy whole);
//      the same build served right is taken at a "Play again", which then
//      plays it; a third found while the page was away is followed
//      ("Updating...") and takes over; the build id does not change with
//      the revision alone;
//   6. level 5 on the phone held upright (the level program of
//      tests/xvfb/level_start.cpp under the same page), its first start with
//      the data missing (the page says why and offers Reload): a tap puts
//      the crosshair under the finger and hits a target (the score rises),
//      the pad's L charges the shot and R with it lets go, and the won level
//      writes the score log, which is there after a reload.
// At every step: no error in the console, no request outside the server. The
// about line names the versions; the download is under 8 MB as served.
// It prints the figures (download size, page load to the first logo frame,
// from the network and from the offline copy, level-1 frame intervals on the
// desktop and on the phone); the pacing is reported, not judged, since it is
// wall-clock time on a shared machine.
//
// Usage: node browser_test.mjs <web build folder> <native run folder>
//          [--screenshot file.png] [--frames N] [--phone-screenshots folder]
// Exit status: 0 pass, 1 fail, 77 skipped (no Chromium or no web build).
import { spawnSync } from 'node:child_process';
import crypto from 'node:crypto';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';

import { CHROMIUM, PROJECT, TARGET, firstLogoFrame, frameFigures, launchChromium, levelGaps, parsePresents, sleep, waitStill,
         startServer, stopServer } from './harness.mjs';
import { readBmp, matchFraction, logoProblem, menuProblem, regionOf, sameRegion, spriteOf, level1View } from './pictures.mjs';

const SKIP = 77;
// The page is 1280 wide and tall enough for the game's 640x480 canvas shown
// at twice its size under the page's bar: a whole multiple, crisp.
const VIEWPORT = { width: 1280, height: 1000 };
const SHOWN = { width: 1280, height: 960 };
const MAX_DOWNLOAD = 8e6;  // bytes, compressed, program and data together

function log(...parts) {
  console.log(...parts);
}

function args() {
  const argv = process.argv.slice(2);
  const out = { positional: [], screenshot: null, frames: 600, phoneShots: null, touchSeconds: 20, touchFrames: 300 };
  for (let i = 0; i < argv.length; i++) {
    if (argv[i] === '--screenshot') out.screenshot = argv[++i];
    else if (argv[i] === '--frames') out.frames = Number(argv[++i]);
    else if (argv[i] === '--phone-screenshots') out.phoneShots = argv[++i];
    else out.positional.push(argv[i]);
  }
  return out;
}

// The site make_page.py makes in a web build folder.
function siteOf(webFolder) {
  return path.join(webFolder, 'site');
}

// One answer of a server: status, headers and body (a string).
function httpGet(origin, pathname, headers = {}) {
  return new Promise((resolve, reject) => {
    const request = http.get(origin + pathname, { headers }, (response) => {
      let body = '';
      response.setEncoding('latin1');
      response.on('data', (chunk) => { body += chunk; });
      response.on('end', () => resolve({ status: response.statusCode, headers: response.headers, body }));
    });
    request.on('error', reject);
  });
}

// What the test server gives that it should not, in a folder of the test's
// own: a folder listing, a file through a link out of the folder, a
// compressed copy to a browser that refuses it (and not the better one to
// one that takes both), anything to a request for another host.
async function serverProblems() {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'valmoren-served-'));
  const problems = [];
  try {
    fs.writeFileSync(path.join(folder, 'index.html'), '<!DOCTYPE html><title>page</title>');
    fs.writeFileSync(path.join(folder, 'index.html.gz'), Buffer.from('not a real gzip copy'));
    fs.writeFileSync(path.join(folder, 'index.html.br'), Buffer.from('not a real Brotli copy'));
    fs.mkdirSync(path.join(folder, 'inside'));
    fs.writeFileSync(path.join(folder, 'inside', 'file.txt'), 'inside');
    fs.symlinkSync(path.join(PROJECT, 'README.md'), path.join(folder, 'outside.md'));
    fs.symlinkSync(PROJECT, path.join(folder, 'project'));
    const { server, origin } = await startServer(folder);
    try {
      const port = new URL(origin).port;
      const listing = await httpGet(origin, '/inside/');
      if (listing.status !== 404) problems.push(`a folder is listed (status ${listing.status})`);
      for (const out of ['/outside.md', '/project/README.md']) {
        const got = await httpGet(origin, out);
        if (got.status !== 404) problems.push(`${out}, a link out of the folder, is served (status ${got.status})`);
      }
      const refused = await httpGet(origin, '/', { 'Accept-Encoding': 'gzip;q=0, identity' });
      if (refused.status !== 200 || refused.headers['content-encoding']) {
        problems.push(`"gzip;q=0" is answered with status ${refused.status}, encoding ${refused.headers['content-encoding']}`);
      }
      for (const [accepted, coding] of [['gzip', 'gzip'], ['gzip, deflate, br', 'br'], ['br;q=0, gzip', 'gzip']]) {
        const packed = await httpGet(origin, '/', { 'Accept-Encoding': accepted });
        if (packed.headers['content-encoding'] !== coding) {
          problems.push(`"${accepted}" gets ${packed.headers['content-encoding']}, not the ${coding} copy`);
        }
      }
      for (const host of [`valmoren.example:${port}`, 'example.com']) {
        const other = await httpGet(origin, '/', { Host: host });
        if (other.status < 400) problems.push(`a request for the host ${host} is answered (status ${other.status})`);
      }
      const own = await httpGet(origin, '/', { Host: `localhost:${port}` });
      if (own.status !== 200) problems.push(`a request for localhost is refused (status ${own.status})`);
    } finally {
      await stopServer(server);
    }
  } finally {
    fs.rmSync(folder, { recursive: true, force: true });
  }
  return problems.map((p) => `the test server: ${p}`);
}

// The program's parts as the site names them (name.<hash>.ext): its script,
// its WebAssembly and its data packs (valmoren-<pack>.<hash>.data).
const PROGRAM_PART = /\/valmoren(?:-[a-z0-9-]+)?\.[0-9a-f]{16}\.(js|wasm|data)$/;

class Session {
  constructor(browser, page, origin) {
    this.browser = browser;
    this.origin = origin;
    this.problems = [];      // console errors, page errors, stray or failed requests
    this.downloads = {};     // bytes on the wire of each program file, by its served name
    this.attach(page);
  }

  // Follows a page (the session's pages share their problems) and makes it
  // the one the session plays on.
  attach(page) {
    const origin = this.origin;
    this.page = page;
    page.on('console', (m) => {
      if (m.type() === 'error') this.problems.push(`console error: ${m.text()}`);
    });
    page.on('pageerror', (e) => this.problems.push(`page error: ${e.message}`));
    page.on('request', (r) => {
      const url = r.url();
      if (!url.startsWith(origin + '/') && !url.startsWith('data:') && !url.startsWith('blob:')) {
        this.problems.push(`request outside the server: ${url}`);
      }
    });
    page.on('requestfailed', (r) => this.problems.push(`request failed: ${r.url()} ${r.failure()?.errorText}`));
    page.on('requestfinished', (r) => {
      const part = new URL(r.url()).pathname.match(PROGRAM_PART);
      const length = Number(r.response()?.headers()['content-length']);
      if (part && length > 0) this.downloads[path.basename(new URL(r.url()).pathname)] = length;
    });
  }

  // Loads the page with the frame log on (or reloads it, or neither) and
  // starts the game with "Click to play", clicked or tapped. Returns the
  // page's clock (ms since the load began) at the start.
  async startGame(how = 'goto', touch = false) {
    if (how === 'reload') await this.page.reload({ waitUntil: 'load' });
    else if (how === 'goto') await this.page.goto(`${this.origin}/?frame-log`, { waitUntil: 'load' });
    await this.page.waitForSelector('#start:not([disabled])', { visible: true, timeout: 30000 });
    const clicked = await this.page.evaluate(() => performance.now());
    if (touch) await this.tap('#start');
    else await this.page.click('#start');
    await this.gameUp();
    return clicked;
  }

  async gameUp(seconds = 30) {
    await this.page.waitForFunction(() => window.valmorenGame, { timeout: seconds * 1000 });
  }

  // Problems of the session from here on that `expected` takes for the
  // step's own doing are dropped.
  expect(since, expected) {
    this.problems = this.problems.filter((p, i) => i < since || !expected.test(p));
  }

  // The canvas's picture brought back to the game's 640x480 pixels.
  async shot() {
    const data = await this.page.evaluate((w, h) => {
      const canvas = document.getElementById('canvas');
      if (!canvas || canvas.width === 0) return null;
      const small = document.createElement('canvas');
      small.width = w;
      small.height = h;
      const ctx = small.getContext('2d');
      ctx.imageSmoothingEnabled = false;
      ctx.drawImage(canvas, 0, 0, w, h);
      const rgba = ctx.getImageData(0, 0, w, h).data;
      const rgb = new Uint8Array(w * h * 3);
      for (let i = 0, j = 0; i < rgba.length; i += 4, j += 3) {
        rgb[j] = rgba[i];
        rgb[j + 1] = rgba[i + 1];
        rgb[j + 2] = rgba[i + 2];
      }
      let s = '';
      for (let i = 0; i < rgb.length; i += 0x8000) s += String.fromCharCode.apply(null, rgb.subarray(i, i + 0x8000));
      return btoa(s);
    }, 640, 480);
    if (!data) return null;
    const bytes = Buffer.from(data, 'base64');
    return { w: 640, h: 480, pixel: (x, y) => { const i = (y * 640 + x) * 3; return [bytes[i], bytes[i + 1], bytes[i + 2]]; } };
  }

  // Shots until one passes `check` (returns null when it does) or the time
  // runs out; gives the last problem seen, or null.
  async poll(check, seconds) {
    const until = Date.now() + seconds * 1000;
    let problem = 'no shot taken';
    for (;;) {
      problem = check(await this.shot());
      if (problem === null || Date.now() > until) return problem;
      await sleep(200);
    }
  }

  // Holds a key long enough for a frame that waits on key presses to see it.
  async press(key) {
    await this.page.keyboard.down(key);
    await sleep(200);
    await this.page.keyboard.up(key);
    await sleep(200);
  }

  // The program's frame log: [present time (s since the page began loading),
  // corner pixel, centre pixel, ends a level frame].
  async presents() {
    return parsePresents(await this.programFile('/tmp/frames.log'));
  }

  // Waits until no page has been shown for `still` seconds, as on a screen
  // that waits for a key; false when that does not happen in time.
  async waitStill(still = 0.7, seconds = 20) {
    return waitStill(async () => (await this.presents()).length, still, seconds);
  }


  // Touch: a finger on the middle of what `selector` finds, held for `ms`
  // and lifted.
  async tap(selector, ms = 200) {
    const at = await this.middleOf(selector);
    if (!at) throw new Error(`nothing to touch at ${selector}`);
    await this.tapAt(at.x, at.y, ms);
  }

  async tapAt(x, y, ms = 200) {
    const finger = await this.page.touchscreen.touchStart(x, y);
    await sleep(ms);
    await finger.end();
    await sleep(200);
  }

  // A finger put on the pad's button of that name and left there; end() lifts it.
  async holdPad(label) {
    const at = await this.middleOf(padButton(label));
    if (!at) throw new Error(`no pad button ${label}`);
    return this.page.touchscreen.touchStart(at.x, at.y);
  }

  async tapPad(label) {
    await this.tap(padButton(label));
  }

  async middleOf(selector) {
    return this.page.evaluate((sel) => {
      const e = document.querySelector(sel);
      const r = e && e.getBoundingClientRect();
      return r && r.width > 0 ? { x: r.left + r.width / 2, y: r.top + r.height / 2 } : null;
    }, selector);
  }

  // A file of the program's own file system, or '' when there is none.
  async programFile(name) {
    return this.page.evaluate((file) => {
      try {
        return window.valmorenGame.FS.readFile(file, { encoding: 'utf8' });
      } catch (e) {
        return '';
      }
    }, name);
  }

  // The notice's text, or null when it says nothing.
  async notice() {
    return this.page.evaluate(() => document.getElementById('notice-text').textContent || null);
  }

  async waitNotice(text, seconds = 10) {
    await this.page.waitForFunction((t) => document.getElementById('notice-text').textContent === t,
                                    { timeout: seconds * 1000 }, text).catch(() => {});
    return this.notice();
  }
}

// Taps "Click to play" (on the page as it is, or reloaded) and looks for
// `check` (the logo, by default) on the canvas: what is wrong, or null.
async function playProblem(s, pictures, how = 'none', check = null, seconds = 20) {
  try {
    await s.startGame(how, true);
  } catch (e) {
    return `the game did not start (${e.message.split('\n')[0]}; the page says ${JSON.stringify(await s.notice())})`;
  }
  return s.poll(check || ((shot) => logoProblem(shot, pictures.logo3)), seconds);
}

// Runs `body` with the page's requests going to `answer`, which takes the
// requests it answers or holds itself (true) and leaves the rest to go on.
async function withRequests(page, answer, body) {
  const handle = (r) => {
    if (!answer(r)) r.continue().catch(() => {});
  };
  await page.setRequestInterception(true);
  page.on('request', handle);
  try {
    return await body();
  } finally {
    page.off('request', handle);
    await page.setRequestInterception(false);
  }
}

// A request for one of the program's parts (js, wasm or data).
function programPart(r, kind) {
  const part = new URL(r.url()).pathname.match(PROGRAM_PART);
  return !!part && part[1] === kind;
}

const MUSIC_VALUE = { x: 336, y: 304, w: 40, h: 16 };  // the options screen's Music value
const EXIT_ROW = 400;

// From the menu: Options; the Music value's pixels, or null (a failure said).
async function openOptions(s, pictures, failures, when) {
  const menu = await s.poll((shot) => menuProblem(shot, pictures), 25);
  if (menu) {
    failures.push(`${when}: menu: ${menu}`);
    return null;
  }
  await s.press('ArrowDown');
  await s.press('Enter');
  // The options screen: the ball beside the Music row, the second background.
  const problem = await s.poll((shot) => (shot && matchFraction(shot, pictures.ball, 200, 300) >= 0.98 ? null
    : 'no ball beside the Music row'), 10);
  if (problem) {
    failures.push(`${when}: options screen: ${problem}`);
    return null;
  }
  return regionOf(await s.shot(), MUSIC_VALUE);
}

// From the options screen: Save and Exit, back at the menu; from the menu:
// Exit, the page's notice.
async function saveOptions(s, pictures, failures, when) {
  for (let i = 0; i < 3; i++) await s.press('ArrowDown');
  await s.press('Enter');
  const problem = await s.poll((shot) => menuProblem(shot, pictures), 10);
  if (problem) failures.push(`${when}: after Save and Exit: ${problem}`);
  return !problem;
}

async function exitGame(s) {
  for (let i = 0; i < 3; i++) await s.press('ArrowDown');
  await s.press('Enter');
  return s.waitNotice('The game has ended.');
}

// The page's Content-Security-Policy: scripts from the page's own origin
// and WebAssembly only; neither a script written into the page nor a text
// given as code runs (the browser reports both as violations).
async function policyProblems(s) {
  const since = s.problems.length;
  const found = await s.page.evaluate(async () => {
    const meta = document.querySelector('meta[http-equiv="Content-Security-Policy"]');
    const refused = [];
    const seen = (e) => refused.push(e.violatedDirective);
    document.addEventListener('securitypolicyviolation', seen);
    const written = document.createElement('script');
    written.textContent = 'window.valmorenWritten = true;';
    document.head.appendChild(written);
    written.remove();
    try {
      setTimeout('window.valmorenEvaluated = true;', 0);
    } catch (e) {
      // Refused at once.
    }
    await new Promise((resolve) => setTimeout(resolve, 300));
    document.removeEventListener('securitypolicyviolation', seen);
    return { policy: meta ? meta.content : '', ran: [window.valmorenWritten, window.valmorenEvaluated], refused };
  });
  s.expect(since, /Content Security Policy|Refused to|unsafe-eval|unsafe-inline/);
  const script = (found.policy.match(/(?:^|;)\s*script-src\s+([^;]*)/) || [])[1];
  const problems = [];
  if (!script || script.trim().split(/\s+/).sort().join(' ') !== "'self' 'wasm-unsafe-eval'") {
    problems.push(`the page's script policy is ${JSON.stringify(script || found.policy || 'none')}`);
  }
  if (!/(?:^|;)\s*default-src\s+'self'\s*(;|$)/.test(found.policy)) problems.push('the page allows other origins by default');
  if (found.ran[0] || found.ran[1] || found.refused.length < 2) {
    problems.push(`a script written into the page ${found.ran[0] ? 'ran' : 'did not run'}, a text given as code ` +
                  `${found.ran[1] ? 'ran' : 'did not run'} (violations seen: ${found.refused.join(', ') || 'none'})`);
  }
  return problems;
}

// Tab from the game's picture reaches "Full screen", whose focus shows, and
// Shift+Tab comes back to the picture.
async function tabProblem(s) {
  const focus = () => s.page.evaluate(() => {
    const e = document.activeElement;
    const style = getComputedStyle(e);
    return { id: e.id, shown: style.outlineStyle !== 'none' && parseFloat(style.outlineWidth) >= 2 };
  });
  await s.press('Tab');
  const there = await focus();
  await s.page.keyboard.down('Shift');
  await s.press('Tab');
  await s.page.keyboard.up('Shift');
  const back = await focus();
  if (there.id !== 'full-screen') return `Tab from the game leads to "${there.id}", not "Full screen"`;
  if (!there.shown) return 'the focus on "Full screen" does not show';
  if (back.id !== 'canvas') return `Shift+Tab from "Full screen" leads to "${back.id}", not the game`;
  return null;
}

// The page's notice is a live region, there before the end of the game, so
// that a screen reader says what the page says.
async function liveRegion(s) {
  return s.page.evaluate(() => {
    const text = document.getElementById('notice-text');
    const live = text.closest('[aria-live]:not([aria-live="off"]), [role="status"], [role="alert"]');
    return !!live && live.checkVisibility();
  });
}

async function run(s, pictures, opts, figures) {
  const failures = [];

  // 1. The logo on white, then the menu; Exit ends the program.
  const clicked = await s.startGame();
  // The about line names what the program was built with, as make_page.py found it.
  const about = await s.page.evaluate(() => document.getElementById('about').textContent);
  const named = ['Valmoren ', 'emscripten ', 'SDL2 ', 'libogg ', 'libvorbis '].every((n) => about.includes(n));
  if (!named || /unknown|@ABOUT@/.test(about)) failures.push(`the about line is ${JSON.stringify(about)}`);
  // The links beside it carry what the GPL and the libraries' licences ask to go with
  // the program: the game's licence, the libraries' notices, the source.
  const carried = await s.page.evaluate(async () => Promise.all(
    Array.from(document.querySelectorAll('#legal a')).map(async (a) => {
      const r = await fetch(a.href);
      const bytes = new Uint8Array(await r.arrayBuffer());
      return { text: a.textContent, ok: r.ok, head: Array.from(bytes.slice(0, 2)),
               body: new TextDecoder().decode(bytes.slice(0, 200000)) };
    })));
  const link = (name) => carried.find((c) => c.text.startsWith(name)) || { ok: false, body: '', head: [] };
  if (!link('Licence').ok || !link('Licence').body.includes('GNU GENERAL PUBLIC LICENSE')) {
    failures.push('the bottom line\'s Licence link does not lead to the GPL');
  }
  const listed = ['SDL2', 'libogg', 'libvorbis', 'zlib', 'emscripten'].filter((n) => !link('Third-party').body.includes(n));
  if (!link('Third-party').ok || listed.length) failures.push(`THIRD-PARTY.txt from the page does not name ${listed.join(', ')}`);
  if (!link('Source').ok || link('Source').head.join() !== '31,139') failures.push('the page\'s Source link is no gzip archive');
  let problem = await s.poll((shot) => logoProblem(shot, pictures.logo3), 15);
  if (problem) failures.push(`logo screen: ${problem}`);
  const pad = await s.page.evaluate(() => document.getElementById('pad').checkVisibility());
  if (pad) failures.push('on a desktop, with no touch, the on-screen pad shows');
  const focused = await s.page.evaluate(() => document.activeElement && document.activeElement.id);
  if (focused !== 'canvas') failures.push(`after the click the keyboard is on "${focused}", not the canvas`);
  const size = await s.page.evaluate(() => {
    const c = document.getElementById('canvas');
    const box = c.getBoundingClientRect();
    return { w: c.width, h: c.height, shownW: box.width, shownH: box.height,
             centred: Math.abs(box.left + box.width / 2 - window.innerWidth / 2) <= 1 };
  });
  if (size.w !== 640 || size.h !== 480) failures.push(`the canvas holds ${size.w}x${size.h} pixels, not the game's 640x480`);
  if (size.shownW !== SHOWN.width || size.shownH !== SHOWN.height || !size.centred) {
    failures.push(`in a ${VIEWPORT.width}x${VIEWPORT.height} page the canvas shows at ${size.shownW}x${size.shownH}` +
                  `${size.centred ? '' : ', not centred'}, not at ${SHOWN.width}x${SHOWN.height}`);
  }
  const logoAt = firstLogoFrame(await s.presents());
  if (logoAt !== null) {
    figures.loadToLogo = logoAt;
    figures.clickToLogo = logoAt - clicked / 1000;
  }
  problem = await s.poll((shot) => menuProblem(shot, pictures), 25);
  if (problem) {
    failures.push(`menu: ${problem}`);
    return failures;
  }
  if (opts.screenshot) await s.page.screenshot({ path: opts.screenshot });
  failures.push(...await policyProblems(s));
  const name = await s.page.evaluate(() => {
    const c = document.getElementById('canvas');
    return c.getAttribute('aria-label') || c.getAttribute('aria-labelledby') || c.title || '';
  });
  const node = await s.page.accessibility.snapshot({ root: await s.page.$('#canvas'), interestingOnly: false });
  if (!name || !node || !node.name) failures.push(`the game's canvas has no accessible name (${JSON.stringify(node)})`);
  problem = await tabProblem(s);
  if (problem) failures.push(problem);

  // The page keeps the game's keys to the game.
  await s.page.evaluate(() => {
    window.valmorenKeysSeen = [];
    window.addEventListener('keydown', (e) => window.valmorenKeysSeen.push([e.code, e.defaultPrevented]));
  });
  for (let i = 0; i < 3; i++) await s.press('ArrowDown');
  problem = await s.poll((shot) => menuProblem(shot, pictures, EXIT_ROW), 5);
  if (problem) failures.push(`after Down three times: ${problem}`);
  // Only what changed goes to the canvas: after the ball's moves it still
  // shows the program's page exactly.
  const unlike = await s.page.evaluate(() => {
    const game = window.valmorenGame;
    const shown = document.getElementById('canvas').getContext('2d').getImageData(0, 0, 640, 480).data;
    const page = new Uint32Array(game.HEAPU8.buffer, game._valmoren_web_visible_page(), 640 * 480);
    let count = 0, first = null;
    for (let i = 0; i < page.length; i++) {
      const p = page[i];
      if (shown[4 * i] !== (p >> 16 & 255) || shown[4 * i + 1] !== (p >> 8 & 255) || shown[4 * i + 2] !== (p & 255)) {
        count++;
        first ??= [i % 640, Math.floor(i / 640)];
      }
    }
    return { count, first };
  });
  if (unlike.count) failures.push(`the canvas differs from the game's page in ${unlike.count} pixels, first at ${unlike.first}`);
  await s.press('Space');
  const keys = await s.page.evaluate(() => window.valmorenKeysSeen);
  const loose = keys.filter(([, prevented]) => !prevented).map(([code]) => code);
  if (keys.length < 4 || loose.length > 0) failures.push(`keys the page acted on: ${loose.join(', ') || 'none seen'}`);
  const live = await liveRegion(s);
  await s.press('Enter');
  const ended = await s.waitNotice('The game has ended.');
  if (ended !== 'The game has ended.') failures.push(`after Exit the page says ${JSON.stringify(ended)}`);
  if (!live) failures.push('the page\'s notice is not a live region that a screen reader follows');
  const again = await s.page.evaluate(() => {
    const b = document.getElementById('again');
    return b.checkVisibility() && document.activeElement === b && !document.getElementById('canvas');
  });
  if (!again) {
    failures.push('after Exit the page does not offer to play again (a shown, focused "Play again")');
  } else {
    // Playing again starts a fresh program on a fresh canvas, also in a
    // browser without IndexedDB, which forgets the player's files.
    await s.page.evaluate(() => Object.defineProperty(window, 'indexedDB', { value: undefined, configurable: true }));
    await s.page.click('#again');
    problem = await s.poll((shot) => logoProblem(shot, pictures.logo3), 15);
    if (problem) failures.push(`after "Play again" without IndexedDB: ${problem} (the page says ${JSON.stringify(await s.notice())})`);
  }
  if (!(await s.page.evaluate(() => window.valmorenLastingAsked))) failures.push('the page did not ask for lasting storage');

  // 2. Settings kept across reloads and tabs.
  await s.startGame('reload');
  const before = await openOptions(s, pictures, failures, 'first visit');
  if (!before) return failures;
  await s.press('Enter');  // Music: ON becomes OFF
  await sleep(300);
  const changed = regionOf(await s.shot(), MUSIC_VALUE);
  if (sameRegion(before, changed)) {
    failures.push('Enter on the Music row did not change the value shown');
    return failures;
  }
  if (!(await saveOptions(s, pictures, failures, 'the first visit'))) return failures;
  await sleep(500);
  // A second tab while the first one's game runs: it says so, and plays
  // only once the first is closed, with the settings the first one saved.
  const first = s.page;
  const second = await s.browser.newPage();
  await second.evaluateOnNewDocument(pageStandIns);
  await second.setViewport(VIEWPORT);
  s.attach(second);
  await second.goto(`${s.origin}/?frame-log`, { waitUntil: 'load' });
  const busy = await s.waitNotice('Valmoren is already open in another tab.');
  const offer = await second.evaluate(() => document.getElementById('play-here').checkVisibility() &&
                                             !document.getElementById('start').checkVisibility());
  if (busy !== 'Valmoren is already open in another tab.' || !offer) {
    failures.push(`a second tab says ${JSON.stringify(busy)}${offer ? '' : ', without a "Play here" in place of "Click to play"'}`);
  } else {
    await second.click('#play-here');
    await sleep(2000);
    if (await second.evaluate(() => !!document.getElementById('canvas'))) failures.push('"Play here" played while the first tab\'s game ran');
  }
  await first.close();
  await second.bringToFront();
  try {
    await s.gameUp();
  } catch (e) {
    return [...failures, `with the first tab closed the second one does not play (${JSON.stringify(await s.notice())})`];
  }
  const kept = await openOptions(s, pictures, failures, 'in the second tab');
  if (!kept) return failures;
  if (!sameRegion(kept, changed)) failures.push('in the second tab the options screen does not show the saved Music value');

  // A start whose reading of the stored files fails plays on with the
  // defaults, and its save leaves what is stored alone.
  if (!(await saveOptions(s, pictures, failures, 'the second tab'))) return failures;
  if ((await exitGame(s)) !== 'The game has ended.') return [...failures, 'Exit in the second tab did not end the game'];
  await second.evaluate(() => {
    const open = IDBFactory.prototype.open;
    let failing = 1;
    IDBFactory.prototype.open = function (...args) {
      if (failing-- > 0) throw new DOMException('the test fails this read', 'UnknownError');
      return open.apply(this, args);
    };
  });
  await second.click('#again');
  const unread = await openOptions(s, pictures, failures, 'after a failed read');
  if (!unread) return failures;
  if (!sameRegion(unread, before)) failures.push('after a failed read the options screen does not show the default Music value');
  if (!(await saveOptions(s, pictures, failures, 'after a failed read'))) return failures;
  await sleep(800);
  await s.startGame('reload');
  const stored = await openOptions(s, pictures, failures, 'after a failed read and a reload');
  if (!stored) return failures;
  if (!sameRegion(stored, changed)) failures.push('a save after a failed read overwrote the stored settings');
  // Music back on for the level (Save and Exit again).
  await s.press('Enter');
  await sleep(300);
  if (!sameRegion(regionOf(await s.shot(), MUSIC_VALUE), before)) failures.push('Enter on the Music row did not bring the first value back');
  if (!(await saveOptions(s, pictures, failures, 'saving again'))) return failures;

  // 3. Level 1, its frame intervals.
  await s.press('Enter');  // Start
  for (let slide = 0; slide < 2; slide++) {
    if (!(await s.waitStill())) failures.push(`story slide ${slide + 1} did not wait for a key`);
    await s.press('Enter');
  }
  const until = Date.now() + 90000;
  let gaps = [];
  while (Date.now() < until) {
    gaps = levelGaps(await s.presents(), opts.frames);
    if (gaps.length >= opts.frames) break;
    await sleep(1000);
  }
  if (gaps.length < opts.frames) {
    failures.push(`level 1 showed ${gaps.length} level frames in a row, not ${opts.frames}`);
  } else {
    figures.frames = frameFigures(gaps);
  }
  // F12 during the level: the browser downloads the canvas as a 640x480 PNG.
  const download = await screenshotProblem(s);
  if (download) failures.push(`F12: ${download}`);
  const gamepad = await gamepadProblem(s);
  if (gamepad) failures.push(gamepad);
  return failures;
}

// Presses F12 with downloads going to a folder of the test's own; a problem,
// or null when one valmoren_<date>_<time>.png of 640x480 arrives.
async function screenshotProblem(s) {
  return downloadProblem(s, () => s.press('F12'), 'png', (name, bytes) => {
    const signature = bytes.subarray(0, 8).toString('hex') === '89504e470d0a1a0a';
    if (!signature || bytes.length < 24) return `${name} is not a PNG`;
    const w = bytes.readUInt32BE(16), h = bytes.readUInt32BE(20);
    if (w !== 640 || h !== 480) return `${name} is ${w}x${h}, not 640x480`;
    return null;
  });
}

// Does `act` with downloads going to a folder of the test's own: a problem,
// or what `check` finds of the one valmoren_<date>_<time>.<suffix> that
// arrives (its name and path).
async function downloadProblem(s, act, suffix, check) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'valmoren-downloads-'));
  try {
    const cdp = await s.browser.target().createCDPSession();
    await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: folder });
    await act();
    const until = Date.now() + 10000;
    let names = [];
    while (Date.now() < until) {
      names = fs.readdirSync(folder);
      if (names.length && names.every((n) => n.endsWith('.' + suffix))) break;
      await sleep(200);
    }
    if (names.length !== 1) return `${names.length} files downloaded (${names.join(', ')}), not one`;
    if (!new RegExp(`^valmoren_\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d\\.${suffix}$`).test(names[0])) {
      return `downloaded as "${names[0]}"`;
    }
    const file = path.join(folder, names[0]);
    return check(names[0], fs.readFileSync(file), file);
  } finally {
    fs.rmSync(folder, { recursive: true, force: true });
  }
}

// ---- Recorded games ----

// A recording's score and state digest, from its trailer (as the program
// prints them).
function recordedEnd(bytes) {
  const at = bytes.length - 4 - 41;
  return `score ${bytes.readBigInt64LE(at + 16)}, state ${bytes.readBigUInt64LE(at + 24).toString(16).padStart(16, '0')}`;
}

// The program checks `bytes` with --check, no window, in the page: its
// status and what it printed. Its data comes as the page's does, each pack
// fetched only when the game first waits for one of its files, so that the
// check, which never hands the browser a turn otherwise, waits for each.
async function checkInPage(s, bytes) {
  return s.page.evaluate(async (data) => {
    const parts = JSON.parse(document.querySelector('meta[name="valmoren-files"]').content);
    const packOf = {};
    for (const pack of JSON.parse(document.querySelector('meta[name="valmoren-data"]').content)) {
      for (const file of pack.files) packOf[file[0]] = pack;
    }
    const lines = [];
    let program = null;
    const arrived = new Set();
    return new Promise((resolve) => {
      const fail = (e) => resolve({ status: null, lines: [...lines, String(e)] });
      Valmoren({
        canvas: document.createElement('canvas'),
        arguments: ['--check', '/tmp/check.vrec'],
        locateFile: (name, prefix) => parts[name] || prefix + name,
        valmorenData: {
          coming: (name) => !!packOf[name] && !arrived.has(packOf[name]),
          whenHere: (name, done) => {
            const pack = packOf[name];
            fetch(pack.name).then((r) => r.arrayBuffer()).then((buffer) => {
              let at = 0;
              for (const [file, size] of pack.files) {
                const where = '/data/' + file;
                program.FS.mkdirTree(where.slice(0, where.lastIndexOf('/')));
                program.FS.writeFile(where, new Uint8Array(buffer, at, size));
                at += size;
              }
              arrived.add(pack);
              done();
            }, fail);
          },
        },
        print: (text) => lines.push(text),
        printErr: (text) => lines.push(text),
        preRun: [(module) => {
          program = module;
          module.FS.mkdirTree('/tmp');
          module.FS.writeFile('/tmp/check.vrec', Uint8Array.from(atob(data), (c) => c.charCodeAt(0)));
        }],
        onExit: (status) => resolve({ status, lines }),
      }).catch(fail);
    });
  }, bytes.toString('base64'));
}

// From level 1 (where run() leaves it): the game left by Esc and Y, then
// Exit; the page offers the game's recording, which downloads and which the
// Linux program checks as recorded. Each stored recording (made by the Linux
// program under Xvfb) checked by the browser build to its score and digest;
// one played in the canvas through "Play a recording" to the end, as
// recorded; a damaged one dropped onto the page refused in one line.
async function recordingProblems(s, runFolder) {
  const failures = [];
  const count = (await s.presents()).length;
  await s.press('Escape');
  if (!(await questionUp(s, count))) return ['recordings: Esc in level 1 did not bring up the exit question'];
  await s.press('KeyY');
  if ((await exitGame(s)) !== 'The game has ended.') return ['recordings: the game did not end by the menu\'s Exit'];
  await s.page.waitForSelector('#download-recording', { visible: true, timeout: 5000 }).catch(() => {});
  const problem = await downloadProblem(s, () => s.page.click('#download-recording'), 'vrec', (name, bytes, file) => {
    const env = { ...process.env, SDL_AUDIODRIVER: 'nosuchdriver' };
    delete env.DISPLAY;
    const done = spawnSync('./valmoren', ['--check', file], { cwd: runFolder, env, encoding: 'utf8', timeout: 60000 });
    const said = `${recordedEnd(bytes)}: as recorded`;
    if (done.status !== 0 || done.stdout.trim() !== said) {
      return `the Linux program's check of ${name} ends with status ${done.status}: ${(done.stdout + done.stderr).trim()}`;
    }
    return null;
  });
  if (problem) failures.push(`the last game's recording: ${problem}`);

  const folder = path.join(PROJECT, 'tests', 'replays');
  const stored = fs.readdirSync(folder).filter((n) => n.endsWith('.vrec')).sort();
  if (!stored.length) failures.push(`no recordings in ${folder}`);
  for (const name of stored) {
    const bytes = fs.readFileSync(path.join(folder, name));
    const { status, lines } = await checkInPage(s, bytes);
    const said = `${recordedEnd(bytes)}: as recorded`;
    if (status !== 0 || lines.join('\n') !== said) {
      failures.push(`${name} checked in the browser: status ${status}, ${JSON.stringify(lines)}, not 0 with "${said}"`);
    }
  }

  if (stored.length) {
    const shortest = stored.map((n) => path.join(folder, n)).sort((a, b) => fs.statSync(a).size - fs.statSync(b).size)[0];
    const name = path.basename(shortest);
    const [chooser] = await Promise.all([s.page.waitForFileChooser({ timeout: 5000 }), s.page.click('#play-recording')]);
    await chooser.accept([shortest]);
    const ending = `The playback of "${name}" has ended: ${recordedEnd(fs.readFileSync(shortest))}: as recorded.`;
    const shown = await s.page.waitForFunction(() => !!document.getElementById('canvas'), { timeout: 10000 }).then(() => true, () => false);
    const said = await s.waitNotice(ending, 120);
    if (!shown || said !== ending) {
      failures.push(`${name} played on the page: ${shown ? '' : 'no canvas shown; '}the page says ${JSON.stringify(said)}, not ${JSON.stringify(ending)}`);
    }
    const damaged = Buffer.from(fs.readFileSync(shortest));
    damaged[damaged.length >> 1] ^= 0x40;
    await s.page.evaluate((data) => {
      const dt = new DataTransfer();
      dt.items.add(new File([Uint8Array.from(atob(data), (c) => c.charCodeAt(0))], 'damaged.vrec'));
      document.getElementById('stage').dispatchEvent(new DragEvent('drop', { dataTransfer: dt, bubbles: true, cancelable: true }));
    }, damaged.toString('base64'));
    const refusal = '"damaged.vrec" cannot be played: the recording is damaged (its check sum does not match).';
    const refused = await s.waitNotice(refusal, 20);
    if (refused !== refusal) failures.push(`a damaged recording dropped onto the page: the page says ${JSON.stringify(refused)}`);
  }
  return failures;
}

// ---- A phone: touch alone, offline, installable ----

// A phone in CSS pixels, held sideways; upright it is the other way round.
// Twice as many screen pixels, as on most phones.
const PHONE = { width: 844, height: 390, scale: 2 };
const PAD_LABELS = ['Up', 'Down', 'Left', 'Right', 'Enter', 'Esc', 'Pause', 'Yes', 'No', 'Left mouse button', 'Right mouse button'];
const CONTROLS_VALUE = { x: 336, y: 352, w: 64, h: 16 };  // the options screen's Controls value
const BALL_SIZE = 16;

function padButton(label) {
  return `#pad button[aria-label="${label}"]`;
}

// The phone's screen through the DevTools protocol: its size and pixel
// ratio, sideways or upright, and touch in place of the mouse; 'tablet' is
// a tablet held sideways, exactly 4:3.
const TABLET = { width: 1024, height: 768, scale: 2 };
async function phoneScreen(cdp, held) {
  const upright = held === true || held === 'upright';
  const screen = held === 'tablet' ? TABLET : PHONE;
  await cdp.send('Emulation.setDeviceMetricsOverride', {
    width: upright ? screen.height : screen.width,
    height: upright ? screen.width : screen.height,
    deviceScaleFactor: screen.scale,
    mobile: true,
    screenOrientation: upright ? { type: 'portraitPrimary', angle: 0 } : { type: 'landscapePrimary', angle: 90 },
  });
  await cdp.send('Emulation.setTouchEmulationEnabled', { enabled: true, maxTouchPoints: 5 });
  await sleep(300);
}

// What is wrong with the page's layout on the phone, or null: the canvas as
// large as the screen allows (the page's own rule allows a whole multiple
// down to nine tenths of it); sideways the pad beside it (on a 4:3 tablet,
// where there is no margin, over its lower corners), upright the canvas at
// the top and the pad under it; every control a button named for the
// screen reader, thumb-sized, see-through, on the screen, none over another;
// nothing over the canvas's top line (the status); everything on the page
// inside the screen; the pad's gaps and empty cells take no touch (the
// picture under them does).
async function layoutProblem(s, held) {
  const upright = held === 'upright';
  const l = await s.page.evaluate((labels) => {
    const box = (e) => { const r = e.getBoundingClientRect(); return { x: r.left, y: r.top, w: r.width, h: r.height }; };
    const c = document.getElementById('canvas');
    const buttons = labels.map((label) => {
      const b = document.querySelector(`#pad button[aria-label="${label}"]`);
      const face = b && getComputedStyle(b).backgroundColor.match(/[\d.]+/g).map(Number);
      return b && { label, ...box(b), faceAlpha: face.length > 3 ? face[3] : 1, visible: b.checkVisibility() };
    });
    const full = document.getElementById('full-screen');
    // Everything shown, by its box, and what a finger in a cluster's gaps
    // and empty cells lands on.
    const outside = Array.from(document.body.querySelectorAll('*')).filter((e) => e.checkVisibility()).map((e) => {
      const r = e.getBoundingClientRect();
      return r.width > 0 && (r.left < -1 || r.top < -1 || r.right > innerWidth + 1 || r.bottom > innerHeight + 1)
        ? `${e.tagName.toLowerCase()}${e.id ? '#' + e.id : ''}` : null;
    }).filter((e) => e);
    const caught = [];
    for (const cluster of document.querySelectorAll('#pad-move, #pad-act')) {
      const r = cluster.getBoundingClientRect();
      const keys = Array.from(cluster.querySelectorAll('button')).map((b) => b.getBoundingClientRect());
      for (let y = r.top + 1; y < r.bottom - 1; y += 3) {
        for (let x = r.left + 1; x < r.right - 1; x += 3) {
          if (keys.some((k) => x >= k.left - 1 && x <= k.right + 1 && y >= k.top - 1 && y <= k.bottom + 1)) continue;
          const under = document.elementFromPoint(x, y);
          if (under && under.closest('#pad')) caught.push(`${Math.round(x)},${Math.round(y)}`);
        }
      }
    }
    return { canvas: c && box(c), buttons, full: full && !full.hidden ? box(full) : null,
             w: innerWidth, h: innerHeight, outside, caught };
  }, PAD_LABELS);
  if (!l.canvas) return 'no canvas';
  const best = Math.min(l.w, l.h * 4 / 3);
  if (l.canvas.w < 0.9 * best - 1) return `the canvas shows ${l.canvas.w.toFixed(0)} wide where ${best.toFixed(0)} fits`;
  if (l.outside.length) return `off the screen: ${l.outside.join(', ')}`;
  const statusLine = { x: l.canvas.x, y: l.canvas.y, w: l.canvas.w, h: l.canvas.h * 16 / 480 };
  const meets = (a, b) => a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
  if (upright && l.canvas.y > 1) return `upright, the canvas starts ${l.canvas.y} pixels down`;
  for (const b of l.buttons) {
    if (!b || !b.visible) return `no ${b ? b.label : 'such'} button shows`;
    if (b.w < 48 || b.h < 48) return `the ${b.label} button is ${b.w}x${b.h}, under 48x48`;
    if (!(b.faceAlpha < 1)) return `the ${b.label} button is not see-through`;
    if (meets(b, statusLine)) return `the ${b.label} button covers the status line`;
    if (held !== 'tablet' && meets(b, l.canvas)) return `the ${b.label} button is over the canvas, not ${upright ? 'under' : 'beside'} it`;
  }
  if (!l.full) return 'no full-screen button';
  if (l.full.h < 48 || meets(l.full, statusLine)) return 'the full-screen button is not thumb-sized beside the status line';
  const controls = [...l.buttons, { label: 'Full screen', ...l.full }];
  for (let i = 0; i < controls.length; i++) {
    for (let j = i + 1; j < controls.length; j++) {
      if (meets(controls[i], controls[j])) return `the ${controls[i].label} and ${controls[j].label} buttons overlap`;
    }
  }
  if (l.caught.length) return `the pad takes touches outside its buttons (at ${l.caught.slice(0, 3).join('; ')}...)`;
  return null;
}

// The pad's labels over any picture: each button's label against its face,
// composited over white and over black, resting and held, at least 3:1
// (non-text contrast).
async function contrastProblem(s) {
  const worst = await s.page.evaluate(() => {
    const rgba = (text) => { const v = text.match(/[\d.]+/g).map(Number); return [v[0], v[1], v[2], v.length > 3 ? v[3] : 1]; };
    const over = (top, under) => top.slice(0, 3).map((c, i) => c * top[3] + under[i] * (1 - top[3]));
    const luminance = (rgb) => {
      const [r, g, b] = rgb.map((c) => { c /= 255; return c <= 0.04045 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4; });
      return 0.2126 * r + 0.7152 * g + 0.0722 * b;
    };
    let least = { ratio: Infinity };
    for (const b of document.querySelectorAll('#pad button')) {
      for (const held of [false, true]) {
        const was = b.classList.contains('held');
        b.classList.toggle('held', held);
        const style = getComputedStyle(b);
        const opacity = Number(style.opacity);
        const label = rgba(style.color), face = rgba(style.backgroundColor);
        b.classList.toggle('held', was);
        for (const picture of [[255, 255, 255], [0, 0, 0]]) {
          const faceShown = over([...over(face, picture), opacity], picture);
          const labelShown = over([...over(label, over(face, picture)), opacity], picture);
          const [a, c] = [luminance(faceShown), luminance(labelShown)];
          const ratio = (Math.max(a, c) + 0.05) / (Math.min(a, c) + 0.05);
          if (ratio < least.ratio) least = { ratio, label: b.getAttribute('aria-label'), held, picture: picture[0] ? 'white' : 'black' };
        }
      }
    }
    return least;
  });
  return worst.ratio >= 3 ? null
    : `the pad's ${worst.label} label${worst.held ? ' (held)' : ''} over ${worst.picture} has a contrast of ${worst.ratio.toFixed(2)}:1, under 3:1`;
}

// The page as a player sees it, for the record and for looking at.
async function pageScreenshot(cdp, file, failures) {
  try {
    fs.mkdirSync(path.dirname(file), { recursive: true });
    const shot = await cdp.send('Page.captureScreenshot', { format: 'png' });
    fs.writeFileSync(file, Buffer.from(shot.data, 'base64'));
    log(`screenshot: ${file}`);
  } catch (e) {
    failures.push(`no screenshot ${file}: ${e.message}`);
  }
}

// Where the ball will be when it reaches the plane it flies toward, off the
// top and bottom walls (as the desktop pad test aims).
function arrivalY(x, y, vx, vy) {
  const front = vx < 0 ? 58 + BALL_SIZE / 2 : 590 - BALL_SIZE / 2;
  const t = (front - x) / vx;
  const low = 10 + BALL_SIZE / 2, span = 460 - 10;
  let at = (y + vy * t - low) % (2 * span);
  if (at < 0) at += 2 * span;
  return low + (at <= span ? at : 2 * span - at);
}

// Level 1 with the pad's Up and Down for `seconds`: the plane the ball flies
// toward goes to where the ball will arrive. Returns how often the ball came
// back off a plane, how often it was lost (the get-ready picture), and the
// left plane's lowest and highest middle seen.
async function keepBallInPlay(s, seconds, ball) {
  let finger = null, held = null;
  const hold = async (label) => {
    if (label === held) return;
    if (finger) await finger.end();
    finger = label ? await s.holdPad(label) : null;
    held = label;
  };
  let returns = 0, misses = 0, inOverlay = false, last = null, heading = 0, lastReturn = 0;
  let low = Infinity, high = -Infinity, looks = 0;
  const end = Date.now() + seconds * 1000;
  while (Date.now() < end) {
    const view = await s.page.evaluate(level1View, ball);
    looks++;
    const now = Date.now() / 1000;
    if (!view) break;
    if (view.overlay && !inOverlay) misses++;
    inOverlay = view.overlay;
    if (view.left !== null) {
      low = Math.min(low, view.left);
      high = Math.max(high, view.left);
    }
    if (!view.ball || inOverlay) {
      await hold(null);
      last = null;
      heading = 0;
      await sleep(30);
      continue;
    }
    const x = view.ball[0] + BALL_SIZE / 2, y = view.ball[1] + BALL_SIZE / 2;
    if (last && now - last[2] > 0.01 && x !== last[0]) {
      const vx = (x - last[0]) / (now - last[2]), vy = (y - last[1]) / (now - last[2]);
      const turned = vx < 0 ? -1 : 1;
      // Turned back near a plane, away from it: the plane returned it.
      const near = turned > 0 ? x < 200 : x > 440;
      if (heading === -turned && near && now - lastReturn > 0.5) {
        returns++;
        lastReturn = now;
      }
      heading = turned;
      const plane = vx < 0 ? view.left : view.right;
      const target = arrivalY(x, y, vx, vy);
      let label = null;
      if (plane !== null && Math.abs(plane - target) > 10) {
        // Up takes the left plane up the screen and the right one down.
        label = (plane > target) === (vx < 0) ? 'Up' : 'Down';
      }
      await hold(label);
    }
    last = [x, y, now];
    await sleep(30);  // the page's time is the game's too
  }
  await hold(null);
  return { returns, misses, low, high, looks };
}

// Opens the exit question with the pad's Esc while the ball is far from both
// edges (its horizontal speed is 5 a frame), so that no ball is lost before
// the question shows: whether it showed. "over" instead when the game has run
// out of energy and asks "Game reset?!" (no level frame for longer than the
// get-ready picture's 3 s).
async function openExitQuestion(s, ball) {
  const until = Date.now() + 15000;
  let since = null;
  while (Date.now() < until) {
    const view = await s.page.evaluate(level1View, ball);
    if (view && view.overlay) {
      since = since ?? Date.now();
      if (Date.now() - since > 4000) return 'over';
    } else if (view) {
      since = null;
      if (view.ball && view.ball[0] >= 200 && view.ball[0] <= 440) break;
    }
    await sleep(30);
  }
  const count = (await s.presents()).length;
  await s.tapPad('Esc');
  return questionUp(s, count);
}

function levelFramesSince(entries, count) {
  return entries.slice(count).filter((e) => e[3]).length;
}

// The exit question is up: pages go on being shown, none of them a level frame.
async function questionUp(s, since, seconds = 5) {
  const until = Date.now() + seconds * 1000;
  while (Date.now() < until) {
    const entries = (await s.presents()).slice(since);
    if (entries.length >= 10 && !entries.slice(-10).some((e) => e[3])) return true;
    await sleep(100);
  }
  return false;
}

async function levelGoesOn(s, since, seconds = 5) {
  const until = Date.now() + seconds * 1000;
  while (Date.now() < until) {
    if (levelFramesSince(await s.presents(), since) > 30) return true;
    await sleep(100);
  }
  return false;
}

// The phone's first visit, by index.html, with the game's script held back
// as on a slow network: a tap on "Click to play" the moment it shows either
// starts the game or finds the button disabled (and a tap once it is
// enabled starts it). The menu's pack is held until the game, past its
// logo, waits for it with "Loading..." showing, which goes once it is let
// through (and the menu comes, which phoneRun checks).
async function firstTapProblems(s) {
  const failures = [];
  let menuPack = null;
  const held = (r) => {
    if (/\/valmoren-menu\.[0-9a-f]{16}\.data$/.test(new URL(r.url()).pathname)) return !!(menuPack = r);
    return programPart(r, 'js') && !!setTimeout(() => r.continue().catch(() => {}), 2500);
  };
  const notice = (text) => s.page.waitForFunction((t) => document.getElementById('notice-text').textContent === t &&
                                                          document.getElementById('notice').classList.contains('loading') === !!t,
                                                  { timeout: 30000 }, text).then(() => true, () => false);
  await withRequests(s.page, held, async () => {
    const loading = s.page.goto(`${s.origin}/index.html?frame-log`, { waitUntil: 'load' });
    loading.catch(() => {});
    await s.page.waitForSelector('#start', { visible: true, timeout: 20000 });
    const enabled = await s.page.evaluate(() => !document.getElementById('start').disabled);
    await s.tap('#start', 50);
    await loading;
    if (enabled) await s.gameUp(15).catch(() => failures.push('a tap on "Click to play" as soon as it showed (enabled) did nothing'));
    else await s.startGame('none', true);
    if (!(await notice('Loading\u2026'))) failures.push('with the menu\'s pack held the page does not say "Loading..."');
    if (!menuPack) failures.push('the page did not fetch the menu\'s pack');
    else await menuPack.continue().catch(() => {});
    if (!(await notice(''))) failures.push('"Loading..." stays once the menu\'s pack has come');
  });
  if (new URL(s.page.url()).pathname !== '/') failures.push(`index.html was not redirected to its folder: ${s.page.url()}`);
  return failures;
}

// The phone, with touch alone: "Click to play" tapped; the layout sideways,
// upright and at 4:3 (screenshots of the first two); a pinch does not zoom; the pad through
// the menu to Options, the controls changed to the keyboard and saved, back,
// Start, the story; level 1 played with the pad's D-pad (the ball kept in
// play, the planes moving), its frame intervals with touch on; the exit
// question opened, answered no, opened again and answered yes; Exit.
async function phoneRun(s, cdp, pictures, opts, figures) {
  const failures = [];
  await phoneScreen(cdp, false);
  failures.push(...await firstTapProblems(s));
  if (!(await s.page.evaluate(() => !document.getElementById('pad').hidden))) {
    failures.push('on the phone the pad does not show before the first touch');
  }
  let problem = await s.poll((shot) => menuProblem(shot, pictures), 30);
  if (problem) return [...failures, `phone: menu: ${problem}`];

  for (const held of ['sideways', 'upright', 'tablet']) {
    await phoneScreen(cdp, held);
    problem = await layoutProblem(s, held);
    if (problem) failures.push(`${held === 'tablet' ? 'a tablet held sideways (4:3)' : `phone held ${held}`}: ${problem}`);
    if (opts.phoneShots[held]) await pageScreenshot(cdp, opts.phoneShots[held], failures);
  }
  problem = await contrastProblem(s);
  if (problem) failures.push(problem);
  await phoneScreen(cdp, false);
  // Full screen takes the whole page, the pad with it, and gives it back.
  await s.tap('#full-screen');
  const full = await s.page.evaluate(() => document.fullscreenElement === document.documentElement &&
                                           document.getElementById('pad').checkVisibility());
  if (!full) failures.push('on the phone "Full screen" does not show the whole page with its pad');
  await s.tap('#full-screen');
  if (await s.page.evaluate(() => document.fullscreenElement !== null)) failures.push('"Full screen" again does not leave full screen');
  // Two fingers spread on the canvas: the page does not zoom.
  const middle = await s.middleOf('#canvas');
  await cdp.send('Input.synthesizePinchGesture', { x: middle.x, y: middle.y, scaleFactor: 2.5, gestureSourceType: 'touch' });
  const zoom = await s.page.evaluate(() => window.visualViewport.scale);
  if (zoom !== 1) failures.push(`a pinch zoomed the page to ${zoom}`);

  // A press held on the pad must not select text or open a menu: no menu
  // from a right click on a pad button (No, which the menu ignores) or on
  // the picture either.
  await s.page.evaluate(() => {
    window.valmorenMenus = [];
    window.addEventListener('contextmenu', (e) => window.valmorenMenus.push(e.defaultPrevented));
  });
  for (const target of [padButton('No'), '#canvas']) {
    const at = await s.middleOf(target);
    await s.page.mouse.click(at.x, at.y, { button: 'right' });
  }

  // Options: Controls from the mouse to the keyboard, Save and Exit.
  await s.tapPad('Down');
  await s.tapPad('Enter');
  problem = await s.poll((shot) => (shot && matchFraction(shot, pictures.ball, 200, 300) >= 0.98 ? null
    : 'no ball beside the Music row'), 10);
  if (problem) return [...failures, `phone: the pad's Down and Enter did not open the options: ${problem}`];
  await s.tapPad('Down');
  const mouse = regionOf(await s.shot(), CONTROLS_VALUE);
  await s.tapPad('Enter');
  await sleep(300);
  if (sameRegion(mouse, regionOf(await s.shot(), CONTROLS_VALUE))) failures.push('the pad\'s Enter did not change the controls');
  await s.tapPad('Down');
  await s.tapPad('Down');
  await s.tapPad('Enter');
  problem = await s.poll((shot) => menuProblem(shot, pictures), 10);
  if (problem) return [...failures, `phone: after Save and Exit: ${problem}`];

  // Start, the story, level 1 with the D-pad.
  await s.tapPad('Enter');
  for (let slide = 0; slide < 2; slide++) {
    if (!(await s.waitStill())) failures.push(`phone: story slide ${slide + 1} did not wait for a key`);
    await s.tapPad('Enter');
  }
  // The pause and the exit question first, while the level has all its
  // energy: a ball left alone is lost about once a second of play, and six
  // end the game.
  let count = (await s.presents()).length;
  if (!(await levelGoesOn(s, count, 10))) return [...failures, 'phone: level 1 did not start'];
  // The pause: the game stops showing pages until Enter (Space) goes on.
  await s.tapPad('Pause');
  if (!(await s.waitStill(0.7, 5))) failures.push('the pad\'s Pause did not stop the level');
  count = (await s.presents()).length;
  await s.tapPad('Enter');
  if (!(await levelGoesOn(s, count))) failures.push('the pad\'s Enter did not end the pause');
  // The exit question with the pad: no, then (after the play) yes.
  count = (await s.presents()).length;
  await s.tapPad('Esc');
  if (!(await questionUp(s, count))) return [...failures, 'the pad\'s Esc did not open the exit question'];
  count = (await s.presents()).length;
  await s.tapPad('No');
  if (!(await levelGoesOn(s, count))) failures.push('the pad\'s No did not answer the question (the level did not go on)');

  const play = await keepBallInPlay(s, opts.touchSeconds, spriteOf(pictures.ball));
  log(`level 1 with the on-screen D-pad: ${play.returns} returns off the planes, ${play.misses} balls lost in ` +
      `${opts.touchSeconds} s (${play.looks} looks at the canvas); the left plane between ${play.low} and ${play.high}`);
  // Left alone the ball comes back about once and is lost about five times in 20 s.
  if (play.returns < 3 || play.misses > play.returns) {
    failures.push(`the on-screen D-pad did not keep the ball in play (${play.returns} returns, ${play.misses} lost)`);
  }
  if (!(play.high - play.low >= 60)) failures.push(`the planes hardly moved (${play.low} to ${play.high})`);
  const menus = await s.page.evaluate(() => ({ asked: window.valmorenMenus.length,
                                              opened: window.valmorenMenus.filter((p) => !p).length,
                                              selected: String(window.getSelection()) }));
  if (menus.asked < 2 || menus.opened || menus.selected) {
    failures.push(`of ${menus.asked} menus asked for (two right clicks) ${menus.opened} opened; "${menus.selected}" selected`);
  }

  // The frame intervals with the phone's screen and touch in place, while
  // the test only waits (its reading of the canvas in play takes the page's
  // time from the game). A ball left alone is soon lost, and the get-ready
  // picture then shown over the level is paced as its frames are: both count.
  const since = (await s.presents()).length;
  const until = Date.now() + 40000;
  let gaps = [];
  while (Date.now() < until && gaps.length < opts.touchFrames) {
    await sleep(500);
    gaps = levelGaps((await s.presents()).slice(since), opts.touchFrames, true);
  }
  if (gaps.length >= opts.touchFrames) figures.touchFrames = frameFigures(gaps);
  else failures.push(`phone: level 1 showed ${gaps.length} frames in a row, not ${opts.touchFrames}`);

  const question = await openExitQuestion(s, spriteOf(pictures.ball));
  const over = question === 'over';
  if (over) log('level 1 with the on-screen D-pad: the energy ran out; No at "Game reset?!" leaves instead');
  else if (!question) return [...failures, 'the pad\'s Esc did not open the exit question again'];
  await s.tapPad(over ? 'No' : 'Yes');
  problem = await s.poll((shot) => menuProblem(shot, pictures), 10);
  if (problem) return [...failures, `the pad's ${over ? 'No at the game-over' : 'Yes at the exit'} question did not lead to the menu: ${problem}`];
  for (const label of ['Down', 'Down', 'Down', 'Enter']) await s.tapPad(label);
  const ended = await s.waitNotice('The game has ended.');
  if (ended !== 'The game has ended.') failures.push(`after Exit on the pad the page says ${JSON.stringify(ended)}`);
  return failures;
}

// The page's build id, what the offline worker keeps, and its registration's
// new workers; null while the page is between two documents.
async function offlineState(s) {
  return s.page.evaluate(async () => {
    const registration = await navigator.serviceWorker.getRegistration();
    const start = document.getElementById('start');
    return {
      build: document.querySelector('meta[name="valmoren-build"]').content,
      controlled: !!navigator.serviceWorker.controller,
      caches: await caches.keys(),
      installing: !!(registration && registration.installing),
      waiting: !!(registration && registration.waiting),
      start: start.checkVisibility() ? `${start.textContent}${start.disabled ? ' (disabled)' : ''}` : null,
      playing: !!window.valmorenGame,
    };
  }).catch(() => null);
}

// Looks at the state until `done` takes it (or the time runs out); the last
// state seen.
async function offlineStateWhen(s, done, seconds = 30) {
  const until = Date.now() + seconds * 1000;
  let state = null;
  while (Date.now() < until) {
    state = await offlineState(s);
    if (state && done(state)) break;
    await sleep(200);
  }
  return state;
}

// The page asks the browser to look for a new build now.
async function lookForUpdate(s) {
  await s.page.evaluate(async () => {
    const registration = await navigator.serviceWorker.getRegistration();
    await registration.update().catch(() => {});
  });
}

function sha256(data) {
  return crypto.createHash('sha256').update(data).digest('hex');
}

// Every file of a site by its served name (the compressed copies aside), with its
// SHA-256.
function siteDigests(site) {
  const out = {};
  for (const name of fs.readdirSync(site)) if (!/\.(gz|br)$/.test(name)) out[name] = sha256(fs.readFileSync(path.join(site, name)));
  return out;
}

// What the worker keeps against the builds' own files: each cache is the
// whole of one build (its page and every file it names, each that build's
// own), never a mix.
async function keptProblems(s, builds) {
  const kept = await s.page.evaluate(async () => {
    const hex = (b) => Array.from(new Uint8Array(b), (x) => x.toString(16).padStart(2, '0')).join('');
    const out = {};
    for (const name of await caches.keys()) {
      const cache = await caches.open(name);
      out[name] = {};
      for (const request of await cache.keys()) {
        const body = await (await cache.match(request)).arrayBuffer();
        out[name][new URL(request.url).pathname.slice(1) || 'index.html'] = hex(await crypto.subtle.digest('SHA-256', body));
      }
    }
    return out;
  });
  const problems = [];
  for (const [cache, files] of Object.entries(kept)) {
    const id = cache.split(' ').pop();
    const build = builds[id];
    if (!build) {
      problems.push(`a copy of a build the test does not know: ${cache}`);
      continue;
    }
    const foreign = Object.keys(files).filter((name) => build[name] !== files[name]);
    const missing = Object.keys(build).filter((name) => name !== 'sw.js' && !(name in files));
    if (foreign.length) problems.push(`the copy of build ${id} holds files that are not that build's: ${foreign.join(', ')}`);
    if (missing.length) problems.push(`the copy of build ${id} lacks ${missing.join(', ')}`);
  }
  return problems;
}

// make_page.py on a folder of the program: the build id it printed, or null
// (with what it said in `out.said`).
function makeSite(ctx, folder, revision = null, out = {}) {
  const made = spawnSync('python3', [path.join(PROJECT, 'tools', 'web', 'make_page.py'), folder, PROJECT,
                                     '--data', ctx.data, '--icons', ctx.icons, '--deps', path.join(ctx.webFolder, 'deps'),
                                     ...(revision ? ['--revision', revision] : [])],
                         { encoding: 'utf8' });
  out.said = `${made.stdout}${made.stderr}`;
  const id = made.stdout && made.stdout.match(/^Build id: (\S+)$/m);
  return made.status === 0 && id ? id[1] : null;
}

// A rebuild: the same program with other bytes (a section of the test's
// own at the end of the .wasm, a comment at the end of the .js: what a
// change to the game's code does to them; the data as it was), made into a
// site. Its folder, site, build id and files' digests; or its error.
function rebuild(ctx, tag) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), `valmoren-${tag}-`));
  ctx.servers.temporary.push(folder);
  const program = (name) => fs.readFileSync(path.join(ctx.webFolder, name));
  fs.writeFileSync(path.join(folder, 'valmoren.js'), Buffer.concat([program('valmoren.js'), Buffer.from(`\n// rebuilt: ${tag}\n`)]));
  const name = Buffer.from('valmoren-rebuilt'), payload = Buffer.from(tag);
  const section = Buffer.concat([Buffer.from([0, 1 + name.length + payload.length, name.length]), name, payload]);
  fs.writeFileSync(path.join(folder, 'valmoren.wasm'), Buffer.concat([program('valmoren.wasm'), section]));
  const out = {};
  const build = makeSite(ctx, folder, null, out);
  if (!build) return { error: `make_page.py on the ${tag} copy: ${out.said}` };
  const site = siteOf(folder);
  return { folder, site, build, digests: siteDigests(site), wasm: fs.readdirSync(site).find((n) => /^valmoren\..*\.wasm$/.test(n)) };
}

// The main server, now serving `site` on the same port.
async function serveInstead(ctx, site) {
  await stopServer(ctx.servers.main);
  ctx.servers.main = (await startServer(site, ctx.port, true)).server;
}

// Holds the browser's requests for addresses ending in `ending` (the
// worker's too, through the DevTools protocol's browser-wide interception)
// until release() lets them go.
async function holdRequests(browser, ending) {
  const cdp = await browser.target().createCDPSession();
  const held = [];
  cdp.on('Fetch.requestPaused', (e) => held.push(e.requestId));
  await cdp.send('Fetch.enable', { patterns: [{ urlPattern: `*${ending}` }] });
  return {
    held,
    async release() {
      await cdp.send('Fetch.disable');
      for (const id of held) await cdp.send('Fetch.continueRequest', { requestId: id }).catch(() => {});
      await cdp.detach();
    },
  };
}

// Offline: the phone page, visited once, reloads from the server (which
// answers index.html with a redirect) and plays, then reloads with the
// server stopped and the network off, and the game starts and reaches the
// menu. Then rebuilds at the same address.
async function offlineRun(s, ctx, pictures, figures) {
  const failures = [];
  const before = await offlineState(s);
  if (!before || !before.controlled || before.caches.length !== 1 || !before.caches[0].endsWith(' ' + before.build)) {
    return [`after the first visit the offline copy is ${JSON.stringify(before)}`];
  }
  const builds = { [before.build]: siteDigests(siteOf(ctx.webFolder)) };
  failures.push(...await keptProblems(s, builds));
  const problem = await playProblem(s, pictures, 'reload');
  if (problem) failures.push(`reloaded from the server: ${problem}`);
  await stopServer(ctx.servers.main);
  await s.page.setOfflineMode(true);
  try {
    const clicked = await s.startGame('reload', true);
    const problem = await s.poll((shot) => menuProblem(shot, pictures), 30);
    if (problem) failures.push(`offline: ${problem}`);
    const logoAt = firstLogoFrame(await s.presents());
    if (logoAt !== null) figures.cached = { loadToLogo: logoAt, clickToLogo: logoAt - clicked / 1000 };
  } catch (e) {
    failures.push(`offline, the page did not start the game: ${e.message}`);
  }
  await s.page.setOfflineMode(false);
  ctx.servers.main = (await startServer(siteOf(ctx.webFolder), ctx.port, true)).server;
  return [...failures, ...await updateRun(s, ctx, before.build, builds, pictures)];
}

// Rebuilds at the same address. The second build served with the first
// one's .wasm under its own .wasm's name (a host that has not caught up):
// the worker refuses it whole, the start button comes back, the first build
// plays on, every copy kept is whole. The second build served right: it
// installs while a game ends and is taken at "Play again", which plays it.
// A third build found while the page was away (the tab reloaded during its
// install): the page says "Updating..." and lets it take over once
// installed. The build id does not change with the revision alone.
async function updateRun(s, ctx, first, builds, pictures) {
  const failures = [];
  const two = rebuild(ctx, 'two');
  if (two.error) return [two.error];
  builds[two.build] = two.digests;
  if (two.build === first) failures.push('a rebuild with other program bytes keeps the build id');
  const ids = ['1.0', '1.0-1-gdocs'].map((revision) => makeSite(ctx, two.folder, revision));
  if (!ids[0] || ids[0] !== ids[1] || ids[0] !== two.build) {
    failures.push(`the build id changes with the revision alone (${two.build}, then ${ids.join(', ')})`);
  }
  makeSite(ctx, two.folder);

  // The mix: the new page and worker with the old .wasm under the new name.
  const mixed = path.join(two.site, two.wasm);
  fs.writeFileSync(mixed, fs.readFileSync(path.join(ctx.webFolder, 'valmoren.wasm')));
  for (const copy of ['.gz', '.br']) fs.rmSync(mixed + copy, { force: true });
  await serveInstead(ctx, two.site);
  await s.page.reload({ waitUntil: 'load' });
  await lookForUpdate(s);
  let state = await offlineStateWhen(s, (st) => !st.installing && st.start === 'Click to play', 30);
  if (!state || state.build !== first || state.waiting || state.caches.length !== 1) {
    failures.push(`served a mix of two builds, the page became ${JSON.stringify(state)}, not build ${first} alone, ready to play`);
  }
  failures.push(...await keptProblems(s, builds));
  let problem = await playProblem(s, pictures, 'none', (shot) => menuProblem(shot, pictures), 30);
  if (problem) failures.push(`with a mix served, the kept build: ${problem}`);

  // Served right: installed while the game ends, taken by "Play again",
  // which plays the new build.
  fs.writeFileSync(mixed, fs.readFileSync(path.join(two.folder, 'valmoren.wasm')));
  for (const label of ['Down', 'Down', 'Down', 'Enter']) await s.tapPad(label);
  if ((await s.waitNotice('The game has ended.')) !== 'The game has ended.') return [...failures, 'Exit on the pad did not end the game'];
  await lookForUpdate(s);
  state = await offlineStateWhen(s, (st) => st.waiting, 30);
  if (!state || !state.waiting) return [...failures, `the second build did not install: ${JSON.stringify(state)}`];
  await s.tap('#again');
  state = await offlineStateWhen(s, (st) => st.build === two.build && st.playing, 30);
  if (!state || state.build !== two.build || !state.playing) {
    failures.push(`"Play again" with a new build waiting led to ${JSON.stringify(state)}, not a game of build ${two.build}`);
  } else {
    const problem = await s.poll((shot) => logoProblem(shot, pictures.logo3), 20);
    if (problem) failures.push(`the game "Play again" started on the new build: ${problem}`);
  }

  // A third build, found while the page was away.
  const three = rebuild(ctx, 'three');
  if (three.error) return [...failures, three.error];
  builds[three.build] = three.digests;
  await serveInstead(ctx, three.site);
  const hold = await holdRequests(s.browser, three.wasm);
  try {
    await lookForUpdate(s);
    state = await offlineStateWhen(s, (st) => st.installing, 20);
    if (!state || !state.installing) return [...failures, `the third build did not begin to install: ${JSON.stringify(state)}`];
    await s.page.reload({ waitUntil: 'load' });
    state = await offlineStateWhen(s, (st) => st.start === 'Updating\u2026 (disabled)', 10);
    if (!state || state.start !== 'Updating\u2026 (disabled)') {
      failures.push(`while a new build installs the start button is ${JSON.stringify(state && state.start)}, not a disabled "Updating…"`);
    }
  } finally {
    await hold.release();
  }
  state = await offlineStateWhen(s, (st) => st.build === three.build && st.controlled && st.caches.length === 1, 30);
  if (!state || state.build !== three.build) return [...failures, `the third build did not take over: ${JSON.stringify(state)}`];
  if (state.caches.length !== 1 || !state.caches[0].endsWith(' ' + three.build)) {
    failures.push(`after the third build the offline copies are ${JSON.stringify(state.caches)}`);
  }
  failures.push(...await keptProblems(s, builds));
  problem = await playProblem(s, pictures);
  if (problem) failures.push(`the third build: ${problem}`);
  return failures;
}

// A line of the level program's state: score, energy, crosshair, targets.
function levelState(text) {
  const lines = text.split('\n').filter((l) => l);
  if (!lines.length) return null;
  const f = lines[lines.length - 1].split(' ').map(Number);
  const targets = [];
  for (let i = 4; i + 3 < f.length; i += 4) targets.push({ kind: f[i], x: f[i + 1], y: f[i + 2], dy: f[i + 3] });
  return { score: f[0], energy: f[1], x: f[2], y: f[3], targets };
}

// Where on the canvas a finger lands a crosshair on a target: the lowest
// one that can still be stopped, a few frames ahead; null when none.
function aimAt(state) {
  const boxes = { 1: [20, 60], 2: [60, 61], 3: [32, 27] };
  let best = null;
  for (const t of state.targets) {
    if (t.y + 20 * t.dy > 440 || t.y < 30) continue;
    if (!best || t.y > best.y) best = t;
  }
  if (!best) return null;
  const [w, h] = boxes[best.kind] || [20, 20];
  // The crosshair's spot is 16 pixels in from its corner, where the mouse is.
  const x = Math.round(best.x + w / 2 - 16), y = Math.round(best.y + h / 2 + 4 * best.dy - 16);
  return { x: Math.min(Math.max(x, 0), 639), y: Math.min(Math.max(y, 0), 479) };
}

// The first start with the program's data missing (answered 404): the page
// says why and offers Reload, which then plays.
async function failedStartProblems(s) {
  const since = s.problems.length;
  const missing = (r) => {
    if (!programPart(r, 'data')) return false;
    r.respond({ status: 404, contentType: 'text/plain', body: 'Not Found' }).catch(() => {});
    return true;
  };
  const failures = [];
  await withRequests(s.page, missing, async () => {
    await s.page.goto(`${s.origin}/?frame-log`, { waitUntil: 'load' });
    await s.page.waitForSelector('#start:not([disabled])', { visible: true });
    await s.tap('#start');
    await s.page.waitForFunction(() => /^The game could not be loaded: ./.test(document.getElementById('notice-text').textContent),
                                 { timeout: 15000 }).catch(() => {});
    const said = await s.page.evaluate(() => ({ text: document.getElementById('notice-text').textContent,
                                                reload: document.getElementById('reload').checkVisibility() }));
    if (!/^The game could not be loaded: ./.test(said.text) || !said.reload) {
      failures.push(`with its data missing the page says ${JSON.stringify(said.text)}${said.reload ? '' : ', without a Reload button'}`);
    }
  });
  s.expect(since, /\.data|Not Found|404/);
  await Promise.all([s.page.waitForNavigation({ waitUntil: 'load' }), s.tap('#reload')]).catch(() => {});
  return failures;
}

// The charge bar of level 5's heads-up display (240..270, 5..10) is filled
// red at x 250 (a charge of 2 or more).
async function charged(s) {
  const shot = await s.shot();
  const [r, g, b] = shot ? shot.pixel(250, 7) : [0, 0, 0];
  return r >= 100 && g < 40 && b < 40;
}

// Level 5 on the phone held upright (the level program under the same page):
// the first start with the data missing, then the story slide ended with the
// pad, then taps on the targets: the crosshair goes where the finger is,
// through the canvas's scaling, and a tap hits (the score rises); the pad's
// L (the left mouse button) charges the shot, and R with it (both buttons)
// lets the charge go; the level won, the victory's two keys, and the score
// log the game wrote is there after a reload.
async function level5Run(s, cdp, opts) {
  await phoneScreen(cdp, true);
  const failures = await failedStartProblems(s);
  await s.startGame('none', true);
  let until = Date.now() + 20000;
  while (Date.now() < until && (await s.presents()).length < 2) await sleep(200);
  if (!(await s.waitStill())) return [...failures, 'level 5: the story slide did not come up'];
  await s.tapPad('Enter');
  until = Date.now() + 20000;
  while (Date.now() < until && levelFramesSince(await s.presents(), 0) < 60) await sleep(200);
  await sleep(3500);  // the get-ready picture
  const first = levelState(await s.programFile('/tmp/level.txt'));
  if (!first) return [...failures, 'level 5 did not start (no state written)'];
  let state = first, taps = 0, worst = 0;
  until = Date.now() + opts.touchSeconds * 1000;
  while (Date.now() < until && state.score <= first.score) {
    const aim = aimAt(state);
    if (!aim) {
      await sleep(100);
      state = levelState(await s.programFile('/tmp/level.txt')) || state;
      continue;
    }
    const box = await s.page.evaluate(() => {
      const r = document.getElementById('canvas').getBoundingClientRect();
      return { x: r.left, y: r.top, w: r.width, h: r.height };
    });
    await s.tapAt(box.x + (aim.x + 0.5) * box.w / 640, box.y + (aim.y + 0.5) * box.h / 480, 250);
    taps++;
    state = levelState(await s.programFile('/tmp/level.txt')) || state;
    worst = Math.max(worst, Math.abs(state.x - aim.x), Math.abs(state.y - aim.y));
  }
  log(`level 5 with taps: score ${first.score} to ${state.score} after ${taps} taps; the crosshair at most ${worst} pixels from the finger`);
  if (state.score <= first.score) failures.push(`level 5: ${taps} taps on the targets did not raise the score`);
  if (!taps || worst > 3) failures.push(`level 5: the crosshair landed up to ${worst} pixels from the finger`);

  // L and R, the mouse buttons.
  const left = await s.holdPad('Left mouse button');
  await sleep(700);
  const byLeft = await charged(s);
  const right = await s.holdPad('Right mouse button');
  await sleep(500);
  const byBoth = await charged(s);
  await right.end();
  await left.end();
  if (!byLeft) failures.push('level 5: the pad\'s L held did not charge the shot');
  if (byBoth) failures.push('level 5: the pad\'s R with L held did not let the charge go');

  // The level won (its last 20 seconds and the finale), the victory's two
  // keys: the score log, kept across a reload.
  let ended = null;
  until = Date.now() + 60000;
  let lines = (await s.programFile('/tmp/level.txt')).length;
  while (Date.now() < until && !ended) {
    await sleep(1000);
    const now = (await s.programFile('/tmp/level.txt')).length;
    if (now === lines) await s.tapPad('Enter');  // the level's frames have stopped
    lines = now;
    ended = await s.notice();
  }
  const last = levelState(await s.programFile('/tmp/level.txt')) || state;
  if (ended !== 'The game has ended.') return [...failures, `level 5 won: the page says ${JSON.stringify(ended)}`];
  await sleep(500);
  await s.startGame('reload', true);
  // The program reads its stored files back as it starts.
  let kept = '';
  until = Date.now() + 15000;
  while (Date.now() < until && !(kept = await s.programFile('/save/score.dat'))) await sleep(200);
  const record = kept.split('\r\n');
  if (record.length < 3 || !/^\d\d-\d\d-\d{4}$/.test(record[0]) || Number(record[1]) !== last.score || record[2] !== '***') {
    failures.push(`after a reload the score log reads ${JSON.stringify(record.join('|'))}, not a record of the score ${last.score}`);
  }
  return failures;
}

// Chromium's own reading of the web app manifest: no errors, an id of the
// app's own (not the site's root, which another app there may claim), the
// icons there as PNGs of their sizes (the maskable one opaque out to its
// edges, where a home screen's mask may show it), nothing in the way of
// installing it; and the tags that make the home-screen game of an iPhone
// a full-screen app.
async function manifestProblems(s) {
  const failures = [];
  const cdp = await s.page.createCDPSession();
  const manifest = await cdp.send('Page.getAppManifest', {});
  if (manifest.errors.length) failures.push(`manifest: ${manifest.errors.map((e) => e.message).join('; ')}`);
  let icons = [];
  try {
    icons = JSON.parse(manifest.data).icons || [];
  } catch (e) {
    failures.push(`manifest ${manifest.url}: ${e.message}`);
  }
  const app = await cdp.send('Page.getAppId').catch((e) => ({ error: e.message }));
  if (!app.appId || app.appId === new URL('/', manifest.url).href) {
    failures.push(`manifest: the app's id is ${JSON.stringify(app.appId || app.error)}, the site's root`);
  }
  for (const [size, purpose] of [[192, 'any'], [512, 'any'], [512, 'maskable']]) {
    const icon = icons.find((i) => i.sizes === `${size}x${size}` && (i.purpose || 'any').split(' ').includes(purpose));
    if (!icon) {
      failures.push(`manifest: no ${size}x${size} icon for "${purpose}"`);
      continue;
    }
    const png = await s.page.evaluate(async (url) => {
      const r = await fetch(url);
      const bytes = await r.arrayBuffer();
      const b = new DataView(bytes);
      if (!r.ok || b.byteLength <= 24) return null;
      const picture = await createImageBitmap(new Blob([bytes], { type: 'image/png' }));
      const c = document.createElement('canvas');
      c.width = picture.width;
      c.height = picture.height;
      const ctx = c.getContext('2d');
      ctx.drawImage(picture, 0, 0);
      const d = ctx.getImageData(0, 0, c.width, c.height).data;
      // Pixels outside the middle circle of four fifths of the edge, the
      // part a mask may cut: how many are not opaque.
      let clear = 0;
      const middle = c.width / 2, reach = 0.4 * c.width;
      for (let y = 0; y < c.height; y++) {
        for (let x = 0; x < c.width; x++) {
          if (Math.hypot(x + 0.5 - middle, y + 0.5 - middle) > reach && d[(y * c.width + x) * 4 + 3] < 255) clear++;
        }
      }
      return [b.getUint32(0), b.getUint32(16), b.getUint32(20), clear];
    }, new URL(icon.src, manifest.url).href);
    if (!png || png[0] !== 0x89504e47 || png[1] !== size || png[2] !== size) {
      failures.push(`manifest: the ${size}x${size} icon is not a PNG of that size (${JSON.stringify(png)})`);
    } else if (purpose === 'maskable' && png[3] > 0) {
      failures.push(`manifest: the maskable icon has ${png[3]} see-through pixels where a mask may show them`);
    }
  }
  const shown = await cdp.send('Page.getManifestIcons').catch((e) => ({ error: e.message }));
  if (!shown.primaryIcon) failures.push(`Chromium found no icon to show for the page (${shown.error || 'none'})`);
  const installable = await cdp.send('Page.getInstallabilityErrors');
  const errors = installable.installabilityErrors.map((e) => e.errorId);
  if (errors.length) failures.push(`not installable: ${errors.join(', ')}`);
  await cdp.detach();
  const apple = await s.page.evaluate(() => ['apple-mobile-web-app-capable', 'apple-mobile-web-app-status-bar-style',
                                             'apple-mobile-web-app-title'].filter((n) => !document.querySelector(`meta[name="${n}"]`)));
  if (apple.length) failures.push(`the page lacks the home-screen tags ${apple.join(', ')}`);
  return failures;
}

// Put in place before the page's own scripts run: a pad in the browser's
// Gamepad API, standard layout, at rest (the page presses its buttons
// through window.valmorenTestPad(button, down)), and a note of the page's
// asking for lasting storage (window.valmorenLastingAsked).
function pageStandIns() {
  if (navigator.storage && navigator.storage.persist) {
    const persist = navigator.storage.persist.bind(navigator.storage);
    navigator.storage.persist = () => {
      window.valmorenLastingAsked = true;
      return persist();
    };
  }
  const buttons = Array.from({ length: 17 }, () => ({ pressed: false, touched: false, value: 0 }));
  const pad = { id: 'Valmoren test pad (STANDARD GAMEPAD)', index: 0, connected: true, mapping: 'standard',
                timestamp: 1, axes: [0, 0, 0, 0], buttons, vibrationActuator: null };
  Object.defineProperty(navigator, 'getGamepads', { value: () => [pad, null, null, null], configurable: true });
  window.valmorenTestPad = (button, down) => {
    buttons[button] = { pressed: down, touched: down, value: down ? 1 : 0 };
    pad.timestamp += 1;
  };
}

// The gamepad through SDL's joystick support in the browser and the game's
// own pad table, during level 1: B opens the exit question, X answers no.
async function gamepadProblem(s) {
  const press = async (button) => {
    await s.page.evaluate((b) => window.valmorenTestPad(b, true), button);
    await sleep(200);
    await s.page.evaluate((b) => window.valmorenTestPad(b, false), button);
    await sleep(200);
  };
  let count = (await s.presents()).length;
  await press(1);  // B
  if (!(await questionUp(s, count))) return 'the gamepad\'s B did not open the exit question';
  count = (await s.presents()).length;
  await press(2);  // X
  if (!(await levelGoesOn(s, count))) return 'the gamepad\'s X did not answer the exit question with no';
  return null;
}

async function main() {
  const opts = args();
  if (opts.positional.length !== 2) {
    log('usage: node browser_test.mjs <web build folder> <native run folder> [--screenshot file.png] [--frames N]' +
        ' [--phone-screenshots folder]');
    return 1;
  }
  const [webFolder, runFolder] = opts.positional.map((p) => path.resolve(p));
  // The phone's screenshots, sideways and upright: beside the build unless named.
  const shots = path.resolve(opts.phoneShots || path.join(webFolder, 'screenshots'));
  opts.phoneShots = { sideways: path.join(shots, 'web-phone-sideways.png'), upright: path.join(shots, 'web-phone-upright.png') };
  if (!fs.existsSync(CHROMIUM)) {
    log(`skipped: no Chromium at ${CHROMIUM}`);
    return SKIP;
  }
  if (!fs.existsSync(path.join(siteOf(webFolder), 'index.html')) || !fs.existsSync(path.join(webFolder, 'valmoren.wasm'))) {
    log(`skipped: no web build in ${webFolder} (make web)`);
    return SKIP;
  }
  const pictures = {};
  for (const name of ['logo3', 'l1', 'ball', 'start', 'options', 'credits', 'exit']) {
    pictures[name] = readBmp(path.join(runFolder, 'img', name + '.bmp'));
    if (!pictures[name]) {
      log(`cannot read ${name}.bmp in ${runFolder}/img`);
      return 1;
    }
  }
  const levelFolder = path.join(webFolder, 'level-start');
  if (!fs.existsSync(path.join(siteOf(levelFolder), 'index.html'))) {
    log(`no level-5 program in ${levelFolder} (tools/web/browser-test.sh builds it)`);
    return 1;
  }
  let failures = await serverProblems();
  // The whole run is served as by a host with "pretty URLs".
  const { server, origin } = await startServer(siteOf(webFolder), 0, true);
  const servers = { main: server, level: null, temporary: [] };
  // What the rebuilds need: the program, the page's icons, the address.
  const ctx = { webFolder, data: runFolder, icons: path.join(runFolder, '..', 'web-icons'), servers,
                port: Number(new URL(origin).port) };
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'valmoren-chromium-'));
  let browser = null;
  const figures = {};
  try {
    browser = await launchChromium(profile, VIEWPORT);
    // The desktop: keyboard and mouse (and a gamepad at rest until its turn).
    const page = await browser.newPage();
    await page.evaluateOnNewDocument(pageStandIns);
    await page.setViewport(VIEWPORT);
    const s = new Session(browser, page, origin);
    failures.push(...await run(s, pictures, opts, figures));
    failures.push(...await manifestProblems(s));
    failures.push(...await recordingProblems(s, runFolder));
    failures.push(...s.problems);
    // Every part of the program and every data pack came down on the desktop.
    const names = fs.readdirSync(siteOf(webFolder)).filter((n) => PROGRAM_PART.test('/' + n));
    const missing = names.filter((n) => !(n in s.downloads));
    if (missing.length || !names.some((n) => n.endsWith('.data'))) {
      failures.push(`no size seen for the program's ${missing.join(', ') || 'data'}`);
    } else {
      figures.download = names.reduce((a, n) => a + s.downloads[n], 0);
      if (figures.download >= MAX_DOWNLOAD) failures.push(`the download is ${figures.download} bytes, not under ${MAX_DOWNLOAD}`);
    }
    await s.page.close();

    // A phone, in a profile of its own: touch alone, then offline.
    const phone = new Session(browser, await (await browser.createBrowserContext()).newPage(), origin);
    const phoneCdp = await phone.page.createCDPSession();
    failures.push(...await phoneRun(phone, phoneCdp, pictures, opts, figures));
    failures.push(...await offlineRun(phone, ctx, pictures, figures));
    failures.push(...phone.problems);
    await phone.page.close();

    // Level 5 on the phone, from the level program's own address.
    const level = await startServer(siteOf(levelFolder));
    servers.level = level.server;
    const five = new Session(browser, await (await browser.createBrowserContext()).newPage(), level.origin);
    failures.push(...await level5Run(five, await five.page.createCDPSession(), opts));
    failures.push(...five.problems);
  } catch (e) {
    failures.push(`the run stopped: ${e.stack || e}`);
  } finally {
    if (browser) await browser.close().catch(() => {});
    for (const running of [servers.main, servers.level]) if (running) await stopServer(running);
    for (const folder of [profile, ...servers.temporary]) fs.rmSync(folder, { recursive: true, force: true });
  }

  if (figures.download) log(`download (program and data, compressed as served): ${(figures.download / 1e6).toFixed(2)} MB`);
  if (figures.loadToLogo !== undefined) {
    log(`page load to the first logo frame: ${figures.loadToLogo.toFixed(2)} s (${figures.clickToLogo.toFixed(2)} s after the click)`);
  }
  if (figures.cached) {
    log(`page load from the offline copy to the first logo frame: ${figures.cached.loadToLogo.toFixed(2)} s ` +
        `(${figures.cached.clickToLogo.toFixed(2)} s after the tap)`);
  }
  for (const [f, what] of [[figures.frames, 'level-1'], [figures.touchFrames, 'level-1 (phone, touch emulation)']]) {
    if (!f) continue;
    const off = (f.mean / TARGET - 1) * 100;
    log(`${what} frame interval over ${f.count} frames: mean ${(f.mean * 1000).toFixed(3)} ms (${off >= 0 ? '+' : ''}${off.toFixed(2)} % of 1/60 s, ` +
        `${Math.abs(off) <= 2 ? 'within' : 'OUTSIDE'} 2 %), deviation ${(f.deviation * 1000).toFixed(3)} ms, ${f.late} longer than 1.5 frames`);
  }
  for (const f of failures) log('FAILED:', f);
  log(failures.length ? 'browser test: FAILED' : 'browser test: passed');
  return failures.length ? 1 : 0;
}

process.exit(await main());
