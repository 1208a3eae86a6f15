// browser_test.mjs -- the browser build played in Debian's Chromium (headless,
// driven over the DevTools protocol by puppeteer-core), as a player would:
//   1. "Click to play": the logo fades in on white, then the menu comes up
//      (the canvas's pixels read back); keys the game uses do not scroll or
//      click anything on the page; Down x3 and Enter on Exit end the program
//      and the page says so; "Play again" starts it afresh;
//   2. reloaded: Options, Music changed, Save and Exit; reloaded again: the
//      options screen shows the saved value (kept in the browser's storage);
//   3. Start, Enter through the story slides: level 1 runs, and its frame
//      intervals are read from the program's own frame log; F12 downloads
//      the canvas as a 640x480 PNG under a date-and-time name; a gamepad in
//      the browser's Gamepad API (a stand-in, standard layout) opens the exit
//      question with B and answers no with X; Chromium reads the web app
//      manifest without errors, finds its icons and finds nothing in the way
//      of installing the page; on this desktop the on-screen pad never shows;
//   4. a phone (DevTools' device metrics and touch emulation), in a profile
//      of its own, with touch alone: the layout sideways and upright
//      (screenshots of both), full screen, no pinch zoom; the on-screen pad
//      through the menu and the options (the controls set to the keyboard),
//      the story, level 1 kept in play with its D-pad, the pause, the exit
//      question answered no and then yes, and Exit;
//   5. offline: the server stopped and the network off, the page reloads
//      from its offline copy and the game reaches the menu; then a rebuilt
//      page (another build id) at the same address replaces the copy;
//   6. level 5 on the phone held upright (the level program of
//      tests/xvfb/level_start.cpp under the same page): a tap puts the
//      crosshair under the finger and hits a target (the score rises).
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
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import { readBmp, matchFraction, logoProblem, menuProblem, regionOf, sameRegion, spriteOf, level1View } from './pictures.mjs';

const SKIP = 77;
const HERE = path.dirname(fileURLToPath(import.meta.url));
const PROJECT = path.resolve(HERE, '..', '..');
const CHROMIUM = process.env.VALMOREN_CHROMIUM || '/usr/bin/chromium';
const TARGET = 1 / 60;
// The page is 1280 wide and tall enough for the game's 640x480 canvas shown
// at twice its size under the page's bar: a whole multiple, crisp.
const VIEWPORT = { width: 1280, height: 1000 };
const SHOWN = { width: 1280, height: 960 };
const MAX_DOWNLOAD = 8e6;  // bytes, compressed, program and data together

function log(...parts) {
  console.log(...parts);
}

function sleep(ms) {
  return new Promise((resolve) => setTimeout(resolve, ms));
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

// The page server of `make web-serve`, on a port the system picks unless
// one is given.
function startServer(webFolder, port = 0) {
  return new Promise((resolve, reject) => {
    const server = spawn('python3', [path.join(PROJECT, 'tools', 'web', 'serve.py'), webFolder, String(port)], {
      env: { ...process.env, VALMOREN_WEB_QUIET: '1' },
      stdio: ['ignore', 'pipe', 'inherit'],
    });
    let text = '';
    server.stdout.on('data', (chunk) => {
      text += chunk;
      const found = text.match(/http:\/\/127\.0\.0\.1:(\d+)\//);
      if (found) resolve({ server, origin: `http://127.0.0.1:${found[1]}` });
    });
    server.on('exit', (code) => reject(new Error(`the server ended (status ${code}): ${text}`)));
  });
}

async function stopServer(server) {
  if (server.exitCode !== null || server.signalCode !== null) return;
  const gone = new Promise((resolve) => server.once('exit', resolve));
  server.kill();
  await gone;
}

class Session {
  constructor(browser, page, origin) {
    this.browser = browser;
    this.page = page;
    this.origin = origin;
    this.problems = [];      // console errors, page errors, stray or failed requests
    this.downloads = {};     // bytes on the wire of each program file
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
      const name = new URL(r.url()).pathname.slice(1);
      const length = Number(r.response()?.headers()['content-length']);
      if (['valmoren.js', 'valmoren.wasm', 'valmoren.data'].includes(name) && length > 0) {
        this.downloads[name] = length;
      }
    });
  }

  // Loads the page with the frame log on and clicks "Click to play".
  // Returns the page's clock (ms since the load began) at the click.
  async startGame(reload) {
    if (reload) await this.page.reload({ waitUntil: 'load' });
    else await this.page.goto(`${this.origin}/?frame-log`, { waitUntil: 'load' });
    await this.page.waitForSelector('#start:not([disabled])', { visible: true });
    const clicked = await this.page.evaluate(() => performance.now());
    await this.page.click('#start');
    await this.page.waitForFunction(() => window.valmorenGame, { timeout: 30000 });
    return clicked;
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
    const text = await this.programFile('/tmp/frames.log');
    return text.split('\n').filter((l) => l).map((l) => {
      const p = l.split(' ');
      return [Number(p[0]), parseInt(p[1], 16), parseInt(p[2], 16), p[3] === 'L'];
    });
  }

  // Waits until no page has been shown for `still` seconds, as on a screen
  // that waits for a key; false when that does not happen in time.
  async waitStill(still = 0.7, seconds = 20) {
    const until = Date.now() + seconds * 1000;
    let count = (await this.presents()).length;
    let since = Date.now();
    while (Date.now() < until) {
      await sleep(100);
      const now = (await this.presents()).length;
      if (now !== count) {
        count = now;
        since = Date.now();
      } else if (Date.now() - since >= still * 1000) {
        return true;
      }
    }
    return false;
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

  async notice() {
    return this.page.evaluate(() => {
      const n = document.getElementById('notice');
      return n.hidden ? null : document.getElementById('notice-text').textContent;
    });
  }
}

// The first present of the logo screen where the logo shows at the centre.
function firstLogoFrame(entries) {
  const e = entries.find(([, corner, centre]) => corner === 0xffffff && centre !== 0xffffff);
  return e ? e[0] : null;
}

function frameFigures(gaps) {
  const mean = gaps.reduce((a, b) => a + b, 0) / gaps.length;
  const deviation = Math.sqrt(gaps.reduce((a, g) => a + (g - mean) ** 2, 0) / gaps.length);
  return { count: gaps.length, mean, deviation, late: gaps.filter((g) => g > 1.5 * TARGET).length };
}

function levelGaps(entries, count) {
  const gaps = [];
  for (let i = 1; i < entries.length && gaps.length < count; i++) {
    if (entries[i - 1][3] && entries[i][3]) gaps.push(entries[i][0] - entries[i - 1][0]);
  }
  return gaps;
}

const MUSIC_VALUE = { x: 336, y: 304, w: 40, h: 16 };  // the options screen's Music value
const EXIT_ROW = 400;

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

async function run(s, pictures, opts, figures) {
  const failures = [];

  // 1. The logo on white, then the menu; Exit ends the program.
  const clicked = await s.startGame(false);
  // The about line names what the program was built with, as make_page.py found it.
  const about = await s.page.evaluate(() => document.getElementById('about').textContent);
  const named = ['Valmoren ', 'emscripten ', 'SDL2 ', 'libogg ', 'libvorbis '].every((n) => about.includes(n));
  if (!named || /unknown|@ABOUT@/.test(about)) failures.push(`the about line is ${JSON.stringify(about)}`);
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

  // The page keeps the game's keys to the game.
  await s.page.evaluate(() => {
    window.valmorenKeysSeen = [];
    window.addEventListener('keydown', (e) => window.valmorenKeysSeen.push([e.code, e.defaultPrevented]));
  });
  for (let i = 0; i < 3; i++) await s.press('ArrowDown');
  problem = await s.poll((shot) => menuProblem(shot, pictures, EXIT_ROW), 5);
  if (problem) failures.push(`after Down three times: ${problem}`);
  await s.press('Space');
  const keys = await s.page.evaluate(() => ({ seen: window.valmorenKeysSeen, top: document.scrollingElement.scrollTop }));
  const loose = keys.seen.filter(([, prevented]) => !prevented).map(([code]) => code);
  if (keys.seen.length < 4 || loose.length > 0) failures.push(`keys the page acted on: ${loose.join(', ') || 'none seen'}`);
  if (keys.top !== 0) failures.push(`the page scrolled to ${keys.top}`);
  await s.press('Enter');
  await s.page.waitForFunction(() => !document.getElementById('notice').hidden, { timeout: 10000 }).catch(() => {});
  const ended = await s.notice();
  if (ended !== 'The game has ended.') failures.push(`after Exit the page says ${JSON.stringify(ended)}`);
  const again = await s.page.evaluate(() => !document.getElementById('again').hidden && !document.getElementById('canvas'));
  if (!again) {
    failures.push('after Exit the page does not offer to play again');
  } else {
    // Playing again starts a fresh program on a fresh canvas.
    await s.page.click('#again');
    problem = await s.poll((shot) => logoProblem(shot, pictures.logo3), 15);
    if (problem) failures.push(`after "Play again": ${problem}`);
  }

  // 2. Settings kept across reloads.
  await s.startGame(true);
  const before = await openOptions(s, pictures, failures, 'first visit');
  if (!before) return failures;
  await s.press('Enter');  // Music: ON becomes OFF
  await sleep(300);
  const changed = regionOf(await s.shot(), MUSIC_VALUE);
  if (sameRegion(before, changed)) {
    failures.push('Enter on the Music row did not change the value shown');
    return failures;
  }
  for (let i = 0; i < 3; i++) await s.press('ArrowDown');
  await s.press('Enter');  // Save and Exit
  problem = await s.poll((shot) => menuProblem(shot, pictures), 10);
  if (problem) failures.push(`after Save and Exit: ${problem}`);
  await sleep(500);
  await s.startGame(true);
  const kept = await openOptions(s, pictures, failures, 'after the reload');
  if (!kept) return failures;
  if (!sameRegion(kept, changed)) failures.push('after a reload the options screen does not show the saved Music value');
  // Music back on for the level (Save and Exit again).
  await s.press('Enter');
  await sleep(300);
  if (!sameRegion(regionOf(await s.shot(), MUSIC_VALUE), before)) failures.push('Enter on the Music row did not bring the first value back');
  for (let i = 0; i < 3; i++) await s.press('ArrowDown');
  await s.press('Enter');

  // 3. Level 1, its frame intervals.
  problem = await s.poll((shot) => menuProblem(shot, pictures), 10);
  if (problem) {
    failures.push(`after saving again: ${problem}`);
    return failures;
  }
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
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'valmoren-downloads-'));
  try {
    const cdp = await s.browser.target().createCDPSession();
    await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: folder });
    await s.press('F12');
    const until = Date.now() + 10000;
    let names = [];
    while (Date.now() < until) {
      names = fs.readdirSync(folder);
      if (names.length && names.every((n) => n.endsWith('.png'))) break;
      await sleep(200);
    }
    if (names.length !== 1) return `${names.length} files downloaded (${names.join(', ')}), not one`;
    if (!/^valmoren_\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d\.png$/.test(names[0])) return `downloaded as "${names[0]}"`;
    const bytes = fs.readFileSync(path.join(folder, names[0]));
    const signature = bytes.subarray(0, 8).toString('hex') === '89504e470d0a1a0a';
    if (!signature || bytes.length < 24) return `${names[0]} is not a PNG`;
    const w = bytes.readUInt32BE(16), h = bytes.readUInt32BE(20);
    if (w !== 640 || h !== 480) return `${names[0]} is ${w}x${h}, not 640x480`;
    return null;
  } finally {
    fs.rmSync(folder, { recursive: true, force: true });
  }
}

// ---- A phone: touch alone, offline, installable ----

// A phone in CSS pixels, held sideways; upright it is the other way round.
// Twice as many screen pixels, as on most phones.
const PHONE = { width: 844, height: 390, scale: 2 };
const PAD_LABELS = ['Up', 'Down', 'Left', 'Right', 'Enter', 'Esc', 'Pause', 'Yes', 'No'];
const CONTROLS_VALUE = { x: 336, y: 352, w: 64, h: 16 };  // the options screen's Controls value
const BALL_SIZE = 16;

function padButton(label) {
  return `#pad button[aria-label="${label}"]`;
}

// The phone's screen through the DevTools protocol: its size and pixel
// ratio, sideways or upright, and touch in place of the mouse.
async function phoneScreen(cdp, upright) {
  await cdp.send('Emulation.setDeviceMetricsOverride', {
    width: upright ? PHONE.height : PHONE.width,
    height: upright ? PHONE.width : PHONE.height,
    deviceScaleFactor: PHONE.scale,
    mobile: true,
    screenOrientation: upright ? { type: 'portraitPrimary', angle: 0 } : { type: 'landscapePrimary', angle: 90 },
  });
  await cdp.send('Emulation.setTouchEmulationEnabled', { enabled: true, maxTouchPoints: 5 });
  await sleep(300);
}

// What is wrong with the page's layout on the phone, or null: the canvas as
// large as the screen allows (the page's own rule allows a whole multiple
// down to nine tenths of it); sideways the pad beside it, upright the canvas
// at the top and the pad under it; every control a button named for the
// screen reader, thumb-sized, see-through, on the screen; nothing over the
// canvas's top line (the status); no scrolling.
async function layoutProblem(s, upright) {
  const l = await s.page.evaluate((labels) => {
    const box = (e) => { const r = e.getBoundingClientRect(); return { x: r.left, y: r.top, w: r.width, h: r.height }; };
    const c = document.getElementById('canvas');
    const buttons = labels.map((label) => {
      const b = document.querySelector(`#pad button[aria-label="${label}"]`);
      return b && { label, ...box(b), opacity: Number(getComputedStyle(b).opacity), visible: b.checkVisibility() };
    });
    const full = document.getElementById('full-screen');
    return { canvas: c && box(c), buttons, full: full && !full.hidden ? box(full) : null,
             w: innerWidth, h: innerHeight,
             scrollW: document.scrollingElement.scrollWidth, scrollH: document.scrollingElement.scrollHeight };
  }, PAD_LABELS);
  if (!l.canvas) return 'no canvas';
  const best = Math.min(l.w, l.h * 4 / 3);
  if (l.canvas.w < 0.9 * best - 1) return `the canvas shows ${l.canvas.w.toFixed(0)} wide where ${best.toFixed(0)} fits`;
  if (l.scrollW > l.w || l.scrollH > l.h) return `the page scrolls (${l.scrollW}x${l.scrollH} in ${l.w}x${l.h})`;
  const statusLine = { x: l.canvas.x, y: l.canvas.y, w: l.canvas.w, h: l.canvas.h * 16 / 480 };
  const meets = (a, b) => a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
  if (upright && l.canvas.y > 1) return `upright, the canvas starts ${l.canvas.y} pixels down`;
  for (const b of l.buttons) {
    if (!b || !b.visible) return `no ${b ? b.label : 'such'} button shows`;
    if (b.w < 48 || b.h < 48) return `the ${b.label} button is ${b.w}x${b.h}, under 48x48`;
    if (!(b.opacity < 1)) return `the ${b.label} button is not see-through`;
    if (b.x < 0 || b.y < 0 || b.x + b.w > l.w || b.y + b.h > l.h) return `the ${b.label} button is off the screen`;
    if (meets(b, statusLine)) return `the ${b.label} button covers the status line`;
    if (meets(b, l.canvas)) return `the ${b.label} button is over the canvas, not ${upright ? 'under' : 'beside'} it`;
  }
  if (!l.full) return 'no full-screen button';
  if (l.full.h < 48 || meets(l.full, statusLine)) return 'the full-screen button is not thumb-sized beside the status line';
  return null;
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

// The phone, with touch alone: "Click to play" tapped; the layout sideways
// and upright (screenshots of both); a pinch does not zoom; the pad through
// the menu to Options, the controls changed to the keyboard and saved, back,
// Start, the story; level 1 played with the pad's D-pad (the ball kept in
// play, the planes moving), its frame intervals with touch on; the exit
// question opened, answered no, opened again and answered yes; Exit.
async function phoneRun(s, cdp, pictures, opts, figures) {
  const failures = [];
  await phoneScreen(cdp, false);
  await s.page.goto(`${s.origin}/?frame-log`, { waitUntil: 'load' });
  await s.page.waitForSelector('#start:not([disabled])', { visible: true });
  if (!(await s.page.evaluate(() => !document.getElementById('pad').hidden))) {
    failures.push('on the phone the pad does not show before the first touch');
  }
  await s.tap('#start');
  await s.page.waitForFunction(() => window.valmorenGame, { timeout: 30000 });
  let problem = await s.poll((shot) => menuProblem(shot, pictures), 30);
  if (problem) return [...failures, `phone: menu: ${problem}`];

  problem = await layoutProblem(s, false);
  if (problem) failures.push(`phone held sideways: ${problem}`);
  await pageScreenshot(cdp, opts.phoneShots.sideways, failures);
  await phoneScreen(cdp, true);
  problem = await layoutProblem(s, true);
  if (problem) failures.push(`phone held upright: ${problem}`);
  await pageScreenshot(cdp, opts.phoneShots.upright, failures);
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

  // A press held on the pad must not select text or open a menu.
  await s.page.evaluate(() => {
    window.valmorenMenus = [];
    window.addEventListener('contextmenu', (e) => window.valmorenMenus.push(e.defaultPrevented));
  });

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
  // The frame intervals with the phone's screen and touch in place, while
  // the test only waits (its reading of the canvas in play takes the page's
  // time from the game).
  const until = Date.now() + 40000;
  let gaps = [];
  while (Date.now() < until && gaps.length < opts.touchFrames) {
    await sleep(500);
    gaps = levelGaps(await s.presents(), opts.touchFrames);
  }
  if (gaps.length >= opts.touchFrames) figures.touchFrames = frameFigures(gaps);
  else failures.push(`phone: level 1 showed ${gaps.length} level frames in a row, not ${opts.touchFrames}`);
  const play = await keepBallInPlay(s, opts.touchSeconds, spriteOf(pictures.ball));
  log(`level 1 with the on-screen D-pad: ${play.returns} returns off the planes, ${play.misses} balls lost in ` +
      `${opts.touchSeconds} s (${play.looks} looks at the canvas); the left plane between ${play.low} and ${play.high}`);
  // Left alone the ball comes back about once and is lost about five times in 20 s.
  if (play.returns < 3 || play.misses > play.returns) {
    failures.push(`the on-screen D-pad did not keep the ball in play (${play.returns} returns, ${play.misses} lost)`);
  }
  if (!(play.high - play.low >= 60)) failures.push(`the planes hardly moved (${play.low} to ${play.high})`);
  const menus = await s.page.evaluate(() => ({ opened: window.valmorenMenus.filter((p) => !p).length,
                                              selected: String(window.getSelection()) }));
  if (menus.opened || menus.selected) failures.push(`holding the pad opened ${menus.opened} menus, selected "${menus.selected}"`);

  // The pause: the game stops showing pages until Enter (Space) goes on.
  await s.tapPad('Pause');
  if (!(await s.waitStill(0.7, 5))) failures.push('the pad\'s Pause did not stop the level');
  let count = (await s.presents()).length;
  await s.tapPad('Enter');
  if (!(await levelGoesOn(s, count))) failures.push('the pad\'s Enter did not end the pause');

  // The exit question with the pad: no, then yes; Exit.
  count = (await s.presents()).length;
  await s.tapPad('Esc');
  if (!(await questionUp(s, count))) return [...failures, 'the pad\'s Esc did not open the exit question'];
  count = (await s.presents()).length;
  await s.tapPad('No');
  if (!(await levelGoesOn(s, count))) failures.push('the pad\'s No did not answer the question (the level did not go on)');
  count = (await s.presents()).length;
  await s.tapPad('Esc');
  if (!(await questionUp(s, count))) return [...failures, 'the pad\'s Esc did not open the exit question again'];
  await s.tapPad('Yes');
  problem = await s.poll((shot) => menuProblem(shot, pictures), 10);
  if (problem) return [...failures, `the pad's Yes at the exit question did not lead to the menu: ${problem}`];
  for (const label of ['Down', 'Down', 'Down', 'Enter']) await s.tapPad(label);
  await s.page.waitForFunction(() => !document.getElementById('notice').hidden, { timeout: 10000 }).catch(() => {});
  const ended = await s.notice();
  if (ended !== 'The game has ended.') failures.push(`after Exit on the pad the page says ${JSON.stringify(ended)}`);
  return failures;
}

// The page's build id and what the offline worker keeps.
async function offlineState(s) {
  return s.page.evaluate(async () => ({
    build: document.querySelector('meta[name="valmoren-build"]').content,
    controlled: !!navigator.serviceWorker.controller,
    caches: await caches.keys(),
  }));
}

// Offline: the phone page, visited once, reloads with the server stopped and
// the network off, and the game starts and reaches the menu. Then the same
// address serves a rebuilt page (another build id): a reload leads to it,
// its worker's cache replaces the old one, and the game starts from it.
async function offlineRun(s, servers, webFolder, pictures, figures) {
  const failures = [];
  const before = await offlineState(s);
  if (!before.controlled || before.caches.length !== 1 || !before.caches[0].endsWith(' ' + before.build)) {
    return [`after the first visit the offline copy is ${JSON.stringify(before)}`];
  }
  const port = Number(new URL(s.origin).port);
  await stopServer(servers.main);
  await s.page.setOfflineMode(true);
  try {
    await s.page.reload({ waitUntil: 'load' });
    await s.page.waitForSelector('#start:not([disabled])', { visible: true });
    const clicked = await s.page.evaluate(() => performance.now());
    await s.tap('#start');
    await s.page.waitForFunction(() => window.valmorenGame, { timeout: 30000 });
    const problem = await s.poll((shot) => menuProblem(shot, pictures), 30);
    if (problem) failures.push(`offline: ${problem}`);
    const logoAt = firstLogoFrame(await s.presents());
    if (logoAt !== null) figures.cached = { loadToLogo: logoAt, clickToLogo: logoAt - clicked / 1000 };
  } catch (e) {
    failures.push(`offline, the page did not start the game: ${e.message}`);
  }
  await s.page.setOfflineMode(false);

  // A rebuild: the served files again, the page made anew with its own id.
  const rebuilt = fs.mkdtempSync(path.join(os.tmpdir(), 'valmoren-rebuilt-'));
  servers.temporary.push(rebuilt);
  for (const name of ['valmoren.js', 'valmoren.wasm', 'valmoren.data', 'icon-192.png', 'icon-512.png']) {
    fs.copyFileSync(path.join(webFolder, name), path.join(rebuilt, name));
  }
  const build = `${before.build}-rebuilt`;
  const made = spawnSync('python3', [path.join(PROJECT, 'tools', 'web', 'make_page.py'), rebuilt, PROJECT,
                                     '--build-id', build], { encoding: 'utf8' });
  if (made.status !== 0) return [...failures, `make_page.py on the rebuilt copy: ${made.stdout}${made.stderr}`];
  servers.main = (await startServer(rebuilt, port)).server;
  // The reload shows the old build, whose page lets the new one in and reloads.
  await s.page.reload({ waitUntil: 'load' });
  let after = null;
  const until = Date.now() + 30000;
  while (Date.now() < until) {
    after = await offlineState(s).catch(() => null);
    if (after && after.build === build && after.controlled) break;
    await sleep(300);
  }
  if (!after || after.build !== build) return [...failures, `the rebuilt page did not replace the old one: ${JSON.stringify(after)}`];
  if (after.caches.length !== 1 || !after.caches[0].endsWith(' ' + build)) {
    failures.push(`after the rebuild the offline copies are ${JSON.stringify(after.caches)}`);
  }
  await s.page.waitForSelector('#start:not([disabled])', { visible: true });
  await s.tap('#start');
  await s.page.waitForFunction(() => window.valmorenGame, { timeout: 30000 });
  const problem = await s.poll((shot) => logoProblem(shot, pictures.logo3), 20);
  if (problem) failures.push(`the rebuilt page: ${problem}`);
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

// Level 5 on the phone held upright (the level program under the same page):
// the story slide ended with the pad, then taps on the targets: the
// crosshair goes where the finger is, through the canvas's scaling, and a
// tap hits (the score rises).
async function level5Run(s, cdp, opts) {
  const failures = [];
  await phoneScreen(cdp, true);
  await s.page.goto(`${s.origin}/?frame-log`, { waitUntil: 'load' });
  await s.page.waitForSelector('#start:not([disabled])', { visible: true });
  await s.tap('#start');
  await s.page.waitForFunction(() => window.valmorenGame, { timeout: 30000 });
  let until = Date.now() + 20000;
  while (Date.now() < until && (await s.presents()).length < 2) await sleep(200);
  if (!(await s.waitStill())) return ['level 5: the story slide did not come up'];
  await s.tapPad('Enter');
  until = Date.now() + 20000;
  while (Date.now() < until && levelFramesSince(await s.presents(), 0) < 60) await sleep(200);
  await sleep(3500);  // the get-ready picture
  const first = levelState(await s.programFile('/tmp/level.txt'));
  if (!first) return ['level 5 did not start (no state written)'];
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
  return failures;
}

// Chromium's own reading of the web app manifest: no errors, both icons
// there as PNGs of their sizes, and nothing in the way of installing it.
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
  for (const size of [192, 512]) {
    const icon = icons.find((i) => i.sizes === `${size}x${size}`);
    if (!icon) {
      failures.push(`manifest: no ${size}x${size} icon`);
      continue;
    }
    const png = await s.page.evaluate(async (url) => {
      const r = await fetch(url);
      const b = new DataView(await r.arrayBuffer());
      return r.ok && b.byteLength > 24 ? [b.getUint32(0), b.getUint32(16), b.getUint32(20)] : null;
    }, new URL(icon.src, manifest.url).href);
    if (!png || png[0] !== 0x89504e47 || png[1] !== size || png[2] !== size) {
      failures.push(`manifest: the ${size}x${size} icon is not a PNG of that size (${JSON.stringify(png)})`);
    }
  }
  const shown = await cdp.send('Page.getManifestIcons').catch((e) => ({ error: e.message }));
  if (!shown.primaryIcon) failures.push(`Chromium found no icon to show for the page (${shown.error || 'none'})`);
  const installable = await cdp.send('Page.getInstallabilityErrors');
  const errors = installable.installabilityErrors.map((e) => e.errorId);
  if (errors.length) failures.push(`not installable: ${errors.join(', ')}`);
  await cdp.detach();
  return failures;
}

// A pad in the browser's Gamepad API, standard layout, at rest; the page
// presses its buttons through window.valmorenTestPad(button, down). Put in
// place before the page's own scripts run.
function fakeGamepad() {
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
  if (!fs.existsSync(path.join(webFolder, 'index.html')) || !fs.existsSync(path.join(webFolder, 'valmoren.wasm'))) {
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
  if (!fs.existsSync(path.join(levelFolder, 'valmoren.wasm'))) {
    log(`no level-5 program in ${levelFolder} (tools/web/browser-test.sh builds it)`);
    return 1;
  }
  const { default: puppeteer } = await import('puppeteer-core');
  const { server, origin } = await startServer(webFolder);
  const servers = { main: server, level: null, temporary: [] };
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'valmoren-chromium-'));
  let browser = null;
  const figures = {};
  let failures = [];
  try {
    browser = await puppeteer.launch({
      executablePath: CHROMIUM,
      headless: true,
      userDataDir: profile,
      args: ['--no-sandbox', '--disable-gpu', '--use-gl=swiftshader', '--enable-unsafe-swiftshader',
             '--disable-quic', '--no-first-run', '--disable-background-networking',
             '--disable-component-update', '--disable-sync', '--autoplay-policy=user-gesture-required',
             `--window-size=${VIEWPORT.width},${VIEWPORT.height}`],
    });
    // The desktop: keyboard and mouse (and a gamepad at rest until its turn).
    const page = await browser.newPage();
    await page.evaluateOnNewDocument(fakeGamepad);
    await page.setViewport(VIEWPORT);
    const s = new Session(browser, page, origin);
    failures = await run(s, pictures, opts, figures);
    failures.push(...await manifestProblems(s));
    failures.push(...s.problems);
    const names = ['valmoren.js', 'valmoren.wasm', 'valmoren.data'];
    const missing = names.filter((n) => !(n in s.downloads));
    if (missing.length) {
      failures.push(`no size seen for ${missing.join(', ')}`);
    } else {
      figures.download = names.reduce((a, n) => a + s.downloads[n], 0);
      if (figures.download >= MAX_DOWNLOAD) failures.push(`the download is ${figures.download} bytes, not under ${MAX_DOWNLOAD}`);
    }
    await page.close();

    // A phone, in a profile of its own: touch alone, then offline.
    const phone = new Session(browser, await (await browser.createBrowserContext()).newPage(), origin);
    const phoneCdp = await phone.page.createCDPSession();
    failures.push(...await phoneRun(phone, phoneCdp, pictures, opts, figures));
    failures.push(...await offlineRun(phone, servers, webFolder, pictures, figures));
    failures.push(...phone.problems);
    await phone.page.close();

    // Level 5 on the phone, from the level program's own address.
    const level = await startServer(levelFolder);
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
